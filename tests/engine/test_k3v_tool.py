"""qzs-report k3v-write as a shell runs it: sample pages and report files written independently
become saved report files that the independent reader takes apart stream by stream; the printed
summary agrees with the file; no temporary file is left; usage and engine errors exit 2 and 1."""

import os
import subprocess
import sys
import tempfile
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
import report_fixture  # noqa: E402

TOOL = os.environ.get("QZS_REPORT_TOOL", "qzs-report")
PAPER = " 3014:0 3015:1 3016:9 3017:2100 3018:2970"


class K3vTool(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.TemporaryDirectory()
        self.addCleanup(self.dir.cleanup)
        self.tmp = os.path.join(self.dir.name, "tmp")
        os.mkdir(self.tmp)

    def path(self, name):
        return os.path.join(self.dir.name, name)

    def run_tool(self, *args):
        env = dict(os.environ, TMPDIR=self.tmp)
        r = subprocess.run([TOOL, "k3v-write", *args], capture_output=True, timeout=120, env=env)
        self.assertEqual(os.listdir(self.tmp), [], "temporary files outlived the tool")
        return r

    def dump(self, path):
        r = subprocess.run([sys.executable, os.path.join(HERE, "read_k3v.py"), path],
                           capture_output=True, timeout=60, check=True)
        return r.stdout.decode("utf-8").splitlines()

    # The streams of each page: its record, then its own streams, all with its suffix.
    def pages(self, lines):
        pages = []
        for line in lines[1:]:
            name = line.split(" ", 1)[0]
            if name.startswith("KPFILE30PAGE-"):
                pages.append([line])
            elif not name.startswith("KPFILE30"):
                self.assertTrue(pages, line)
                self.assertTrue(name.endswith("-%d" % len(pages)), line)
                pages[-1].append(line)
        return pages

    def test_sample_pages(self):
        out = self.path("three")
        r = self.run_tool(out, "--sample", "3")
        self.assertEqual(r.returncode, 0, r.stderr)
        self.assertEqual(r.stdout.decode(), out + ".k3v: 3 pages, 1 fonts\n")
        lines = self.dump(out + ".k3v")
        self.assertRegex(lines[0], r"^KPFILE30-1 3002: 3008: 3009: 3007: 3004: 3005:0 3006:0 "
                                   r"3003: 3038:0 3044:0 3010:0 3011:date$")
        pages = self.pages(lines)
        self.assertEqual(len(pages), 3)
        for n, page in enumerate(pages, 1):
            self.assertEqual(page[0], "KPFILE30PAGE-%d 3012:0 3013:0 3036:%dページ" % (n, n) + PAPER)
            self.assertTrue(page[1].startswith("KPREPORT30-%d " % n), page[1])
            # The report, its layers, three object lists and three objects at least.
            self.assertGreaterEqual(len(page), 8, page)
        self.assertRegex(lines[-1], r"^KPFILE30FONT-1 3100:EmbedFont0000 3101:\d+ bytes$")
        size = int(lines[-1].split(":")[-1].split()[0])
        self.assertLess(size, 1000000, "a subset, not the whole font")

    def test_report_files_and_password(self):
        files = []
        for name, report in (("sample", report_fixture.SAMPLE),
                             ("landscape", report_fixture.LANDSCAPE)):
            files.append(self.path(name + ".k30"))
            with open(files[-1], "wb") as f:
                f.write(report_fixture.report_file(report))
        out = self.path("reports.k3v")
        r = self.run_tool(out, *files, "--password", "秘密")
        self.assertEqual(r.returncode, 0, r.stderr)
        summary = r.stdout.decode()
        self.assertTrue(summary.startswith(out + ": 2 pages, "), summary)
        lines = self.dump(out)
        self.assertIn(" 3004:秘密 3005:-1 ", lines[0])
        pages = self.pages(lines)
        self.assertEqual(len(pages), 2)
        self.assertEqual(pages[0][0], "KPFILE30PAGE-1 3012:0 3013:0 3036:1ページ" + PAPER)
        self.assertEqual(pages[1][0], "KPFILE30PAGE-2 3012:0 3013:0 3036:2ページ"
                         " 3014:0 3015:2 3016:8 3017:2970 3018:4200")
        fonts = sum(line.count(" 3101:") for line in lines if line.startswith("KPFILE30FONT-1 "))
        self.assertGreaterEqual(fonts, 1)
        self.assertEqual(summary, "%s: 2 pages, %d fonts\n" % (out, fonts))

    def test_existing_output_is_replaced(self):
        out = self.path("again.k3v")
        with open(out, "wb") as f:
            f.write(b"old")
        r = self.run_tool(out, "--sample", "1")
        self.assertEqual(r.returncode, 0, r.stderr)
        self.assertEqual(len(self.pages(self.dump(out))), 1)

    def test_errors(self):
        cases = [
            ([], 2, None),
            ([self.path("x")], 2, None),
            ([self.path("x"), "--sample", "0"], 2, None),
            ([self.path("x"), "--sample", "two"], 2, None),
            ([self.path("x"), "--sample", "1", self.path("a.k30")], 2, None),
            ([self.path("x"), "--sample", "1", "--password"], 2, None),
            ([self.path("x"), "--sample", "1", "--bogus"], 2, None),
            ([self.path("missing/x"), "--sample", "1"], 1, "error -19004 FileCreate\n"),
            ([self.path("y"), self.path("absent.k30")], 1, None),
        ]
        for args, code, stderr in cases:
            with self.subTest(args=args):
                r = self.run_tool(*args)
                self.assertEqual(r.returncode, code, r.stderr)
                self.assertEqual(r.stdout, b"")
                if code == 2:
                    self.assertIn(b"usage", r.stderr)
                elif stderr is not None:
                    self.assertEqual(r.stderr.decode(), stderr)
                else:
                    self.assertRegex(r.stderr.decode(), r"^error -\d+ OpenReport\n$")
        self.assertFalse(os.path.exists(self.path("x.k3v")))


if __name__ == "__main__":
    unittest.main()
