// Layout checks for the records that cross the boundary. On i686 each record
// must have exactly its 32-bit layout, since the thunk hands over raw memory.
#include "platform.h"

static_assert(sizeof(DrawModeRecord) == 20, "DrawModeRecord is five 32-bit fields");
static_assert(sizeof(Point16) == 4, "Point16 is two 16-bit fields");
static_assert(sizeof(ObjectSlots) == 20, "ObjectSlots is five 32-bit handles");
static_assert(sizeof(Handle32) == 4, "handle variables are 32 bits");

#if defined(_WIN32) && !defined(_WIN64)
static_assert(sizeof(LOGPEN) == 16, "LOGPEN layout");
static_assert(sizeof(LOGBRUSH) == 12, "LOGBRUSH layout");
static_assert(sizeof(BITMAP) == 24, "BITMAP layout");
static_assert(sizeof(RECT) == 16, "RECT layout");
static_assert(sizeof(PolyPolygonRecord) == 8, "PolyPolygonRecord layout");
static_assert(sizeof(LOGFONTA) == 60, "LOGFONTA layout");
static_assert(sizeof(BITMAPINFOHEADER) == 40, "BITMAPINFOHEADER layout");
static_assert(sizeof(BITMAPINFO) == 44, "BITMAPINFO layout");
static_assert(sizeof(CHARSETINFO) == 32, "CHARSETINFO layout");
#endif
