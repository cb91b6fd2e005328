// Font look-ups through GDI: the face a logical font becomes on this machine.
#ifndef QUILLREC_FONT_FACES_H
#define QUILLREC_FONT_FACES_H

#include <windows.h>

struct RealizedFace {
    WCHAR face[LF_FACESIZE];
    int length; // GetTextFaceW's count, its terminating zero included
    DWORD charSet;
};

// The face and character set GDI selects for the font; false when GDI cannot
// make or select it.
bool RealizeFace(const LOGFONTW &font, RealizedFace *realized);

#endif
