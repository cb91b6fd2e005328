#!/usr/bin/env python3
"""The image checker must reject images that a Windows 95-family loader or the driver's thunk
would mishandle. Each test patches a copy of the built DLL (QUILLREC_DLL) so that it breaks exactly
one rule, and requires the checker to fail naming that rule and the place that is wrong.

Run: QUILLREC_DLL=build/win32/QUILLREC.dll python3 -m unittest tests/image/test_check_image.py
Optional: QUILLREC_OBJDUMP=i686-w64-mingw32-objdump
"""

import os
import shutil
import struct
import subprocess
import sys
import tempfile
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
import check_image  # noqa: E402

CHECKER = os.path.join(HERE, "check_image.py")
DLL = os.environ.get("QUILLREC_DLL", "")
OBJDUMP = os.environ.get("QUILLREC_OBJDUMP") or check_image.default_objdump()

if not DLL:
    SKIP_REASON = "QUILLREC_DLL is not set; point it at the built i686 QUILLREC.dll"
elif not os.path.isfile(DLL):
    SKIP_REASON = "QUILLREC_DLL=%s does not exist; build the win32 DLL first" % DLL
elif not shutil.which(OBJDUMP):
    SKIP_REASON = "no objdump for pei-i386 (%s); install binutils-mingw-w64-i686" % OBJDUMP
else:
    SKIP_REASON = None


@unittest.skipIf(SKIP_REASON is not None, SKIP_REASON or "")
class CheckImageTest(unittest.TestCase):

    @classmethod
    def setUpClass(cls):
        with open(DLL, "rb") as f:
            cls.good = f.read()
        cls.image = check_image.Image(cls.good)
        cls.exports = cls.image.exports()
        cls.tmp = tempfile.mkdtemp(prefix="quillrec-image-")

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.tmp, ignore_errors=True)

    # helpers -----------------------------------------------------------------------------------

    def run_checker(self, path):
        proc = subprocess.run([sys.executable, CHECKER, path, "--objdump", OBJDUMP],
                              stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                              universal_newlines=True)
        return proc.returncode, proc.stdout + proc.stderr

    def check_patched(self, patch):
        """Applies patch(bytearray) to a copy of the good image and runs the checker on it."""
        data = bytearray(self.good)
        patch(data)
        self.assertNotEqual(bytes(data), self.good, "the patch changed nothing")
        path = os.path.join(self.tmp, "%s.dll" % self.id().rsplit(".", 1)[-1])
        with open(path, "wb") as f:
            f.write(data)
        return self.run_checker(path)

    def assertFailsWith(self, result, *fragments):
        rc, output = result
        self.assertEqual(rc, 1, "checker should fail; output:\n" + output)
        lines = output.splitlines()
        for line in lines:
            self.assertTrue(line.startswith("FAIL [rule "), "unexpected line: %r" % line)
        self.assertTrue(any(all(f in line for f in fragments) for line in lines),
                        "no line with %r in:\n%s" % (fragments, output))

    def export_vma(self, name):
        ordinal = [o for o, (n, _) in check_image.EXPORTS.items() if n == name][0]
        return self.image.image_base + self.exports["by_ordinal"][ordinal]

    def file_offset_of_vma(self, vma):
        return self.image.offset(vma - self.image.image_base)

    def name_offset(self, export_name):
        for name, _, name_rva in self.exports["names"]:
            if name == export_name:
                return self.image.offset(name_rva)
        self.fail("the good image has no export %s" % export_name)

    def returns_of(self, export_name):
        insns, order = check_image.disassemble(DLL, OBJDUMP)
        walker = check_image.make_walker(self.image, insns, order, set())
        rets, problems = walker.walk(self.export_vma(export_name))
        self.assertEqual(problems, [])
        return sorted(addr for addr, count, via in rets if via is None)

    def import_named(self, dll_name):
        for dll, entries, iat_rva, name_rva in self.image.imports():
            if dll.lower() == dll_name.lower():
                return entries, iat_rva, name_rva
        self.fail("the good image imports nothing from %s" % dll_name)

    def lookup_table_rva(self, dll_name):
        pos = self.image.directories[check_image.DIR_IMPORT][0]
        while True:
            lookup, _, _, name_rva, iat = struct.unpack_from(
                "<IIIII", self.good, self.image.offset(pos))
            if name_rva == 0:
                self.fail("no import descriptor for %s" % dll_name)
            if self.image.cstring(name_rva).lower() == dll_name.lower():
                return lookup or iat
            pos += 20

    # the good image ----------------------------------------------------------------------------

    def test_good_image_passes(self):
        rc, output = self.run_checker(DLL)
        self.assertEqual(rc, 0, output)
        self.assertEqual(len(output.splitlines()), 1, output)
        self.assertTrue(output.startswith("image ok: "), output)

    # rule 1 ------------------------------------------------------------------------------------

    def test_other_machine_fails(self):
        def patch(d):
            struct.pack_into("<H", d, self.image.pe_offset + 4, 0x8664)
        self.assertFailsWith(self.check_patched(patch), "[rule 1]", "0x8664", "0x14c")

    def test_missing_dll_flag_fails(self):
        def patch(d):
            struct.pack_into("<H", d, self.image.pe_offset + 22,
                             self.image.characteristics & ~check_image.IMAGE_FILE_DLL)
        self.assertFailsWith(self.check_patched(patch), "[rule 1]", "IMAGE_FILE_DLL")

    # rule 2 ------------------------------------------------------------------------------------

    def test_renamed_export_fails(self):
        def patch(d):
            d[self.name_offset("Output32") + 5] = ord("X")          # "OutpuX32"
        result = self.check_patched(patch)
        self.assertFailsWith(result, "[rule 2]", "Output32", "missing")
        self.assertFailsWith(result, "[rule 2]", "OutpuX32", "unexpected")

    def test_decorated_export_name_fails(self):
        # GetEmfFilePath32 has room for the decorated form of another export's name.
        def patch(d):
            at = self.name_offset("GetEmfFilePath32")
            d[at:at + 16] = b"_Output32@60".ljust(16, b"\0")
        self.assertFailsWith(self.check_patched(patch), "[rule 2]", "'_Output32@60'",
                             "decorated")

    def test_ordinal_base_one_fails(self):
        def patch(d):
            struct.pack_into("<I", d, self.exports["dir_offset"] + 16, 1)
        result = self.check_patched(patch)
        self.assertFailsWith(result, "[rule 2]", "ordinal base is 1", "expected 2")
        self.assertFailsWith(result, "[rule 2]", "Output32", "ordinal 4", "expected 5")

    # rule 3 ------------------------------------------------------------------------------------

    def test_wrong_ret_count_fails(self):
        rets = self.returns_of("Output32")
        self.assertTrue(rets, "Output32 has no ret of its own in the good image")
        at = self.file_offset_of_vma(rets[0])
        self.assertEqual(self.good[at:at + 3], b"\xc2\x3c\x00")

        def patch(d):
            d[at + 1] = 0x38
        self.assertFailsWith(self.check_patched(patch), "[rule 3]", "Output32",
                             "0x%x" % rets[0], "removes 56 bytes", "expected 60")

    def test_bare_ret_fails(self):
        rets = self.returns_of("Dib32")
        at = self.file_offset_of_vma(rets[-1])
        self.assertEqual(self.good[at:at + 3], b"\xc2\x38\x00")

        def patch(d):
            d[at:at + 3] = b"\xc3\x90\x90"
        self.assertFailsWith(self.check_patched(patch), "[rule 3]", "Dib32", "bare ret",
                             "0x%x" % rets[-1])

    # rule 4 ------------------------------------------------------------------------------------

    def test_import_from_c_runtime_fails(self):
        _, _, name_rva = self.import_named("KERNEL32.dll")

        def patch(d):
            at = self.image.offset(name_rva)
            d[at:at + 12] = b"MSVCRT.dll\0\0"
        self.assertFailsWith(self.check_patched(patch), "[rule 4]", "MSVCRT.dll")

    def test_import_outside_the_allowed_list_fails(self):
        entries, _, _ = self.import_named("GDI32.dll")
        table = self.lookup_table_rva("GDI32.dll")
        hint_name_rva = self.image.u32(table)
        renamed = "Q" + entries[0][1:]

        def patch(d):
            d[self.image.offset(hint_name_rva + 2)] = ord("Q")
        self.assertFailsWith(self.check_patched(patch), "[rule 4]", "GDI32.dll!" + renamed,
                             "not on the allowed list")

    def test_import_by_ordinal_fails(self):
        table = self.lookup_table_rva("KERNEL32.dll")

        def patch(d):
            struct.pack_into("<I", d, self.image.offset(table), 0x80000000 | 7)
        self.assertFailsWith(self.check_patched(patch), "[rule 4]", "by ordinal 7")

    # rule 5 ------------------------------------------------------------------------------------

    def test_subsystem_version_five_fails(self):
        def patch(d):
            struct.pack_into("<HH", d, self.image.optional_offset + 48, 5, 0)
        self.assertFailsWith(self.check_patched(patch), "[rule 5]", "5.0", "4.0")

    # rule 6 ------------------------------------------------------------------------------------

    def test_cmov_fails(self):
        vma = self.export_vma("GetEmfFileDC32")

        def patch(d):
            at = self.file_offset_of_vma(vma)
            d[at:at + 3] = b"\x0f\x44\xc0"                       # cmove %eax,%eax
        self.assertFailsWith(self.check_patched(patch), "[rule 6]", "cmove at 0x%x" % vma)

    def test_ud2_fails(self):
        vma = self.export_vma("SetClipRect32")

        def patch(d):
            at = self.file_offset_of_vma(vma)
            d[at:at + 2] = b"\x0f\x0b"
        self.assertFailsWith(self.check_patched(patch), "[rule 6]", "ud2 at 0x%x" % vma)

    # rule 7 ------------------------------------------------------------------------------------

    def test_tls_directory_fails(self):
        def patch(d):
            struct.pack_into("<II", d, self.image.directory_offset(check_image.DIR_TLS),
                             self.image.sections[0]["va"], 24)
        self.assertFailsWith(self.check_patched(patch), "[rule 7]", "TLS")

    def test_no_entry_point_fails(self):
        def patch(d):
            struct.pack_into("<I", d, self.image.optional_offset + 16, 0)
        self.assertFailsWith(self.check_patched(patch), "[rule 7]", "AddressOfEntryPoint is 0")


if __name__ == "__main__":
    unittest.main()
