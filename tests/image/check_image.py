#!/usr/bin/env python3
"""Check a built 32-bit QUILLREC.dll against what a Windows 95-family loader and its 16-to-32-bit
thunk rely on.

Usage: check_image.py path/to/QUILLREC.dll [--profile shipped|...] [--objdump OBJDUMP]

Both images of the product (the shipped DLL and the capture DLL) follow the same rules; a profile
names the imports each may have, and the shipped image's largest size. Exit status 0 and one "image ok: ..." line when every rule holds;
1 and one "FAIL [rule N] ..." line per broken rule otherwise; 2 when the checker itself cannot run
(no pefile, no objdump, unreadable file).

pefile reads the PE headers, export and import directories; objdump disassembles the code.
"""

import argparse
import os
import re
import shutil
import subprocess
import sys

try:
    import pefile
except ImportError:       # reported by main(); Debian's python3-pefile serves /usr/bin/python3
    pefile = None

MODULE_NAME = "QUILLREC.dll"
ORDINAL_BASE = 2

# ordinal -> (name, bytes removed by the callee); the thunk pushes pointers and expects the callee
# to pop exactly these counts, so a wrong count corrupts the 16-bit side's stack.
EXPORTS = {
    2: ("GetEmfFileDC32", 28),
    3: ("CloseEmfFile32", 4),
    4: ("DeleteObject32", 12),
    5: ("Output32", 60),
    6: ("Raster32", 52),
    7: ("Dib32", 56),
    8: ("TextOut32", 40),
    9: ("GetEmfFilePath32", 4),
    10: ("SetClipRect32", 8),
}

# Allowed imports of each image, by profile, with their stdcall byte counts; the counts let a tail
# jump straight into an imported function be checked like any other return path. A DLL missing
# from a profile may not be imported at all.
PROFILES = {
    "shipped": {
        "GDI32.dll": {
            "CreateDCA": 16, "DeleteDC": 4, "CreateEnhMetaFileA": 16, "CloseEnhMetaFile": 4,
            "DeleteEnhMetaFile": 4, "SelectObject": 8, "DeleteObject": 4, "GetStockObject": 4,
            "CreatePenIndirect": 4, "ExtCreatePen": 20, "CreateBrushIndirect": 4,
            "CreateDIBPatternBrushPt": 8, "CreateBitmapIndirect": 4, "CreateCompatibleDC": 4,
            "GetDIBits": 28, "SetBkMode": 8, "SetBkColor": 8, "SetTextColor": 8, "SetROP2": 8,
            "SetPolyFillMode": 8, "SetTextAlign": 8, "SelectClipRgn": 8, "IntersectClipRect": 20,
            "Rectangle": 20, "Ellipse": 20, "Polygon": 12, "PolyPolygon": 16, "Polyline": 12,
            "PolyBezier": 12, "MoveToEx": 16, "LineTo": 12, "BeginPath": 4, "EndPath": 4,
            "WidenPath": 4, "FillPath": 4, "StretchBlt": 44, "StretchDIBits": 52,
            "CreateFontIndirectA": 4, "ExtTextOutA": 32, "ExtTextOutW": 32,
            "TranslateCharsetInfo": 12,
        },
        "KERNEL32.dll": {
            "GetWindowsDirectoryA": 8, "GetTempFileNameA": 16, "GlobalAlloc": 8, "GlobalLock": 4,
            "GlobalUnlock": 4, "GlobalFree": 4, "GetACP": 0, "IsDBCSLeadByteEx": 8,
        },
    },
    # The capture DLL: the real DLL is loaded from its own folder and each request written to a
    # file; the folder may come from the environment.
    "capture": {
        "KERNEL32.dll": {
            "LoadLibraryA": 4, "GetProcAddress": 8, "FreeLibrary": 4, "GetModuleFileNameA": 12,
            "GetEnvironmentVariableA": 12, "CreateFileA": 28, "WriteFile": 20, "CloseHandle": 4,
            "GetLastError": 0,
        },
    },
}

# Largest file of each image, by profile (rule 8). The shipped image's code and tables take 16 KiB,
# its version resource the 1 KiB section after them; growing past that is a decision, not a drift.
SIZE_LIMITS = {"shipped": 17 * 1024}

IMAGE_FILE_MACHINE_I386 = 0x14C
IMAGE_FILE_EXECUTABLE_IMAGE = 0x0002
IMAGE_FILE_DLL = 0x2000
PE32_MAGIC = 0x10B
PE32PLUS_MAGIC = 0x20B
IMAGE_SCN_CNT_CODE = 0x00000020
IMAGE_SCN_MEM_EXECUTE = 0x20000000
DIR_EXPORT, DIR_IMPORT, DIR_TLS, DIR_DELAY_IMPORT = 0, 1, 9, 13

# Instructions the i486 does not have. A Windows 95 machine may have an i486 (or an early Pentium),
# and these raise an invalid-opcode fault there.
NEWER_MNEMONICS = {
    "cpuid", "rdtsc", "rdtscp", "rdpmc", "rdmsr", "wrmsr", "rsm", "cmpxchg8b", "cmpxchg16b",
    "sysenter", "sysexit", "syscall", "sysret", "ud0", "ud1", "ud2", "ud2a", "ud2b",
    "fcomi", "fcomip", "fucomi", "fucomip", "fisttp", "fisttpl", "fisttpll", "fisttps",
    "emms", "femms", "ldmxcsr", "stmxcsr", "fxsave", "fxrstor", "lfence", "sfence", "mfence",
    "clflush", "clflushopt", "movnti", "monitor", "mwait", "xgetbv", "xsave", "xrstor",
    "popcnt", "lzcnt", "tzcnt", "movbe", "crc32", "crc32b", "crc32w", "crc32l", "rdrand",
    "rdseed", "adcx", "adox", "andn", "bextr", "blsi", "blsmsk", "blsr", "bzhi", "mulx", "pdep",
    "pext", "rorx", "sarx", "shlx", "shrx", "vzeroupper", "vzeroall", "endbr32", "endbr64",
    "nopl", "nopw", "hint_nop", "prefetch", "prefetchw",
}
NEWER_PREFIXES = ("cmov", "fcmov", "prefetch", "xsave", "xrstor", "rdfsbase", "rdgsbase")
VECTOR_REG = re.compile(r"%(?:mm\d|xmm\d+|ymm\d+|zmm\d+|k[0-7]\b)")

PREFIX_WORDS = {
    "rep", "repz", "repe", "repnz", "repne", "lock", "data16", "data32", "addr16", "addr32",
    "cs", "ds", "es", "fs", "gs", "ss", "bnd", "notrack", "xacquire", "xrelease",
}


# --- reading the image --------------------------------------------------------------------------

def load(data):
    """(image, problems): the image with the directories the rules read, and what pefile could not
    read in those directories (it passes over such parts, which would hide them from the rules).
    Raises pefile.PEFormatError when the headers cannot be read."""
    pe = pefile.PE(data=data, fast_load=True)
    known = len(pe.get_warnings())
    pe.parse_data_directories(directories=[DIR_EXPORT, DIR_IMPORT])
    # pefile's packer heuristic fires on LoadLibraryA with GetProcAddress, which the capture DLL
    # imports by design; it says nothing about the image being malformed
    return pe, [w for w in pe.get_warnings()[known:] if "typical of packed executables" not in w]


def text(raw):
    return raw.decode("latin-1") if raw is not None else None


def executable_ranges(pe):
    """[(start RVA, end RVA)] of the sections holding code."""
    return [(s.VirtualAddress, s.VirtualAddress + max(s.Misc_VirtualSize, s.SizeOfRawData))
            for s in pe.sections
            if s.Characteristics & (IMAGE_SCN_CNT_CODE | IMAGE_SCN_MEM_EXECUTE)]


def imports_of(pe):
    """[(dll, [ImportData], unread)] where unread counts table entries pefile passed over (a name
    it found invalid, ordinal 0): those are imports too, and must not slip past the rules."""
    result = []
    for entry in getattr(pe, "DIRECTORY_ENTRY_IMPORT", []):
        # The table pefile reads: the lookup table, or the address table in its absence.
        lookup, addresses = entry.struct.OriginalFirstThunk, entry.struct.FirstThunk
        table = (pe.get_import_table(lookup) if lookup else None) or pe.get_import_table(addresses)
        result.append((text(entry.dll), entry.imports, len(table or []) - len(entry.imports)))
    return result


def allowed_for(profile, dll):
    """The profile's allowed functions of `dll` ({name: byte count}), or None; DLL names compare
    case-insensitively as the loader compares them."""
    for name, functions in profile.items():
        if name.lower() == dll.lower():
            return functions
    return None


# --- disassembly --------------------------------------------------------------------------------

LINE = re.compile(r"^\s*([0-9a-f]+):\t(.*)$")
HEX_TARGET = re.compile(r"^(?:0x)?([0-9a-f]+)\b")
TABLE_JUMP = re.compile(r"^\*(?:0x([0-9a-f]+))\(,%(\w+),4\)$")
TABLE_LOAD = re.compile(r"^(?:0x)?([0-9a-f]+)\(,%(\w+),4\),%(\w+)$")
MEMORY_JUMP = re.compile(r"^\*0x([0-9a-f]+)$")
REGISTER_JUMP = re.compile(r"^\*%(\w+)$")
BOUND_CMP = re.compile(r"^\$0x([0-9a-f]+),(\S+)$")


class Insn:
    __slots__ = ("addr", "mnemonic", "operands", "text")

    def __init__(self, addr, mnemonic, operands, text):
        self.addr, self.mnemonic, self.operands, self.text = addr, mnemonic, operands, text


def split_instruction(text):
    text = text.split("#", 1)[0]
    text = re.sub(r"\s*<[^>]*>", "", text).strip()
    words = text.split()
    while len(words) > 1 and words[0] in PREFIX_WORDS:
        words.pop(0)
    if not words:
        return "", ""
    return words[0], " ".join(words[1:])


def disassemble(path, objdump):
    """Runs objdump over every code section; returns instructions sorted by address."""
    proc = subprocess.run([objdump, "-d", "-w", "--no-show-raw-insn", path],
                          stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                          universal_newlines=True)
    if proc.returncode != 0:
        raise RuntimeError("%s failed: %s" % (objdump, proc.stderr.strip()))
    if "pei-i386" not in proc.stdout and "pe-i386" not in proc.stdout:
        raise RuntimeError("%s does not read this image as pei-i386; pass --objdump "
                           "i686-w64-mingw32-objdump" % objdump)
    insns = {}
    for line in proc.stdout.splitlines():
        m = LINE.match(line)
        if not m:
            continue
        text = m.group(2).strip()
        if not text or text == "...":
            continue
        mnemonic, operands = split_instruction(text)
        addr = int(m.group(1), 16)
        insns[addr] = Insn(addr, mnemonic, operands, text)
    order = sorted(insns)
    return insns, order


class Walker:
    """Follows every path from a function entry until it returns, without entering calls.

    Calls return to the next instruction, so the callee's own `ret` says nothing about this
    function; a jump (including a tail jump into another function) does not return, so every `ret`
    it reaches removes this function's arguments and must carry this function's byte count.
    """

    def __init__(self, pe, insns, order, iat, code_ranges, entries):
        self.pe = pe
        self.base = pe.OPTIONAL_HEADER.ImageBase
        self.insns = insns
        self.order = order
        self.index = {a: i for i, a in enumerate(order)}
        self.iat = iat                      # VMA of IAT slot -> (dll, name, byte count or None)
        self.code_ranges = code_ranges      # [(start VMA, end VMA)]
        self.entries = entries              # export entry VMAs

    def in_code(self, vma):
        return any(lo <= vma < hi for lo, hi in self.code_ranges)

    def read_u32(self, vma):
        if vma < self.base:
            return None
        return self.pe.get_dword_at_rva(vma - self.base)      # None past the file's data

    def table_bound(self, i, index_reg):
        # gcc guards a jump table with `cmp $max,X; ja default` shortly before the jump, where X is
        # the index register or the operand it was loaded from.
        aliases = {"%" + index_reg}
        for j in range(i - 1, max(i - 12, -1), -1):
            insn = self.insns[self.order[j]]
            if insn.mnemonic.startswith("cmp"):
                m = BOUND_CMP.match(insn.operands)
                if m and m.group(2) in aliases:
                    return int(m.group(1), 16) + 1
            elif insn.mnemonic.startswith("mov"):
                source, _, dest = insn.operands.rpartition(",")
                if dest in aliases and source:
                    aliases.add(source)
            if insn.mnemonic in ("ret", "jmp") or insn.mnemonic.startswith("call"):
                break
        return None

    def table_targets(self, i, table_vma, index_reg):
        """Case addresses of a jump table, or None when its size cannot be established;
        reading past the table would wander into other functions' code."""
        bound = self.table_bound(i, index_reg)
        if bound is None or bound > 4096:
            return None
        targets = []
        for k in range(bound):
            value = self.read_u32(table_vma + 4 * k)
            if value is None or value not in self.insns:
                return None
            targets.append(value)
        return targets

    def walk(self, entry):
        """Returns (rets, problems): rets is [(addr, bytes or None for a bare ret, via)],
        problems a list of strings for paths that could not be followed."""
        rets, problems = [], []
        seen = set()
        work = [(entry, None)]
        steps = 0
        while work:
            addr, via = work.pop()
            while True:
                if addr in seen:
                    break
                if addr not in self.insns:
                    problems.append("path reaches 0x%x, which is not the start of a decoded "
                                    "instruction" % addr)
                    break
                seen.add(addr)
                steps += 1
                if steps > 200000:
                    problems.append("gave up after 200000 instructions")
                    return rets, problems
                insn = self.insns[addr]
                i = self.index[addr]
                mn = insn.mnemonic
                if re.match(r"^(ret|lret|iret)[lwqd]?$", mn):
                    count = None
                    m = re.match(r"^\$0x([0-9a-f]+)$", insn.operands)
                    if m:
                        count = int(m.group(1), 16)
                    elif insn.operands:
                        problems.append("unexpected return form '%s' at 0x%x" % (insn.text, addr))
                    if mn.startswith(("lret", "iret")):
                        problems.append("far or interrupt return '%s' at 0x%x" % (mn, addr))
                    rets.append((addr, count, via))
                    break
                if mn in ("jmp", "jmpl"):
                    m = HEX_TARGET.match(insn.operands)
                    if m and not insn.operands.startswith("*"):
                        target = int(m.group(1), 16)
                        # Landing on another export's entry is a tail jump; that only labels
                        # the messages, every path is checked either way.
                        leaves = target in self.entries and target != entry
                        work.append((target, via if via is not None or not leaves else addr))
                        break
                    self.indirect_jump(insn, i, via, work, rets, problems)
                    break
                if mn.startswith("j") or mn.startswith("loop"):
                    m = HEX_TARGET.match(insn.operands)
                    if m:
                        work.append((int(m.group(1), 16), via))
                    else:
                        problems.append("cannot follow '%s' at 0x%x" % (insn.text, addr))
                if mn in ("hlt", "ud2", "ud2a", "int3", "(bad)"):
                    break
                if i + 1 >= len(self.order):
                    problems.append("path runs off the end of the code at 0x%x" % addr)
                    break
                addr = self.order[i + 1]
        return rets, problems

    def indirect_jump(self, insn, i, via, work, rets, problems):
        ops = insn.operands
        m = TABLE_JUMP.match(ops)
        if m:
            targets = self.table_targets(i, int(m.group(1), 16), m.group(2))
            if targets is None:
                problems.append("cannot establish the cases of the jump table '%s' at 0x%x"
                                % (insn.text, insn.addr))
            else:
                work.extend((t, via) for t in targets)
            return
        m = MEMORY_JUMP.match(ops)
        if m:
            slot = int(m.group(1), 16)
            if slot in self.iat:
                dll, name, count = self.iat[slot]
                if count is None:
                    problems.append("tail jump at 0x%x into %s!%s, an import whose byte count "
                                    "is not known" % (insn.addr, dll, name))
                else:
                    rets.append((insn.addr, count, "tail jump into %s!%s" % (dll, name)))
                return
        m = REGISTER_JUMP.match(ops)
        if m and i > 0:
            prev = self.insns[self.order[i - 1]]
            load = TABLE_LOAD.match(prev.operands) if prev.mnemonic.startswith("mov") else None
            if load and load.group(3) == m.group(1):
                targets = self.table_targets(i - 1, int(load.group(1), 16), load.group(2))
                if targets is not None:
                    work.extend((t, via) for t in targets)
                    return
        problems.append("cannot follow indirect jump '%s' at 0x%x" % (insn.text, insn.addr))



def import_slots(pe, profile):
    """VMA of each import address table slot -> (dll, name, byte count or None), for calls and
    jumps through it."""
    slots = {}
    for dll, entries, _ in imports_of(pe):
        allowed = allowed_for(profile, dll) or {}
        for entry in entries:
            if not entry.import_by_ordinal:
                name = text(entry.name)
                slots[entry.address] = (dll, name, allowed.get(name))
    return slots


def make_walker(pe, profile, insns, order, entries):
    base = pe.OPTIONAL_HEADER.ImageBase
    code_ranges = [(base + lo, base + hi) for lo, hi in executable_ranges(pe)]
    return Walker(pe, insns, order, import_slots(pe, profile), code_ranges, entries)


# --- rules --------------------------------------------------------------------------------------

def check(path, objdump, profile, size_limit=None):
    """Returns (failures, summary). Each failure is one line naming its rule."""
    with open(path, "rb") as f:
        data = f.read()
    try:
        pe, problems = load(data)
    except pefile.PEFormatError as e:
        return ["FAIL [rule 1] %s is not a PE image: %s" % (path, e)], None

    failures = []

    def fail(rule, message):
        failures.append("FAIL [rule %d] %s" % (rule, message))

    # Rule 1: a 32-bit x86 DLL.
    magic = pe.OPTIONAL_HEADER.Magic
    machine = pe.FILE_HEADER.Machine
    characteristics = pe.FILE_HEADER.Characteristics
    if magic != PE32_MAGIC:
        kind = "PE32+" if magic == PE32PLUS_MAGIC else "magic 0x%x" % magic
        fail(1, "optional header is %s, expected PE32 (magic 0x10b)" % kind)
    if machine != IMAGE_FILE_MACHINE_I386:
        fail(1, "machine is 0x%x, expected 0x14c (i386)" % machine)
    if not characteristics & IMAGE_FILE_DLL:
        fail(1, "IMAGE_FILE_DLL (0x2000) is not set in characteristics 0x%x" % characteristics)
    if not characteristics & IMAGE_FILE_EXECUTABLE_IMAGE:
        fail(1, "IMAGE_FILE_EXECUTABLE_IMAGE (0x2) is not set in characteristics 0x%x"
             % characteristics)
    if magic != PE32_MAGIC or machine != IMAGE_FILE_MACHINE_I386:
        fail(1, "remaining rules not checked: this is not a PE32 i386 image")
        return failures, None
    for problem in problems:
        fail(1, "image is malformed: %s" % problem)

    entry_of = check_exports(pe, fail)
    import_count, import_dlls = check_imports(pe, profile, fail)
    check_headers(pe, fail)
    if size_limit is not None and len(data) > size_limit:
        fail(8, "image is %d bytes, expected at most %d" % (len(data), size_limit))
    # Rule 9: the checksum a file check or an installer can compare against the file.
    if pe.OPTIONAL_HEADER.CheckSum != pe.generate_checksum():
        fail(9, "PE checksum is 0x%x, expected 0x%x" % (pe.OPTIONAL_HEADER.CheckSum,
                                                         pe.generate_checksum()))
    verified, instructions = check_code(path, pe, objdump, profile, entry_of, fail)
    if failures:
        return failures, None
    return failures, (
        "image ok: PE32 i386 DLL, %d exports at ordinals 2-10 (base %d), ret N verified for %d "
        "exports, %d imports from %s, subsystem 4.0, %d instructions within the i486 set, no TLS, "
        "entry RVA 0x%x, %d bytes" % (len(entry_of), ORDINAL_BASE, verified, import_count,
                                      " and ".join(import_dlls) or "nothing", instructions,
                                      pe.OPTIONAL_HEADER.AddressOfEntryPoint, len(data)))


def check_exports(pe, fail):
    """Rule 2: the nine exports by plain name at their ordinals, base 2, no ordinal 1, nothing
    else, nothing forwarded. Returns {name: entry RVA} of those found in place."""
    directory = getattr(pe, "DIRECTORY_ENTRY_EXPORT", None)
    if directory is None:
        fail(2, "no export directory")
        return {}
    module = text(directory.name) or ""
    if module.lower() != MODULE_NAME.lower():
        fail(2, "export directory names the module '%s', expected '%s'" % (module, MODULE_NAME))
    base = directory.struct.Base
    if base != ORDINAL_BASE:
        fail(2, "ordinal base is %d, expected %d" % (base, ORDINAL_BASE))
    expected_by_name = {name: ordinal for ordinal, (name, _) in EXPORTS.items()}
    entry_of, found = {}, set()
    for symbol in directory.symbols:
        name, ordinal = text(symbol.name), symbol.ordinal
        if symbol.forwarder is not None:
            fail(2, "export %s (ordinal %d) is forwarded ('%s'), expected code in this module"
                 % (name or "without a name", ordinal, text(symbol.forwarder)))
        if ordinal == 1:
            fail(2, "ordinal 1 is assigned (RVA 0x%x), expected unassigned" % symbol.address)
        if name is None:
            if ordinal != 1:
                fail(2, "unexpected export at ordinal %d without a name (RVA 0x%x)"
                     % (ordinal, symbol.address))
            continue
        plain = re.sub(r"@\d+$", "", name)
        plain = plain[1:] if plain.startswith("_") else plain
        if name in expected_by_name:
            found.add(name)
            if ordinal != expected_by_name[name]:
                fail(2, "export %s has ordinal %d, expected %d"
                     % (name, ordinal, expected_by_name[name]))
            elif symbol.forwarder is None:
                entry_of[name] = symbol.address
        elif plain in expected_by_name:
            found.add(plain)
            fail(2, "export %s is decorated as '%s' (ordinal %d), expected the plain name "
                 "'%s' at ordinal %d" % (plain, name, ordinal, plain, expected_by_name[plain]))
        else:
            fail(2, "unexpected export '%s' at ordinal %d" % (name, ordinal))
    for ordinal, (name, _) in sorted(EXPORTS.items()):
        if name not in found:
            fail(2, "export %s (ordinal %d) is missing" % (name, ordinal))
    return entry_of


def check_imports(pe, profile, fail):
    """Rule 4: imports by name, only from the profile's DLLs and only its functions.
    Returns (number of imports, [DLL names])."""
    count, dlls = 0, []
    expected = " and ".join(sorted(profile))
    for dll, entries, unread in imports_of(pe):
        dlls.append(dll)
        allowed = allowed_for(profile, dll)
        names = []
        for entry in entries:
            if entry.import_by_ordinal:
                fail(4, "a function of %s is imported by ordinal %d, expected by name"
                     % (dll, entry.ordinal))
                continue
            name = text(entry.name)
            names.append(name)
            count += 1
            if allowed is not None and name not in allowed:
                owners = [d for d, functions in sorted(profile.items()) if name in functions]
                hint = " (it belongs to %s)" % owners[0].upper() if owners else ""
                fail(4, "import %s!%s is not on the allowed list%s" % (dll, name, hint))
        if unread:
            fail(4, "%d import(s) of %s have no readable name or ordinal" % (unread, dll))
        if allowed is None:
            shown = ", ".join(names[:6]) + (", ..." if len(names) > 6 else "")
            fail(4, "imports from %s (%s), expected only %s" % (dll, shown or "no names", expected))
    if pe.OPTIONAL_HEADER.DATA_DIRECTORY[DIR_DELAY_IMPORT].VirtualAddress:
        fail(4, "image has a delay-load import directory, expected plain imports only")
    return count, dlls


def check_headers(pe, fail):
    """Rules 5 and 7: subsystem version 4.0; no TLS (Windows 95 does not run the TLS callbacks
    of a loaded DLL) and an entry routine in code."""
    header = pe.OPTIONAL_HEADER
    version = (header.MajorSubsystemVersion, header.MinorSubsystemVersion)
    if version != (4, 0):
        fail(5, "subsystem version is %d.%d, expected 4.0" % version)
    tls = header.DATA_DIRECTORY[DIR_TLS]
    if tls.VirtualAddress or tls.Size:
        fail(7, "TLS directory present (RVA 0x%x, size %d), expected none"
             % (tls.VirtualAddress, tls.Size))
    entry = header.AddressOfEntryPoint
    if entry == 0:
        fail(7, "AddressOfEntryPoint is 0, expected an entry routine")
    elif not any(lo <= entry < hi for lo, hi in executable_ranges(pe)):
        fail(7, "entry point RVA 0x%x is not in an executable section" % entry)


def check_code(path, pe, objdump, profile, entry_of, fail):
    """Rules 3, 6 and 7's entry routine, on the disassembly. Returns (exports whose returns were
    verified, number of instructions)."""
    base = pe.OPTIONAL_HEADER.ImageBase
    insns, order = disassemble(path, objdump)
    walker = make_walker(pe, profile, insns, order, {base + rva for rva in entry_of.values()})
    verified = 0
    for ordinal, (name, expected) in sorted(EXPORTS.items()):
        if name not in entry_of:
            continue
        vma = base + entry_of[name]
        if not walker.in_code(vma):
            fail(3, "%s: entry 0x%x is not in an executable section" % (name, vma))
        elif check_returns(fail, walker, name, vma, expected):
            verified += 1
    # The loader calls the entry routine as a stdcall function of three arguments.
    entry = pe.OPTIONAL_HEADER.AddressOfEntryPoint
    if entry and walker.in_code(base + entry):
        check_returns(fail, walker, "entry routine", base + entry, 12, rule=7)
    check_instruction_set(insns, order, fail)
    return verified, len(order)


def check_instruction_set(insns, order, fail):
    """Rule 6: nothing newer than the i486."""
    offenders = []
    for addr in order:
        insn = insns[addr]
        mn = insn.mnemonic
        newer = (mn in NEWER_MNEMONICS or mn.startswith(NEWER_PREFIXES)
                 or VECTOR_REG.search(insn.operands) is not None
                 or (mn == "nop" and insn.operands))       # 0F 1F long nop is P6 and later
        if newer:
            offenders.append("%s at 0x%x" % (insn.text.split()[0] if mn == "" else mn, addr))
    if offenders:
        more = " and %d more" % (len(offenders) - 5) if len(offenders) > 5 else ""
        fail(6, "%d instruction(s) newer than the i486: %s%s"
             % (len(offenders), ", ".join(offenders[:5]), more))


def check_returns(fail, walker, name, vma, expected, rule=3):
    rets, problems = walker.walk(vma)
    ok = True
    for problem in problems:
        fail(rule, "%s (entry 0x%x): %s; the byte count on that path is unverified"
             % (name, vma, problem))
        ok = False
    if not rets and not problems:
        fail(rule, "%s (entry 0x%x): no ret reachable, expected ret $0x%x"
             % (name, vma, expected))
        return False
    for addr, count, via in sorted(rets, key=lambda r: r[0]):
        if count == expected:
            continue
        ok = False
        where = ""
        if isinstance(via, str):
            where = " (%s)" % via
        elif via is not None:
            where = " (reached through the jump at 0x%x)" % via
        if count is None:
            fail(rule, "%s: bare ret at 0x%x%s removes no arguments, expected ret $0x%x (%d)"
                 % (name, addr, where, expected, expected))
        else:
            fail(rule, "%s: ret at 0x%x%s removes %d bytes, expected %d"
                 % (name, addr, where, count, expected))
    return ok



def default_objdump():
    for candidate in (os.environ.get("OBJDUMP"), "i686-w64-mingw32-objdump", "objdump"):
        if candidate and shutil.which(candidate):
            return candidate
    return "i686-w64-mingw32-objdump"




def main(argv=None):
    parser = argparse.ArgumentParser(description="Check a built QUILLREC.dll image.")
    parser.add_argument("dll")
    parser.add_argument("--profile", choices=sorted(PROFILES), default="shipped",
                        help="which image this is, for its allowed imports (default: shipped)")
    parser.add_argument("--objdump", default=None,
                        help="objdump that reads pei-i386 (default: $OBJDUMP, "
                             "i686-w64-mingw32-objdump, objdump)")
    args = parser.parse_args(argv)
    objdump = args.objdump or default_objdump()
    if pefile is None:
        print("error: %s cannot import pefile; install python3-pefile (scripts/setup) and run "
              "this with Debian's /usr/bin/python3" % sys.executable, file=sys.stderr)
        return 2
    if not os.path.isfile(args.dll):
        print("error: %s: no such file" % args.dll, file=sys.stderr)
        return 2
    if not shutil.which(objdump):
        print("error: objdump '%s' not found" % objdump, file=sys.stderr)
        return 2
    try:
        failures, summary = check(args.dll, objdump, PROFILES[args.profile],
                                  SIZE_LIMITS.get(args.profile))
    except (OSError, RuntimeError) as e:
        print("error: %s" % e, file=sys.stderr)
        return 2
    if failures:
        for line in failures:
            print(line)
        return 1
    print(summary)
    return 0


if __name__ == "__main__":
    sys.exit(main())
