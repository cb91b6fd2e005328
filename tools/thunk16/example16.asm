; example16.asm: the smallest 16-bit caller of QUILLREC.dll, the include set
; at work. Names a spool file, opens a recording surface on it and closes it
; again, then writes the spool file's name to standard output: what a
; printer driver's 16-bit part does around every page.
;
;   nasm -f bin -I tools/thunk16/ -o example16.exe tools/thunk16/example16.asm
;   (run it where LoadLibraryEx32W finds QUILLREC.DLL: its current folder, say)

%include "ne.inc"
%include "thunk16.inc"

%macro IMPORTS 1
    %1 InitTask, 91
    %1 DOS3Call, 102
    %1 _lwrite, 86
    %1 LoadLibraryEx32W, 513
    %1 FreeLibrary32W, 514
    %1 GetProcAddress32W, 515
    %1 _CallProcEx32W, 518
%endmacro

NE_HEADER 'EXAMPLE16', 'QUILLREC.dll from 16-bit code', IMPORTS

NE_DATA
dllName:   db 'QUILLREC.DLL', 0
device:    db 'DISPLAY', 0
frame:     istruc RECT32
               at RECT32.left, dd 0
               at RECT32.top, dd 0
               at RECT32.right, dd 21000  ; A4 in 0.01 mm
               at RECT32.bottom, dd 29700
           iend
path:      times 260 db 0
newline:   db 13, 10
surface:   dd 0 ; a handle variable: always 32 bits
module:    dd 0
getPath:   dd 0 ; GetEmfFilePath32, ordinal 9
getDC:     dd 0 ; GetEmfFileDC32, ordinal 2
closeFile: dd 0 ; CloseEmfFile32, ordinal 3

NE_CODE

; FIND variable, ordinal: the export's 32-bit address, by ordinal (a far
; pointer 0000:ordinal), or the end of the program when it is missing.
%macro FIND 2
    GET_PROC32 [module], word 0, word %2
    jz fail
    mov [%1], edx
%endmacro

ne_entry:
    call far [cs:InitTask]
    push ss
    pop ds
    LOAD_LIBRARY32 ds, dllName
    jz fail
    mov [module], edx
    FIND getPath, 9
    FIND getDC, 2
    FIND closeFile, 3

    ; GetEmfFilePath32(path): one argument, a pointer (mask bit 0)
    push ds
    push word path
    THUNK_CALL [getPath], 0x01, 1
    or ax, dx
    jnz fail

    ; GetEmfFileDC32(NULL, "DISPLAY", path, &frame, NULL, NULL, &surface):
    ; pushed last first; the mask marks arguments 1, 2, 3 and 6 (0x4E).
    ; Null pointers stay out of the mask and go as 0.
    push ds
    push word surface
    push dword 0
    push dword 0
    push ds
    push word frame
    push ds
    push word path
    push ds
    push word device
    push dword 0
    THUNK_CALL [getDC], 0x4E, 7
    or ax, dx
    jnz fail

    ; CloseEmfFile32(&surface)
    push ds
    push word surface
    THUNK_CALL [closeFile], 0x01, 1

    push ds ; the spool file's name, and a line end
    pop es
    mov di, path
    mov cx, 260
    xor al, al
    repne scasb
    mov ax, di
    sub ax, path + 1
    push word 1
    push ds
    push word path
    push ax
    call far [cs:_lwrite]
    push word 1
    push ds
    push word newline
    push word 2
    call far [cs:_lwrite]
    push dword [module]
    call far [cs:FreeLibrary32W]
    mov ax, 0x4C00
    call far [cs:DOS3Call]
fail:
    mov ax, 0x4C01
    call far [cs:DOS3Call]

    NE_IMPORT_SLOTS IMPORTS
NE_CODE_END IMPORTS
