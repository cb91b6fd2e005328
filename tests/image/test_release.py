#!/usr/bin/env python3
"""The release archive, made twice from the win32 build (QUILLREC_BUILD): the same bytes, what a
vendor needs under 8.3 names, CRLF text, checksums that verify, images that pass the checks."""

import glob
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
OBJDUMP = os.environ.get("QUILLREC_OBJDUMP") or check_image.default_objdump()
EXPECTED = {"QUILLREC.DLL", "QUILLREC.MAP", "CAPTURE/QUILLREC.DLL", "CAPTURE/QUILLREC.MAP", "QRDRIVER.EXE",
            "REPLAY16.EXE", "INSTALL.TXT", "JOBREF.TXT", "JOBS.TXT", "CHANGES.TXT", "SHA256.SUM", "SAMPLES/CHART.JOB"}


def make_release(out):
    subprocess.run([os.path.join(ROOT, "scripts", "release"), "--no-build", "--out", out, "--build-dir",
                    os.environ.get("QUILLREC_BUILD", os.path.join(ROOT, "build", "win32"))],
                   check=True, stdout=subprocess.DEVNULL)
    with open(glob.glob(os.path.join(out, "quillrec-*.zip"))[0], "rb") as f:
        return f.read(), open(os.path.join(out, "SHA256SUMS")).read().split()[0]


class ReleaseTest(unittest.TestCase):

    @classmethod
    def setUpClass(cls):
        cls.tmp = tempfile.TemporaryDirectory(prefix="quillrec-release-")
        cls.addClassCleanup(cls.tmp.cleanup)
        (cls.archive, cls.listed), (cls.again, _) = (make_release(os.path.join(cls.tmp.name, out))
                                                     for out in ("one", "two"))
        with zipfile.ZipFile(io.BytesIO(cls.archive)) as z:
            cls.entries = {name: z.read(name) for name in z.namelist()}

    def test_made_twice_the_same_and_its_checksum_beside_it(self):
        self.assertTrue(self.archive == self.again, "two archives of one build differ")
        self.assertEqual(self.listed, hashlib.sha256(self.archive).hexdigest())

    def test_contents_names_and_line_ends(self):
        self.assertLessEqual(EXPECTED, set(self.entries))
        for name, data in self.entries.items():
            for part in name.split("/"):
                self.assertRegex(part, r"^[A-Z0-9_-]{1,8}(\.[A-Z0-9_-]{1,3})?$")
            if re.search(r"\.(TXT|MAP|SUM|JOB)$", name):
                self.assertEqual(data.count(b"\n"), data.count(b"\r\n"), name)

    def test_checksums_cover_and_verify_every_file(self):
        listed = dict(reversed(line.split("  ", 1)) for line in self.entries["SHA256.SUM"].decode().splitlines())
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
            for symbol in pe.DIRECTORY_ENTRY_EXPORT.symbols:
                self.assertRegex(self.entries[folder + "QUILLREC.MAP"].decode(), r"(?m)^%08X  %08X  %s " % (
                    symbol.address, pe.OPTIONAL_HEADER.ImageBase + symbol.address, symbol.name.decode()))


if __name__ == "__main__":
    unittest.main()
