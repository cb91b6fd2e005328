// Spool file naming, the recording surface and its clip rectangle.
#ifndef QUILLREC_RECORDING_H
#define QUILLREC_RECORDING_H

#include "platform.h"

int32_t NameSpoolFile(char *callerBuffer);
int32_t OpenRecordingSurface(const DEVMODEA *devMode, const char *deviceName, const char *fileName, const RECT *frame,
                             HDC *surface);
int32_t CloseRecordingSurface(HDC surface);
int32_t ApplyClipRect(HDC surface, const RECT *clip);

#endif
