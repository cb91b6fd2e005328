; replay16.asm: the 16-bit replayer. A Windows 16-bit program that calls
; QUILLREC.dll's exports through the generic thunk, as the printer driver's
; 16-bit part does, on the simulator's behalf: each request's buffers land in
; the replayer's own global memory and reach the DLL as 16:16 pointers that
; _CallProcEx32W converts. The messages are described in replay16.inc.
;
; Under qemu an INT instruction in 16-bit code is an illegal instruction, so
; the task ends through KERNEL.DOS3Call; its exit status never reaches the
; caller (the last 16-bit task always exits 0), so every answer and every
; failure is seen on standard output, or as its end.
;
;   nasm -f bin -I tools/thunk16/ -o replay16.exe tools/thunk16/replay16.asm

%include "ne.inc"
%include "thunk16.inc"
%include "replay16.inc"

%macro IMPORTS 1
    %1 InitTask, 91
    %1 DOS3Call, 102
    %1 GlobalAlloc, 15
    %1 GlobalFree, 17
    %1 GlobalLock, 18
    %1 GetSelectorBase, 186
    %1 _hread, 349
    %1 _hwrite, 350
    %1 LoadLibraryEx32W, 513
    %1 FreeLibrary32W, 514
    %1 GetProcAddress32W, 515
    %1 _CallProcEx32W, 518
%endmacro

STDIN equ 0
STDOUT equ 1
; exit codes, for a debugger's eyes only
EXIT_DONE equ 0
EXIT_NO_TASK equ 1
EXIT_PIPE equ 2
EXIT_BAD_REQUEST equ 3

NE_HEADER 'REPLAY16', 'QUILLREC 16-bit replayer', IMPORTS

NE_DATA
request:     times REQUEST16_size db 0
answerMagic: dd ANSWER_MAGIC
result:      dd 0
procedures:  times PROCEDURE_COUNT dd 0
module:      dd 0
arenaHandle: dw 0
arenaSel:    dw 0
arenaBytes:  dd 0
; one transfer between a file handle and a huge pointer
xferFile:    dw 0
xferSel:     dw 0
xferOffset:  dd 0
xferCount:   dd 0
xferWrite:   db 0
xferSome:    db 0 ; stop after the first piece that moves
gdiName:     db 'GDI32.DLL', 0
commentName: db 'GdiComment', 0

NE_CODE

ne_entry:
    call far [cs:InitTask]
    test ax, ax
    jnz .started
    mov al, EXIT_NO_TASK
    jmp exit
.started:
    push ss
    pop ds
    mov dword [request + REQUEST16.args], FIRST_ARENA
    call arena_request ; the first answer: the arena's address
.next:
    call read_message
    mov ax, [request + REQUEST16.kind]
    cmp ax, REQUEST_CALL
    je .call
    cmp ax, REQUEST_ARENA
    je .arena
    cmp ax, REQUEST_LOAD
    je .load
    cmp ax, REQUEST_QUIT
    je .quit
    jmp bad_request
.call:
    call call_request
    jmp .next
.arena:
    call arena_request
    jmp .next
.load:
    call load_request
    jmp .next
.quit:
    call quit_request
    mov al, EXIT_DONE
    jmp exit

; AL: exit code.
exit:
    mov ah, 0x4C
    call far [cs:DOS3Call]
bad_request:
    mov al, EXIT_BAD_REQUEST
    jmp exit

; Reads one message into the arena: whatever the pipe holds first (the
; simulator writes a message at once, and nothing more until answered),
; then the rest of the REQUEST16 and of the message; the REQUEST16 is then
; copied into DGROUP.
read_message:
    mov ax, [arenaSel]
    mov [xferSel], ax
    mov dword [xferOffset], 0
    mov eax, [arenaBytes]
    mov [xferCount], eax
    mov word [xferFile], STDIN
    mov byte [xferWrite], 0
    mov byte [xferSome], 1
    call transfer
    mov byte [xferSome], 0
    mov eax, REQUEST16_size
    call read_up_to
    push ds
    push ds
    pop es
    mov ds, [es:arenaSel]
    xor si, si
    mov di, request
    mov cx, REQUEST16_size
    cld
    rep movsb
    pop ds
    mov eax, [request + REQUEST16.inBytes]
    cmp eax, [arenaBytes]
    ja bad_request
    ; falls through

; Reads on until the arena holds EAX bytes of the message.
read_up_to:
    sub eax, [xferOffset]
    jbe .done
    mov [xferCount], eax
    jmp transfer
.done:
    ret

; Moves xferCount bytes between xferFile and xferSel:xferOffset, a huge
; pointer whose offset may pass 64 KiB (selectors step by AHINCR). A pipe
; may move fewer bytes than asked: goes on until all have moved (with
; xferSome, until some have), advancing xferOffset, and ends the task at the
; end of the input or on an error.
transfer:
    mov ecx, [xferCount]
    test ecx, ecx
    jz .done
    push word [xferFile]
    mov eax, [xferOffset]
    shr eax, 16
    imul ax, ax, AHINCR
    add ax, [xferSel]
    push ax
    push word [xferOffset]
    push ecx
    cmp byte [xferWrite], 0
    jne .write
    call far [cs:_hread]
    jmp .moved
.write:
    call far [cs:_hwrite]
.moved:
    EDX_FROM_DX_AX
    jle .stop
    add [xferOffset], edx
    sub [xferCount], edx
    cmp byte [xferSome], 0
    je transfer
.done:
    ret
.stop:
    mov al, EXIT_PIPE
    jmp exit

; Answers the magic and the result.
answer:
    mov [xferSel], ds
    mov dword [xferOffset], answerMagic
    mov dword [xferCount], 8
    mov word [xferFile], STDOUT
    mov byte [xferWrite], 1
    jmp transfer

; A call's answer in one write, so the simulator wakes once: the magic and
; the result at the arena's start, then the arena up to outBytes.
answer_arena:
    push es
    mov es, [arenaSel]
    mov eax, [answerMagic]
    mov [es:0], eax
    mov eax, [result]
    mov [es:4], eax
    pop es
    mov ecx, [request + REQUEST16.outBytes]
    mov [xferCount], ecx
    mov ax, [arenaSel]
    mov [xferSel], ax
    mov dword [xferOffset], 0
    mov word [xferFile], STDOUT
    mov byte [xferWrite], 1
    jmp transfer

; A new arena of args[0] bytes, zeroed, answered with its flat address; the old
; one is freed once the new one is there (answer 0: the old one stays).
arena_request:
    mov dword [result], 0
    push word GMEM_FIXED_ZEROINIT
    push dword [request + REQUEST16.args]
    call far [cs:GlobalAlloc]
    test ax, ax
    jz .answer
    push ax
    mov ax, [arenaHandle]
    test ax, ax
    jz .switch
    push ax
    call far [cs:GlobalFree]
.switch:
    pop ax
    mov [arenaHandle], ax
    push ax
    call far [cs:GlobalLock]
    mov [arenaSel], dx
    mov eax, [request + REQUEST16.args]
    mov [arenaBytes], eax
    push dx
    call far [cs:GetSelectorBase]
    mov [result], ax
    mov [result + 2], dx
.answer:
    jmp answer

; Loads the DLL named in the arena at offset args[0] and finds its exports by ordinal (a far
; pointer 0000:ordinal), then GDI32's GdiComment.
load_request:
    mov dword [result], 1
    LOAD_LIBRARY32 word [arenaSel], [request + REQUEST16.args]
    jz .answer
    mov [module], edx
    mov si, 2
.find:
    movzx eax, si
    mov [result], eax
    GET_PROC32 [module], word 0, si
    jz .answer
    mov bx, si
    shl bx, 2
    mov [procedures + bx], edx
    inc si
    cmp si, PROCEDURE_COUNT
    jb .find
    mov dword [result], PROCEDURE_COUNT
    LOAD_LIBRARY32 ds, gdiName
    jz .answer
    GET_PROC32 edx, ds, word commentName
    jz .answer
    mov [procedures + 4], edx
    mov dword [result], 0
.answer:
    jmp answer

; Frees the DLL, as a driver does when it is unloaded, so that its detach
; has run (the capture DLL cuts and closes its file there) when the answer
; reaches the simulator: FreeLibrary32W's result, 1 when no DLL was loaded.
quit_request:
    mov dword [result], 1
    mov eax, [module]
    test eax, eax
    jz .answer
    push eax
    call far [cs:FreeLibrary32W]
    EDX_FROM_DX_AX
    mov [result], edx
.answer:
    jmp answer

; One call: the arguments pushed last first as DWORDs, arena offsets as
; 16:16 pointers into the arena's tiles, then _CallProcEx32W.
call_request:
    mov bx, [request + REQUEST16.procedure]
    cmp bx, PROCEDURE_COUNT
    jae bad_request
    shl bx, 2
    mov edi, [procedures + bx]
    test edi, edi
    jz bad_request
    movzx esi, word [request + REQUEST16.argCount]
    cmp si, REQUEST_MAX_ARGS
    ja bad_request
.push:
    test si, si
    jz .pushed
    dec si
    mov bx, si
    shl bx, 2
    mov eax, [request + REQUEST16.args + bx]
    bt dword [request + REQUEST16.pointers], esi
    jnc .value
    mov edx, eax
    shr edx, 16
    imul dx, dx, AHINCR
    add dx, [arenaSel]
    shl edx, 16
    mov dx, ax
    mov eax, edx
.value:
    push eax
    jmp .push
.pushed:
    push edi
    push dword [request + REQUEST16.mask]
    movzx eax, word [request + REQUEST16.argCount]
    or eax, CPEX_DEST_STDCALL
    push eax
    call far [cs:_CallProcEx32W]
    mov [result], ax
    mov [result + 2], dx
    mov bx, [request + REQUEST16.argCount]
    shl bx, 2
    add bx, 12
    add sp, bx
    jmp answer_arena

    NE_IMPORT_SLOTS IMPORTS
NE_CODE_END IMPORTS
