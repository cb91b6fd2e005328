#!/usr/bin/env python3
"""The image checker must reject images that a Windows 95-family loader or the driver's thunk
would mishandle. Each test patches a copy of the built DLL (QUILLREC_DLL) so that it breaks exactly
one rule, and requires the checker to fail naming that rule and the place that is wrong.

Run: QUILLREC_DLL=build/win32/QUILLREC.dll /usr/bin/python3 tests/image/test_check_image.py
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
        cls.pe, _ = check_image.load(cls.good)
        cls.base = cls.pe.OPTIONAL_HEADER.ImageBase
        cls.exports = {check_image.text(s.name): s for s in cls.pe.DIRECTORY_ENTRY_EXPORT.symbols}
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

    def field(self, header, name):
        """File offset of a header field, for patching it."""
        return getattr(self.pe, header).get_field_absolute_offset(name)

    def export_vma(self, name):
        return self.base + self.exports[name].address

    def file_offset_of_vma(self, vma):
        return self.pe.get_offset_from_rva(vma - self.base)

    def returns_of(self, export_name):
        insns, order = check_image.disassemble(DLL, OBJDUMP)
        walker = check_image.make_walker(self.pe, check_image.PROFILES["shipped"], insns, order,
                                         set())
        rets, problems = walker.walk(self.export_vma(export_name))
        self.assertEqual(problems, [])
        return sorted(addr for addr, count, via in rets if via is None)

    def import_named(self, dll_name):
        for entry in self.pe.DIRECTORY_ENTRY_IMPORT:
            if check_image.text(entry.dll).lower() == dll_name.lower():
                return entry
        self.fail("the good image imports nothing from %s" % dll_name)

    # the good image ----------------------------------------------------------------------------

    def test_good_image_passes(self):
        rc, output = self.run_checker(DLL)
        self.assertEqual(rc, 0, output)
        self.assertEqual(len(output.splitlines()), 1, output)
        self.assertTrue(output.startswith("image ok: "), output)

    # rule 1 ------------------------------------------------------------------------------------

    def test_other_machine_fails(self):
        def patch(d):
            struct.pack_into("<H", d, self.field("FILE_HEADER", "Machine"), 0x8664)
        self.assertFailsWith(self.check_patched(patch), "[rule 1]", "0x8664", "0x14c")

    def test_missing_dll_flag_fails(self):
        def patch(d):
            struct.pack_into("<H", d, self.field("FILE_HEADER", "Characteristics"),
                             self.pe.FILE_HEADER.Characteristics & ~check_image.IMAGE_FILE_DLL)
        self.assertFailsWith(self.check_patched(patch), "[rule 1]", "IMAGE_FILE_DLL")

    # rule 2 ------------------------------------------------------------------------------------

    def test_renamed_export_fails(self):
        def patch(d):
            d[self.exports["Output32"].name_offset + 5] = ord("X")          # "OutpuX32"
        result = self.check_patched(patch)
        self.assertFailsWith(result, "[rule 2]", "Output32", "missing")
        self.assertFailsWith(result, "[rule 2]", "OutpuX32", "unexpected")

    def test_decorated_export_name_fails(self):
        # GetEmfFilePath32 has room for the decorated form of another export's name.
        def patch(d):
            at = self.exports["GetEmfFilePath32"].name_offset
            d[at:at + 16] = b"_Output32@60".ljust(16, b"\0")
        self.assertFailsWith(self.check_patched(patch), "[rule 2]", "'_Output32@60'",
                             "decorated")

    def test_ordinal_base_one_fails(self):
        def patch(d):
            directory = self.pe.DIRECTORY_ENTRY_EXPORT.struct
            struct.pack_into("<I", d, directory.get_field_absolute_offset("Base"), 1)
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
        name_rva = self.import_named("KERNEL32.dll").struct.Name

        def patch(d):
            at = self.pe.get_offset_from_rva(name_rva)
            d[at:at + 12] = b"MSVCRT.dll\0\0"
        self.assertFailsWith(self.check_patched(patch), "[rule 4]", "MSVCRT.dll")

    def test_renamed_import_fails(self):
        first = self.import_named("GDI32.dll").imports[0]
        rest = check_image.text(first.name)[1:]
        # pefile passes over a name with characters it finds invalid: that must not hide it.
        for letter, expected in (("Q", "GDI32.dll!Q%s is not on the allowed list" % rest),
                                 ("-", "1 import(s) of GDI32.dll have no readable name")):
            with self.subTest(letter=letter):
                def patch(d):
                    d[first.name_offset] = ord(letter)
                self.assertFailsWith(self.check_patched(patch), "[rule 4]", expected)

    def test_import_by_ordinal_fails(self):
        first = self.import_named("KERNEL32.dll").imports[0]

        def patch(d):
            struct.pack_into("<I", d, first.struct_table.get_file_offset(), 0x80000000 | 7)
        self.assertFailsWith(self.check_patched(patch), "[rule 4]", "by ordinal 7")

    def test_profile_decides_the_allowed_imports(self):
        kernel_only = {"KERNEL32.dll": check_image.PROFILES["shipped"]["KERNEL32.dll"]}
        failures, _ = check_image.check(DLL, OBJDUMP, kernel_only)
        self.assertIn("expected only KERNEL32.dll", "\n".join(failures))

    # rule 5 ------------------------------------------------------------------------------------

    def test_subsystem_version_five_fails(self):
        def patch(d):
            struct.pack_into("<HH", d, self.field("OPTIONAL_HEADER", "MajorSubsystemVersion"),
                             5, 0)
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
            tls = self.pe.OPTIONAL_HEADER.DATA_DIRECTORY[check_image.DIR_TLS]
            struct.pack_into("<II", d, tls.get_file_offset(), self.pe.sections[0].VirtualAddress,
                             24)
        self.assertFailsWith(self.check_patched(patch), "[rule 7]", "TLS")

    def test_no_entry_point_fails(self):
        def patch(d):
            struct.pack_into("<I", d, self.field("OPTIONAL_HEADER", "AddressOfEntryPoint"), 0)
        self.assertFailsWith(self.check_patched(patch), "[rule 7]", "AddressOfEntryPoint is 0")

    # rule 8 ------------------------------------------------------------------------------------

    def test_image_past_its_size_fails(self):
        def patch(d):
            d.extend(bytes(check_image.SIZE_LIMITS["shipped"] + 1 - len(d)))
        self.assertFailsWith(self.check_patched(patch), "[rule 8]", "at most %d"
                             % check_image.SIZE_LIMITS["shipped"])

    # rule 9 ------------------------------------------------------------------------------------

    def test_wrong_checksum_fails(self):
        def patch(d):
            struct.pack_into("<I", d, self.field("OPTIONAL_HEADER", "CheckSum"),
                             self.pe.OPTIONAL_HEADER.CheckSum ^ 1)
        self.assertFailsWith(self.check_patched(patch), "[rule 9]", "PE checksum")


if __name__ == "__main__":
    unittest.main()
