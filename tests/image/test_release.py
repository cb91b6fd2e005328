#!/usr/bin/env python3
"""The release archive holds what a vendor needs, checks out, and is the same when made twice.

Run: QUILLREC_BUILD=build/win32 QUILLREC_OBJDUMP=i686-w64-mingw32-objdump /usr/bin/python3 \
     tests/image/test_release.py   (the win32 build with its images, twins and simulator made)
"""

import hashlib
import io
import os
import re
import subprocess
import sys
import tempfile
import unittest
import zipfile

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
import check_image  # noqa: E402

ROOT = os.path.dirname(os.path.dirname(HERE))
BUILD = os.environ.get("QUILLREC_BUILD", os.path.join(ROOT, "build", "win32"))
OBJDUMP = os.environ.get("QUILLREC_OBJDUMP") or check_image.default_objdump()
EXPECTED = {"QUILLREC.DLL", "QUILLREC.MAP", "CAPTURE/QUILLREC.DLL", "CAPTURE/QUILLREC.MAP", "QRDRIVER.EXE",
            "INSTALL.TXT", "JOBREF.TXT", "JOBS.TXT", "CHANGES.TXT", "SHA256.SUM"}
TEXT = re.compile(r"\.(TXT|MAP|SUM|JOB|PTS|PBM)$")


def make_release(out):
    subprocess.run([os.path.join(ROOT, "scripts", "release"), "--no-build", "--build-dir", BUILD, "--out", out],
                   check=True, stdout=subprocess.DEVNULL)
    with open(os.path.join(out, "quillrec-%s.zip" % version()), "rb") as f:
        return f.read()


def version():
    with open(os.path.join(BUILD, "CMakeCache.txt")) as f:
        return re.search(r"^CMAKE_PROJECT_VERSION:\w+=(.*)$", f.read(), re.M).group(1)


class ReleaseTest(unittest.TestCase):

    @classmethod
    def setUpClass(cls):
        cls.tmp = tempfile.TemporaryDirectory(prefix="quillrec-release-")
        cls.archive = make_release(os.path.join(cls.tmp.name, "one"))
        cls.again = make_release(os.path.join(cls.tmp.name, "two"))
        with zipfile.ZipFile(io.BytesIO(cls.archive)) as z:
            cls.entries = {name: z.read(name) for name in z.namelist()}

    @classmethod
    def tearDownClass(cls):
        cls.tmp.cleanup()

    def test_made_twice_the_same(self):
        self.assertEqual(hashlib.sha256(self.archive).digest(), hashlib.sha256(self.again).digest())
        with open(os.path.join(self.tmp.name, "one", "SHA256SUMS")) as f:
            self.assertEqual(f.read().split()[0], hashlib.sha256(self.archive).hexdigest())

    def test_holds_what_a_vendor_needs_in_short_names(self):
        self.assertLessEqual(EXPECTED, set(self.entries))
        self.assertTrue(any(name.startswith("SAMPLES/") for name in self.entries))
        for name in self.entries:
            for part in name.split("/"):
                self.assertRegex(part, r"^[A-Z0-9_-]{1,8}(\.[A-Z0-9_-]{1,3})?$")

    def test_text_has_crlf_line_ends(self):
        for name in filter(TEXT.search, self.entries):
            data = self.entries[name]
            self.assertEqual(data.count(b"\n"), data.count(b"\r\n"), name)

    def test_checksums_cover_and_verify_every_file(self):
        listed = {}
        for line in self.entries["SHA256.SUM"].decode("ascii").splitlines():
            digest, name = line.split("  ", 1)
            listed[name] = digest
        self.assertEqual(set(listed), set(self.entries) - {"SHA256.SUM"})
        for name, digest in listed.items():
            self.assertEqual(hashlib.sha256(self.entries[name]).hexdigest(), digest, name)

    def test_packed_images_pass_the_checks_and_their_maps_name_the_exports(self):
        for folder, profile in (("", "shipped"), ("CAPTURE/", "capture")):
            path = os.path.join(self.tmp.name, profile + ".dll")
            with open(path, "wb") as f:
                f.write(self.entries[folder + "QUILLREC.DLL"])
            failures, _ = check_image.check(path, OBJDUMP, check_image.PROFILES[profile],
                                            check_image.SIZE_LIMITS.get(profile))
            self.assertEqual(failures, [], profile)
            pe, _ = check_image.load(self.entries[folder + "QUILLREC.DLL"])
            symbols = self.entries[folder + "QUILLREC.MAP"].decode("ascii")
            for symbol in pe.DIRECTORY_ENTRY_EXPORT.symbols:
                self.assertRegex(symbols, r"(?m)^%08X  %08X  %s " % (
                    symbol.address, pe.OPTIONAL_HEADER.ImageBase + symbol.address, symbol.name.decode()))


if __name__ == "__main__":
    unittest.main()
