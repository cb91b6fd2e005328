// The workbench printer: Wine's PostScript driver installed in each prefix
// under one name, the reference device jobs record against unless they name
// another, and the device their spool files are printed on.
#ifndef QUILLREC_WORKBENCH_PRINTER_H
#define QUILLREC_WORKBENCH_PRINTER_H

#define QUILLREC_PRINTER_NAME "QUILLREC PostScript"
#define QUILLREC_PRINTER_DRIVER "QUILLREC Generic PostScript"

#endif
