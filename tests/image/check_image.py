#!/usr/bin/env python3
"""Check the shipped 32-bit QUILLREC.dll against what a Windows 95-family loader and its
16-to-32-bit thunk rely on.

Usage: check_image.py path/to/QUILLREC.dll [--objdump i686-w64-mingw32-objdump]

Exit status 0 and one "image ok: ..." line when every rule holds; 1 and one "FAIL [rule N] ..."
line per broken rule otherwise; 2 when the checker itself cannot run (no objdump, unreadable file).

The PE headers, export and import directories are parsed here with the struct module; objdump is
used only to disassemble the executable sections.
"""

import argparse
import os
import re
import shutil
import struct
import subprocess
import sys

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

# Allowed imports with their stdcall byte counts; the counts let a tail jump straight into an
# imported function be checked like any other return path.
ALLOWED_IMPORTS = {
    "gdi32.dll": {
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
    "kernel32.dll": {
        "GetWindowsDirectoryA": 8, "GetTempFileNameA": 16, "GlobalAlloc": 8, "GlobalLock": 4,
        "GlobalUnlock": 4, "GlobalFree": 4, "GetACP": 0, "IsDBCSLeadByteEx": 8,
    },
}

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


class NotPE(Exception):
    pass


class Image:
    """The parts of a PE image the rules look at."""

    def __init__(self, data):
        self.data = data
        if len(data) < 0x40 or data[:2] != b"MZ":
            raise NotPE("no MZ header")
        self.pe_offset = struct.unpack_from("<I", data, 0x3C)[0]
        if data[self.pe_offset:self.pe_offset + 4] != b"PE\0\0":
            raise NotPE("no PE signature at 0x%x" % self.pe_offset)
        coff = self.pe_offset + 4
        (self.machine, self.section_count, _, _, _, self.optional_size,
         self.characteristics) = struct.unpack_from("<HHIIIHH", data, coff)
        self.optional_offset = coff + 20
        self.magic = struct.unpack_from("<H", data, self.optional_offset)[0]
        self.sections = []
        table = self.optional_offset + self.optional_size
        for i in range(self.section_count):
            (raw_name, vsize, va, raw_size, raw_ptr, _, _, _, _,
             flags) = struct.unpack_from("<8sIIIIIIHHI", data, table + 40 * i)
            self.sections.append({
                "name": raw_name.rstrip(b"\0").decode("latin-1"),
                "vsize": vsize, "va": va, "raw_size": raw_size, "raw_ptr": raw_ptr,
                "flags": flags, "header_offset": table + 40 * i,
            })
        if self.magic != PE32_MAGIC:
            return
        o = self.optional_offset
        self.entry_rva = struct.unpack_from("<I", data, o + 16)[0]
        self.image_base = struct.unpack_from("<I", data, o + 28)[0]
        self.subsystem_version = struct.unpack_from("<HH", data, o + 48)
        self.size_of_headers = struct.unpack_from("<I", data, o + 60)[0]
        count = struct.unpack_from("<I", data, o + 92)[0]
        self.directories = []
        for i in range(min(count, 16)):
            self.directories.append(struct.unpack_from("<II", data, o + 96 + 8 * i))
        while len(self.directories) < 16:
            self.directories.append((0, 0))

    def directory_offset(self, index):
        """File offset of data directory entry `index` (for tests that patch it)."""
        return self.optional_offset + 96 + 8 * index

    def executable_sections(self):
        return [s for s in self.sections
                if s["flags"] & (IMAGE_SCN_CNT_CODE | IMAGE_SCN_MEM_EXECUTE)]

    def section_of(self, rva):
        for s in self.sections:
            if s["va"] <= rva < s["va"] + max(s["vsize"], s["raw_size"]):
                return s
        return None

    def offset(self, rva):
        if rva < self.size_of_headers:
            return rva
        s = self.section_of(rva)
        if s is None or rva - s["va"] >= s["raw_size"]:
            raise NotPE("RVA 0x%x is not backed by file data" % rva)
        return s["raw_ptr"] + rva - s["va"]

    def u16(self, rva):
        return struct.unpack_from("<H", self.data, self.offset(rva))[0]

    def u32(self, rva):
        return struct.unpack_from("<I", self.data, self.offset(rva))[0]

    def cstring(self, rva, limit=512):
        start = self.offset(rva)
        end = self.data.find(b"\0", start, start + limit)
        if end < 0:
            raise NotPE("unterminated string at RVA 0x%x" % rva)
        return self.data[start:end].decode("latin-1")

    def exports(self):
        """Returns dict with module name, base, {ordinal: rva}, [(name, ordinal, name_rva)],
        and the directory's file offset; None when there is no export directory."""
        rva, size = self.directories[DIR_EXPORT]
        if rva == 0:
            return None
        (_, _, _, _, name_rva, base, n_functions, n_names, functions_rva, names_rva,
         ordinals_rva) = struct.unpack_from("<IIHHIIIIIII", self.data, self.offset(rva))
        by_ordinal = {}
        for i in range(n_functions):
            target = self.u32(functions_rva + 4 * i)
            if target:
                by_ordinal[base + i] = target
        names = []
        for i in range(n_names):
            name_rva_i = self.u32(names_rva + 4 * i)
            index = self.u16(ordinals_rva + 2 * i)
            names.append((self.cstring(name_rva_i), base + index, name_rva_i))
        return {
            "module": self.cstring(name_rva) if name_rva else "",
            "base": base, "by_ordinal": by_ordinal, "names": names,
            "dir_rva": rva, "dir_size": size, "dir_offset": self.offset(rva),
        }

    def imports(self):
        """Returns [(dll, [name or ('ordinal', n)], iat_rva, dll_name_rva)]."""
        rva, _ = self.directories[DIR_IMPORT]
        result = []
        if rva == 0:
            return result
        pos = rva
        while True:
            lookup, _, _, name_rva, iat = struct.unpack_from("<IIIII", self.data, self.offset(pos))
            if lookup == 0 and name_rva == 0 and iat == 0:
                break
            dll = self.cstring(name_rva)
            table = lookup or iat
            entries = []
            i = 0
            while True:
                value = self.u32(table + 4 * i)
                if value == 0:
                    break
                if value & 0x80000000:
                    entries.append(("ordinal", value & 0xFFFF))
                else:
                    entries.append(self.cstring(value + 2))
                i += 1
            result.append((dll, entries, iat, name_rva))
            pos += 20
        return result


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

    def __init__(self, image, insns, order, iat, code_ranges, entries):
        self.image = image
        self.insns = insns
        self.order = order
        self.index = {a: i for i, a in enumerate(order)}
        self.iat = iat                      # VMA of IAT slot -> (dll, name)
        self.code_ranges = code_ranges      # [(start VMA, end VMA)]
        self.entries = entries              # export entry VMAs

    def in_code(self, vma):
        return any(lo <= vma < hi for lo, hi in self.code_ranges)

    def read_u32(self, vma):
        try:
            return self.image.u32(vma - self.image.image_base)
        except (NotPE, struct.error):
            return None

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
                dll, name = self.iat[slot]
                count = ALLOWED_IMPORTS.get(dll.lower(), {}).get(name)
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


def import_slots(image):
    """VMA of each import address table slot -> (dll, name), for calls and jumps through it."""
    slots = {}
    for dll, entries, iat_rva, _ in image.imports():
        for k, entry in enumerate(entries):
            if not isinstance(entry, tuple):
                slots[image.image_base + iat_rva + 4 * k] = (dll, entry)
    return slots


def make_walker(image, insns, order, entries):
    code_ranges = [(image.image_base + s["va"],
                    image.image_base + s["va"] + max(s["vsize"], s["raw_size"]))
                   for s in image.executable_sections()]
    return Walker(image, insns, order, import_slots(image), code_ranges, entries)


# --- rules --------------------------------------------------------------------------------------

def check(path, objdump):
    """Returns (failures, summary). Each failure is one line naming its rule."""
    with open(path, "rb") as f:
        data = f.read()
    try:
        image = Image(data)
    except (NotPE, struct.error) as e:
        return ["FAIL [rule 1] %s is not a PE image: %s" % (path, e)], None

    failures = []

    def fail(rule, message):
        failures.append("FAIL [rule %d] %s" % (rule, message))

    # Rule 1: a 32-bit x86 DLL.
    if image.magic != PE32_MAGIC:
        kind = "PE32+" if image.magic == PE32PLUS_MAGIC else "magic 0x%x" % image.magic
        fail(1, "optional header is %s, expected PE32 (magic 0x10b)" % kind)
    if image.machine != IMAGE_FILE_MACHINE_I386:
        fail(1, "machine is 0x%x, expected 0x14c (i386)" % image.machine)
    if not image.characteristics & IMAGE_FILE_DLL:
        fail(1, "IMAGE_FILE_DLL (0x2000) is not set in characteristics 0x%x"
             % image.characteristics)
    if not image.characteristics & IMAGE_FILE_EXECUTABLE_IMAGE:
        fail(1, "IMAGE_FILE_EXECUTABLE_IMAGE (0x2) is not set in characteristics 0x%x"
             % image.characteristics)
    if image.magic != PE32_MAGIC or image.machine != IMAGE_FILE_MACHINE_I386:
        fail(1, "remaining rules not checked: this is not a PE32 i386 image")
        return failures, None

    try:
        return check_pe32(path, image, objdump, failures, fail)
    except (NotPE, struct.error) as e:
        fail(1, "image is malformed: %s" % e)
        return failures, None


def check_pe32(path, image, objdump, failures, fail):
    # Rule 2: export table.
    exports = image.exports()
    entry_of = {}
    if exports is None:
        fail(2, "no export directory")
    else:
        if exports["module"].lower() != MODULE_NAME.lower():
            fail(2, "export directory names the module '%s', expected '%s'"
                 % (exports["module"], MODULE_NAME))
        if exports["base"] != ORDINAL_BASE:
            fail(2, "ordinal base is %d, expected %d" % (exports["base"], ORDINAL_BASE))
        if 1 in exports["by_ordinal"]:
            fail(2, "ordinal 1 is assigned (RVA 0x%x), expected unassigned"
                 % exports["by_ordinal"][1])
        expected_by_name = {name: ordinal for ordinal, (name, _) in EXPORTS.items()}
        named_ordinals = set()
        found = {}          # expected name -> ordinal it was found at, decorated or not
        for name, ordinal, _ in exports["names"]:
            named_ordinals.add(ordinal)
            plain = re.sub(r"@\d+$", "", name)
            if plain.startswith("_"):
                plain = plain[1:]
            if name in expected_by_name:
                found[name] = ordinal
                if ordinal != expected_by_name[name]:
                    fail(2, "export %s has ordinal %d, expected %d"
                         % (name, ordinal, expected_by_name[name]))
                elif ordinal in exports["by_ordinal"]:
                    entry_of[name] = exports["by_ordinal"][ordinal]
                else:
                    fail(2, "export %s names ordinal %d, which has no address" % (name, ordinal))
            elif plain in expected_by_name:
                found[plain] = ordinal
                fail(2, "export %s is decorated as '%s' (ordinal %d), expected the plain name "
                     "'%s' at ordinal %d" % (plain, name, ordinal, plain, expected_by_name[plain]))
            else:
                fail(2, "unexpected export '%s' at ordinal %d" % (name, ordinal))
        for ordinal, (name, _) in sorted(EXPORTS.items()):
            if name not in found:
                fail(2, "export %s (ordinal %d) is missing" % (name, ordinal))
        for ordinal in sorted(exports["by_ordinal"]):
            if ordinal not in named_ordinals and ordinal != 1:
                fail(2, "unexpected export at ordinal %d without a name (RVA 0x%x)"
                     % (ordinal, exports["by_ordinal"][ordinal]))
        lo, hi = exports["dir_rva"], exports["dir_rva"] + exports["dir_size"]
        for name, rva in sorted(entry_of.items()):
            if lo <= rva < hi:
                fail(2, "export %s is forwarded ('%s'), expected code in this module"
                     % (name, image.cstring(rva)))

    # Rule 4: imports.
    import_count = 0
    import_dlls = []
    for dll, entries, _, _ in image.imports():
        allowed = ALLOWED_IMPORTS.get(dll.lower())
        import_dlls.append(dll)
        names = []
        for k, entry in enumerate(entries):
            if isinstance(entry, tuple):
                fail(4, "a function of %s is imported by ordinal %d, expected by name"
                     % (dll, entry[1]))
                continue
            names.append(entry)
            import_count += 1
            if allowed is not None and entry not in allowed:
                other = [d for d, names_ in ALLOWED_IMPORTS.items() if entry in names_]
                hint = " (it belongs to %s)" % other[0].upper() if other else ""
                fail(4, "import %s!%s is not on the allowed list%s" % (dll, entry, hint))
        if allowed is None:
            shown = ", ".join(names[:6]) + (", ..." if len(names) > 6 else "")
            fail(4, "imports from %s (%s), expected only KERNEL32.dll and GDI32.dll"
                 % (dll, shown or "no names"))
    if image.directories[DIR_DELAY_IMPORT][0]:
        fail(4, "image has a delay-load import directory, expected plain imports only")

    # Rule 5: subsystem version.
    major, minor = image.subsystem_version
    if (major, minor) != (4, 0):
        fail(5, "subsystem version is %d.%d, expected 4.0" % (major, minor))

    # Rule 7: no TLS (Windows 95 does not run TLS callbacks of a loaded DLL) and an entry point.
    tls_rva, tls_size = image.directories[DIR_TLS]
    if tls_rva or tls_size:
        fail(7, "TLS directory present (RVA 0x%x, size %d), expected none" % (tls_rva, tls_size))
    code = image.executable_sections()
    if image.entry_rva == 0:
        fail(7, "AddressOfEntryPoint is 0, expected an entry routine")
    elif not any(s["va"] <= image.entry_rva < s["va"] + max(s["vsize"], s["raw_size"])
                 for s in code):
        fail(7, "entry point RVA 0x%x is not in an executable section" % image.entry_rva)

    # Rules 3 and 6 need the disassembly.
    insns, order = disassemble(path, objdump)
    walker = make_walker(image, insns, order,
                         {image.image_base + rva for rva in entry_of.values()})
    verified = 0
    for ordinal, (name, expected) in sorted(EXPORTS.items()):
        if name not in entry_of:
            continue
        vma = image.image_base + entry_of[name]
        if not walker.in_code(vma):
            fail(3, "%s: entry 0x%x is not in an executable section" % (name, vma))
            continue
        if check_returns(fail, walker, name, vma, expected):
            verified += 1
    # The loader calls the entry routine as a stdcall function of three arguments.
    if image.entry_rva and walker.in_code(image.image_base + image.entry_rva):
        check_returns(fail, walker, "entry routine", image.image_base + image.entry_rva, 12,
                      rule=7)

    # Rule 6: instruction set.
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
        shown = offenders[:5]
        more = " and %d more" % (len(offenders) - 5) if len(offenders) > 5 else ""
        fail(6, "%d instruction(s) newer than the i486: %s%s"
             % (len(offenders), ", ".join(shown), more))

    if failures:
        return failures, None
    summary = ("image ok: PE32 i386 DLL, %d exports at ordinals 2-10 (base %d), ret N verified "
               "for %d exports, %d imports from %s, subsystem %d.%d, %d instructions within "
               "the i486 set, no TLS, entry RVA 0x%x"
               % (len(entry_of), ORDINAL_BASE, verified, import_count,
                  " and ".join(import_dlls) or "nothing", major, minor, len(order),
                  image.entry_rva))
    return failures, summary


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
    parser = argparse.ArgumentParser(description="Check the built QUILLREC.dll image.")
    parser.add_argument("dll")
    parser.add_argument("--objdump", default=None,
                        help="objdump that reads pei-i386 (default: $OBJDUMP, "
                             "i686-w64-mingw32-objdump, objdump)")
    args = parser.parse_args(argv)
    objdump = args.objdump or default_objdump()
    if not os.path.isfile(args.dll):
        print("error: %s: no such file" % args.dll, file=sys.stderr)
        return 2
    if not shutil.which(objdump):
        print("error: objdump '%s' not found" % objdump, file=sys.stderr)
        return 2
    try:
        failures, summary = check(args.dll, objdump)
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
