// KERNEL32 as the double models it: global memory, file naming and code
// pages; and GDI's TranslateCharsetInfo, which belongs with the code pages.
#include "gdi_double_model.h"

#include <cstdlib>
#include <cstring>

using namespace gdi_double;

namespace {

// Larger requests fail as a real GlobalAlloc would, instead of allocating.
const SIZE_T kMaxBlockBytes = 256u * 1024u * 1024u;

struct CharsetEntry {
    UINT charset;
    UINT codePage;
    int signatureBit;  // bit of FONTSIGNATURE.fsCsb[0]
};

// Windows' own mapping of character sets to ANSI code pages. SYMBOL, OEM and
// DEFAULT are missing on purpose: asking for them fails.
const CharsetEntry kCharsets[] = {
    {ANSI_CHARSET, 1252, 0},       {EASTEUROPE_CHARSET, 1250, 1}, {RUSSIAN_CHARSET, 1251, 2},
    {GREEK_CHARSET, 1253, 3},      {TURKISH_CHARSET, 1254, 4},    {HEBREW_CHARSET, 1255, 5},
    {ARABIC_CHARSET, 1256, 6},     {BALTIC_CHARSET, 1257, 7},     {VIETNAMESE_CHARSET, 1258, 8},
    {THAI_CHARSET, 874, 16},       {SHIFTJIS_CHARSET, 932, 17},   {GB2312_CHARSET, 936, 18},
    {HANGUL_CHARSET, 949, 19},     {CHINESEBIG5_CHARSET, 950, 20}, {JOHAB_CHARSET, 1361, 21},
};

GdiBlockInfo *FindBlock(size_t call, HGLOBAL handle, const char *action)
{
    auto &blocks = TheModel().blocks;
    auto found = blocks.find((uintptr_t)handle);
    if (found == blocks.end()) {
        Misuse(call, std::string(action) + " of unknown block " + GdiDoubleHandleName(handle));
        return nullptr;
    }
    if (found->second.freeCount != 0) {
        Misuse(call, std::string(action) + " of block " + GdiDoubleHandleName(handle) + " after it was freed");
        return nullptr;
    }
    return &found->second;
}

bool InRange(BYTE value, BYTE low, BYTE high)
{
    return value >= low && value <= high;
}

}  // namespace

HGLOBAL GlobalAlloc(UINT uFlags, SIZE_T dwBytes)
{
    size_t call = BeginCall("GlobalAlloc", nullptr, {Hex(uFlags), Dec((int64_t)dwBytes)});
    if (Injected(call) || dwBytes > kMaxBlockBytes) {
        return Fail<HGLOBAL>(call, nullptr);
    }
    // Exactly the requested size, so AddressSanitizer sees every overrun.
    uint8_t *memory = dwBytes == 0 ? nullptr : (uint8_t *)std::malloc(dwBytes);
    if (dwBytes != 0 && memory == nullptr) {
        return Fail<HGLOBAL>(call, nullptr);
    }
    // Without GMEM_ZEROINIT the block holds junk, so a reliance on zeros shows.
    if (memory != nullptr) {
        std::memset(memory, (uFlags & GMEM_ZEROINIT) != 0 ? 0 : 0xCD, dwBytes);
    }
    uintptr_t handle = NewHandle();
    GdiBlockInfo &block = TheModel().blocks[handle];
    block.handle = (HGLOBAL)handle;
    block.flags = uFlags;
    block.size = dwBytes;
    block.address = memory;
    return Succeed<HGLOBAL>(call, block.handle);
}

LPVOID GlobalLock(HGLOBAL hMem)
{
    size_t call = BeginCall("GlobalLock", nullptr, {Handle(hMem)});
    GdiBlockInfo *block = Injected(call) ? nullptr : FindBlock(call, hMem, "GlobalLock");
    // A zero-sized movable block is a discarded one: there is nothing to lock.
    if (block == nullptr || block->size == 0) {
        return Fail<LPVOID>(call, nullptr);
    }
    block->lockCount += 1;
    return Succeed<LPVOID>(call, block->address);
}

BOOL GlobalUnlock(HGLOBAL hMem)
{
    size_t call = BeginCall("GlobalUnlock", nullptr, {Handle(hMem)});
    GdiBlockInfo *block = Injected(call) ? nullptr : FindBlock(call, hMem, "GlobalUnlock");
    if (block == nullptr) {
        return Fail<BOOL>(call, FALSE);
    }
    if (block->lockCount == 0) {
        Misuse(call, "block " + GdiDoubleHandleName(hMem) + " unlocked while not locked");
        return Fail<BOOL>(call, FALSE);
    }
    block->lockCount -= 1;
    // Nonzero while locks remain, zero once the block is unlocked.
    return Succeed<BOOL>(call, block->lockCount > 0 ? TRUE : FALSE);
}

HGLOBAL GlobalFree(HGLOBAL hMem)
{
    size_t call = BeginCall("GlobalFree", nullptr, {Handle(hMem)});
    if (Injected(call)) {
        return Fail<HGLOBAL>(call, hMem);
    }
    if (hMem == nullptr) {
        return Succeed<HGLOBAL>(call, nullptr);
    }
    GdiBlockInfo *block = FindBlock(call, hMem, "GlobalFree");
    if (block == nullptr) {
        return Fail<HGLOBAL>(call, hMem);
    }
    if (block->lockCount > 0) {
        Misuse(call, "block " + GdiDoubleHandleName(hMem) + " freed while locked (lock count " +
                         std::to_string(block->lockCount) + ")");
    }
    std::free(block->address);
    block->address = nullptr;
    block->freeCount = 1;
    return Succeed<HGLOBAL>(call, nullptr);
}

UINT GetWindowsDirectoryA(LPSTR lpBuffer, UINT uSize)
{
    size_t call = BeginCall("GetWindowsDirectoryA", nullptr, {Pointer(lpBuffer, "buffer"), Dec(uSize)});
    if (Injected(call)) {
        return Fail<UINT>(call, 0);
    }
    const std::string &directory = TheModel().windowsDirectory;
    UINT length = (UINT)directory.size();
    // Too small a buffer: nothing is written and the answer is the size needed, terminator included.
    if (lpBuffer == nullptr || length + 1 > uSize) {
        return Succeed<UINT>(call, length + 1);
    }
    std::memcpy(lpBuffer, directory.c_str(), length + 1);
    return Succeed<UINT>(call, length);
}

UINT GetTempFileNameA(LPCSTR lpPathName, LPCSTR lpPrefixString, UINT uUnique, LPSTR lpTempFileName)
{
    size_t call = BeginCall("GetTempFileNameA", nullptr,
                            {Pointer(lpPathName, Quoted(lpPathName)), Pointer(lpPrefixString, Quoted(lpPrefixString)),
                             Dec(uUnique), Pointer(lpTempFileName, "buffer")});
    Model &model = TheModel();
    CallAt(call).strings = {lpPathName ? lpPathName : "(null)", lpPrefixString ? lpPrefixString : "(null)"};
    if (Injected(call) || lpPathName == nullptr || lpTempFileName == nullptr) {
        return Fail<UINT>(call, 0);
    }
    std::string directory = lpPathName;
    // Windows refuses a path that leaves no room for the name it makes.
    if (directory.size() > MAX_PATH - 14 || model.missingDirectories.count(NormalisedDirectory(directory)) != 0) {
        return Fail<UINT>(call, 0);
    }
    UINT number = uUnique;
    if (number == 0) {
        number = model.nextUnique;
        model.nextUnique = (model.nextUnique & 0xFFFF) + 1;
    }
    char tail[16];
    std::snprintf(tail, sizeof tail, "%X.tmp", number);
    std::string name = directory;
    if (name.empty() || name.back() != '\\') {
        name += "\\";
    }
    name += std::string(lpPrefixString != nullptr ? lpPrefixString : "").substr(0, 3) + tail;
    if (name.size() + 1 > MAX_PATH) {
        return Fail<UINT>(call, 0);
    }
    std::memcpy(lpTempFileName, name.c_str(), name.size() + 1);
    // With a unique number of 0 Windows creates the file; otherwise it only names it.
    if (uUnique == 0) {
        model.tempFiles.push_back(name);
    }
    return Succeed<UINT>(call, number);
}

UINT GetACP(void)
{
    size_t call = BeginCall("GetACP", nullptr, {});
    if (Injected(call)) {
        return Fail<UINT>(call, 0);
    }
    return Succeed<UINT>(call, TheModel().acp);
}

BOOL IsDBCSLeadByteEx(UINT CodePage, BYTE TestChar)
{
    size_t call = BeginCall("IsDBCSLeadByteEx", nullptr, {Dec(CodePage), Hex(TestChar)});
    if (Injected(call)) {
        return Fail<BOOL>(call, FALSE);
    }
    UINT codePage = CodePage == 0 /* CP_ACP */ ? TheModel().acp : CodePage;
    bool lead = false;
    switch (codePage) {
    case 932: lead = InRange(TestChar, 0x81, 0x9F) || InRange(TestChar, 0xE0, 0xFC); break;
    case 936:
    case 949:
    case 950: lead = InRange(TestChar, 0x81, 0xFE); break;
    case 1361:
        lead = InRange(TestChar, 0x84, 0xD3) || InRange(TestChar, 0xD8, 0xDE) || InRange(TestChar, 0xE0, 0xF9);
        break;
    default: break;
    }
    return Succeed<BOOL>(call, lead ? TRUE : FALSE);
}

BOOL TranslateCharsetInfo(DWORD *lpSrc, LPCHARSETINFO lpCs, DWORD dwFlags)
{
    // With TCI_SRCCHARSET and TCI_SRCCODEPAGE the "pointer" carries the value itself.
    size_t call = BeginCall("TranslateCharsetInfo", nullptr,
                            {Hex((uintptr_t)lpSrc), Pointer(lpCs, "&charsetinfo"), Dec(dwFlags)});
    if (Injected(call) || lpCs == nullptr) {
        return Fail<BOOL>(call, FALSE);
    }
    const CharsetEntry *match = nullptr;
    for (const CharsetEntry &entry : kCharsets) {
        bool hit = false;
        switch (dwFlags) {
        case TCI_SRCCHARSET: hit = entry.charset == (UINT)(uintptr_t)lpSrc; break;
        case TCI_SRCCODEPAGE: hit = entry.codePage == (UINT)(uintptr_t)lpSrc; break;
        case TCI_SRCFONTSIG: hit = lpSrc != nullptr && (lpSrc[0] & (1u << entry.signatureBit)) != 0; break;
        default: break;
        }
        if (hit) {
            match = &entry;
            break;
        }
    }
    if (match == nullptr) {
        return Fail<BOOL>(call, FALSE);
    }
    *lpCs = CHARSETINFO{};
    lpCs->ciCharset = match->charset;
    lpCs->ciACP = match->codePage;
    lpCs->fs.fsCsb[0] = 1u << match->signatureBit;
    return Succeed<BOOL>(call, TRUE);
}
