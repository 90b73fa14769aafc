"""qzs-report k3v-write as a shell runs it: sample pages and report files written independently
become saved report files that the independent reader takes apart stream by stream; the printed
summary agrees with the file; no temporary file is left; usage and engine errors exit 2 and 1."""

import os
import struct
import subprocess
import sys
import tempfile
import unittest
import zlib

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


def read_png(path):
    """Width, height and rows of grey values (0-255) of an 8-bit RGB or RGBA PNG."""
    with open(path, "rb") as f:
        data = f.read()
    assert data[:8] == b"\x89PNG\r\n\x1a\n"
    pos, idat, width, height, kind = 8, b"", 0, 0, 0
    while pos < len(data):
        size, tag = struct.unpack(">I4s", data[pos:pos + 8])
        body = data[pos + 8:pos + 8 + size]
        if tag == b"IHDR":
            width, height, depth, kind = struct.unpack(">IIBB", body[:10])
            assert depth == 8 and kind in (2, 6), (depth, kind)
        elif tag == b"IDAT":
            idat += body
        pos += 12 + size
    bpp = 3 if kind == 2 else 4
    raw = zlib.decompress(idat)
    stride = width * bpp
    rows, prev = [], bytearray(stride)
    for y in range(height):
        filt = raw[y * (stride + 1)]
        line = bytearray(raw[y * (stride + 1) + 1:(y + 1) * (stride + 1)])
        for i in range(stride):
            a = line[i - bpp] if i >= bpp else 0
            b = prev[i]
            c = prev[i - bpp] if i >= bpp else 0
            if filt == 1:
                line[i] = (line[i] + a) & 255
            elif filt == 2:
                line[i] = (line[i] + b) & 255
            elif filt == 3:
                line[i] = (line[i] + (a + b) // 2) & 255
            elif filt == 4:
                pa, pb, pc = abs(b - c), abs(a - c), abs(a + b - 2 * c)
                line[i] = (line[i] + (a if pa <= pb and pa <= pc else b if pb <= pc else c)) & 255
        rows.append([(line[x * bpp] * 11 + line[x * bpp + 1] * 16 + line[x * bpp + 2] * 5) // 32
                     for x in range(width)])
        prev = line
    return width, height, rows


def dark_cells(rows):
    """Dark pixels per 8x8 cell."""
    h, w = len(rows), len(rows[0])
    return [sum(rows[y][x] < 128 for y in range(cy, cy + 8) for x in range(cx, cx + 8))
            for cy in range(0, h - 7, 8) for cx in range(0, w - 7, 8)]


def leftmost_dark(rows):
    return min(x for row in rows for x, v in enumerate(row) if v < 128)


class SavedFiles(unittest.TestCase):
    """Two sample files of three pages, one of them protected, in a folder of their own."""

    @classmethod
    def setUpClass(cls):
        cls.dir = tempfile.TemporaryDirectory()
        cls.tmp = os.path.join(cls.dir.name, "tmp")
        os.mkdir(cls.tmp)
        # Qt's runtime folder would otherwise be made below TMPDIR.
        cls.runtime = os.path.join(cls.dir.name, "runtime")
        os.mkdir(cls.runtime, 0o700)
        cls.sample = os.path.join(cls.dir.name, "sample.k3v")
        cls.locked = os.path.join(cls.dir.name, "locked.k3v")
        for out, extra in ((cls.sample, []), (cls.locked, ["--password", "秘密"])):
            subprocess.run([TOOL, "k3v-write", out, "--sample", "3", *extra], check=True,
                           capture_output=True, timeout=120)

    @classmethod
    def tearDownClass(cls):
        cls.dir.cleanup()


class K3vRender(SavedFiles):
    """k3v-render: a saved file's page through the viewer, headless, onto a PNG."""

    def render(self, *args):
        env = dict(os.environ, TMPDIR=self.tmp, XDG_RUNTIME_DIR=self.runtime)
        r = subprocess.run([TOOL, "k3v-render", *args], capture_output=True, timeout=120,
                           env=env)
        self.assertEqual(os.listdir(self.tmp), [], "temporary files outlived the tool")
        return r

    def png(self, name, *args, page="1", src=None):
        out = os.path.join(self.dir.name, name)
        r = self.render(src or self.sample, page, out, *args)
        self.assertEqual(r.returncode, 0, r.stderr)
        return r.stdout.decode(), read_png(out)

    def test_pages_sizes_and_offsets(self):
        text, (w, h, plain) = self.png("p1.png")
        self.assertEqual(text, "page 1/3: 794x1123\n")
        self.assertEqual((w, h), (794, 1123))
        text, (w, h, _) = self.png("p3.png", "--dpi", "48", page="3")
        self.assertEqual(text, "page 3/3: 397x561\n")
        # "10.00" mm to the right: the leftmost dark column moves 10 mm at 96 dpi.
        _, (_, _, moved) = self.png("moved.png", "--offset", "10.00,0")
        self.assertAlmostEqual(leftmost_dark(moved) - leftmost_dark(plain), 10 * 96 / 25.4,
                               delta=1.0)
        # Moved by a fraction of a pixel too, the text's edges may fall differently.
        self.assertLess(abs(sum(dark_cells(moved)) - sum(dark_cells(plain))),
                        sum(dark_cells(plain)) / 100)
        # Layer 2 (the text) left out of the print.
        _, (_, _, no_text) = self.png("135.png", "--layers", "135")
        self.assertLess(sum(dark_cells(no_text)), sum(dark_cells(plain)))

    def test_round_trip_and_the_embedded_font(self):
        _, (_, _, viewer) = self.png("viewer.png")
        # The same page, played from a second copy of the file: equal cell for cell.
        copy = os.path.join(self.dir.name, "copy.k3v")
        with open(self.sample, "rb") as f, open(copy, "wb") as g:
            g.write(f.read())
        _, (_, _, again) = self.png("again.png", src=copy)
        a, b = dark_cells(viewer), dark_cells(again)
        total = sum(a)
        self.assertGreater(total, 1000)
        self.assertLessEqual(sum(abs(x - y) for x, y in zip(a, b)), total / 200)
        # Without its fonts stream the file still opens and its text is drawn with the face the
        # system resolves the name to (here the same face the subset was taken from).
        with open(self.sample, "rb") as f:
            plain = zlib.decompress(f.read())
        name = "KPFILE30FONT".encode("utf-16le")
        self.assertEqual(plain.count(name), 1)
        cut = os.path.join(self.dir.name, "cut.k3v")
        with open(cut, "wb") as f:
            f.write(zlib.compress(plain.replace(name, "KPFILE30XXXX".encode("utf-16le"))))
        _, (_, _, fallback) = self.png("cut.png", src=cut)
        self.assertGreater(sum(dark_cells(fallback)), total / 2)

    def test_passwords_and_errors(self):
        text, _ = self.png("locked.png", "--password", "秘密", src=self.locked)
        self.assertEqual(text, "page 1/3: 794x1123\n")
        out = os.path.join(self.dir.name, "never.png")
        cases = [
            ([self.locked, "1", out], 1, "FileOpenViewer"),
            ([self.locked, "1", out, "--password", "違う"], 1, "FileOpenViewer"),
            ([self.sample, "4", out], 1, "ViewerPlayPage"),
            ([os.path.join(self.dir.name, "absent.k3v"), "1", out], 1, "FileOpen"),
            ([self.sample, "0", out], 2, None),
            ([self.sample, "1"], 2, None),
            ([self.sample, "1", out, "--layers", "16"], 2, None),
            ([self.sample, "1", out, "--layers", "11"], 2, None),
            ([self.sample, "1", out, "--offset", "10"], 2, None),
            ([self.sample, "1", out, "--offset", "x,1"], 2, None),
            ([self.sample, "1", out, "--dpi", "0"], 2, None),
            ([self.sample, "1", out, "--bogus"], 2, None),
        ]
        for args, code, member in cases:
            with self.subTest(args=args):
                r = self.render(*args)
                self.assertEqual(r.returncode, code, r.stderr)
                self.assertEqual(r.stdout, b"")
                if member is None:
                    self.assertIn(b"usage", r.stderr)
                else:
                    self.assertRegex(r.stderr.decode(), r"error -?\d+ " + member + r"\n$")
        self.assertFalse(os.path.exists(out))


class K3vView(SavedFiles):
    """k3v-view: the viewer's window over a saved file, grabbed once the page shows."""

    def view(self, *args, display=True):
        env = dict(os.environ, TMPDIR=self.tmp, XDG_RUNTIME_DIR=self.runtime)
        for name in ("DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"):
            env.pop(name, None)
        if display:
            env["QT_QPA_PLATFORM"] = "offscreen"
        r = subprocess.run([TOOL, "k3v-view", *args], capture_output=True, timeout=120, env=env)
        self.assertEqual(os.listdir(self.tmp), [], "temporary files outlived the tool")
        return r

    def test_screenshots_of_pages(self):
        shots = {}
        for page, src, extra in (("1", self.sample, []), ("3", self.sample, []),
                                 ("2", self.locked, ["--password", "秘密"])):
            with self.subTest(page=page, src=src):
                out = os.path.join(self.dir.name, f"view{page}.png")
                r = self.view(src, "--page", page, "--screenshot", out, *extra)
                self.assertEqual(r.returncode, 0, r.stderr)
                width, height, rows = read_png(out)
                self.assertEqual((width, height), (800, 600))
                shots[page] = rows
        # Another page shows other ink in the same window.
        self.assertNotEqual(dark_cells(shots["1"]), dark_cells(shots["3"]))

    def test_refusals(self):
        out = os.path.join(self.dir.name, "never.png")
        cases = [
            ((self.sample, "--screenshot", out), False, 2, "needs a display"),
            ((self.locked, "--screenshot", out, "--password", "違う"), True, 1,
             "FileOpenViewer"),
            ((self.sample, "--page", "4", "--screenshot", out), True, 1, "Page"),
            ((self.sample, "--page", "0"), True, 2, "usage"),
            ((self.sample, self.sample), True, 2, "usage"),
            ((), True, 2, "usage"),
        ]
        for args, display, code, text in cases:
            with self.subTest(args=args):
                r = self.view(*args, display=display)
                self.assertEqual(r.returncode, code, r.stderr)
                self.assertIn(text, r.stderr.decode())
        self.assertFalse(os.path.exists(out))


if __name__ == "__main__":
    unittest.main()
