// Playback of a spool file into a bitmap through PlayEnhMetaFile.
#include "emf_player.h"

#include <windows.h>

bool RenderEmf(const char *path, int width, int height, std::vector<uint32_t> *pixels)
{
    HENHMETAFILE metafile = GetEnhMetaFileA(path);
    if (metafile == NULL) {
        return false;
    }
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void *bits = nullptr;
    HDC screen = GetDC(NULL);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, NULL, 0);
    ReleaseDC(NULL, screen);
    bool played = false;
    if (memory != NULL && bitmap != NULL) {
        HGDIOBJ previous = SelectObject(memory, bitmap);
        RECT page = {0, 0, width, height};
        FillRect(memory, &page, (HBRUSH)GetStockObject(WHITE_BRUSH));
        played = PlayEnhMetaFile(memory, metafile, &page) != 0;
        GdiFlush();
        const uint32_t *first = static_cast<const uint32_t *>(bits);
        pixels->assign(first, first + (size_t)width * height);
        for (uint32_t &pixel : *pixels) {
            pixel &= 0x00FFFFFF;
        }
        SelectObject(memory, previous);
    }
    if (bitmap != NULL) {
        DeleteObject(bitmap);
    }
    if (memory != NULL) {
        DeleteDC(memory);
    }
    DeleteEnhMetaFile(metafile);
    return played;
}
