// Shared by the pen and brush realization.
#ifndef QUILLREC_ATTRIBUTES_STOCK_H
#define QUILLREC_ATTRIBUTES_STOCK_H

#include "platform.h"

// Stock objects are selected without remembering what they replace, so the
// release never selects them away or deletes them.
void SelectStockObject(HDC surface, int index);

#endif
