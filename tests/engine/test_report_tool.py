"""qzs-report against report files written independently from the file tables: build gives them
byte for byte, show gives back the description, round trips change nothing, and errors exit
with their codes before any file is touched."""

import os
import struct
import subprocess
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import report_fixture  # noqa: E402

TOOL = os.environ.get("QZS_REPORT_TOOL", "qzs-report")


def run(*args):
    return subprocess.run([TOOL, *args], capture_output=True, timeout=60)


class ReportTool(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.TemporaryDirectory()
        self.addCleanup(self.dir.cleanup)

    def path(self, name):
        return os.path.join(self.dir.name, name)

    def write(self, name, data):
        with open(self.path(name), "wb" if isinstance(data, bytes) else "w",
                  **({} if isinstance(data, bytes) else {"encoding": "utf-8"})) as f:
            f.write(data)
        return self.path(name)

    def read(self, name):
        with open(self.path(name), "rb") as f:
            return f.read()

    def test_build_show_and_round_trips_match_the_tables(self):
        cases = [("sample", report_fixture.SAMPLE, report_fixture.SAMPLE_DESC),
                 ("landscape", report_fixture.LANDSCAPE, report_fixture.LANDSCAPE_DESC)]
        for name, report, desc in cases:
            with self.subTest(name):
                expected = report_fixture.report_file(report)
                fixture = self.write(name + ".kp", expected)
                desc_path = self.write(name + ".desc", desc)
                built = self.path(name + "-built.kp")
                r = run("build", desc_path, built)
                self.assertEqual(r.returncode, 0, r.stderr)
                self.assertEqual(self.read(name + "-built.kp"), expected)
                shown = run("show", fixture)
                self.assertEqual(shown.returncode, 0, shown.stderr)
                self.assertEqual(shown.stdout.decode("utf-8"), desc)
                again = self.write(name + "-again.desc", shown.stdout)
                self.assertEqual(run("build", again, self.path("again.kp")).returncode, 0)
                self.assertEqual(self.read("again.kp"), expected)

    def test_cpl_record_5008_loads_as_cpl(self):
        fixture = self.write("l.kp", report_fixture.report_file(report_fixture.LANDSCAPE))
        out = run("show", fixture).stdout.decode()
        self.assertIn("cpi=10 cpl=3", out.splitlines()[0])

    def test_keep_refuses_an_existing_file_and_leaves_it(self):
        desc = self.write("s.desc", report_fixture.SAMPLE_DESC)
        old = self.write("old.kp", b"old contents")
        r = run("build", desc, old, "--keep")
        self.assertEqual(r.returncode, 1)
        self.assertEqual(r.stderr.decode().strip(), "error -113 Save")
        self.assertEqual(self.read("old.kp"), b"old contents")
        self.assertEqual(sorted(os.listdir(self.dir.name)), ["old.kp", "s.desc"])
        r = run("build", desc, self.path("new.kp"), "--keep")
        self.assertEqual(r.returncode, 0, r.stderr)

    def test_description_errors_exit_2_with_the_line_and_touch_nothing(self):
        head = "report paper=9 orientation=1 unit=1 cpi=1 cpl=1\n"
        cases = [
            ("no report line", "layer 1 visible=1 zorder=1\n", None),
            ("paper 256", "report paper=256 orientation=1 unit=1 cpi=1 cpl=1\n", 1),
            ("unit 4", "report paper=9 orientation=1 unit=4 cpi=1 cpl=1\n", 1),
            ("unknown line", head + "circle C layer=1 rect=0,0,1,1\n", 2),
            ("bad rect", head + "group G layer=1 rect=0,0,1\n", 2),
            ("missing field", head + "line L layer=1 rect=0,0,1,1 width=1\n", 2),
            ("bad colour", head + "line L layer=1 rect=0,0,1,1 width=1 color=12345G\n", 2),
            ("unterminated quote", head + 'text T layer=1 rect=0,0,1,1 text="x\n', 2),
            ("orders twice", head + "layer 1 visible=1 zorder=2\n", 2),
            ("unknown group", head + "box B layer=1 in=G rect=0,0,1,1 width=0 color=000000 "
                                     "fill=none\n", 2),
            ("name taken", head + "group G layer=1 rect=0,0,1,1\ngroup G layer=1 rect=0,0,1,1\n",
             3),
        ]
        for name, text, line in cases:
            with self.subTest(name):
                desc = self.write("bad.desc", text)
                out = self.path("never.kp")
                r = run("build", desc, out)
                self.assertEqual(r.returncode, 2, r.stderr)
                if line is not None:
                    self.assertIn("bad.desc:%d:" % line, r.stderr.decode())
                self.assertFalse(os.path.exists(out))

    def test_usage_and_engine_errors(self):
        self.assertEqual(run().returncode, 2)
        self.assertEqual(run("show").returncode, 2)
        self.assertEqual(run("png", "a", "b", "--dpi", "x").returncode, 2)
        r = run("show", self.path("missing.kp"))
        self.assertEqual(r.returncode, 1)
        self.assertEqual(r.stderr.decode().strip(), "error -114 OpenReport")
        # A report element that holds the description alone is no usable report.
        only = report_fixture.stream("KPREPORT30", report_fixture.tagged(
            -1, report_fixture.description()))
        r = run("show", self.write("empty.kp", only))
        self.assertEqual((r.returncode, r.stderr.decode().strip()), (1, "error -19999 OpenReport"))

    def test_png_has_the_page_size_and_emf_records_the_marks(self):
        fixture = self.write("s.kp", report_fixture.report_file(report_fixture.SAMPLE))
        r = run("png", fixture, self.path("s.png"), "--dpi", "50")
        self.assertEqual(r.returncode, 0, r.stderr)
        png = self.read("s.png")
        width, height = struct.unpack(">II", png[16:24])
        self.assertEqual((width, height), (round(2100 * 50 / 254), round(2970 * 50 / 254)))
        r = run("emf", fixture, self.path("s.emf"), "--flags", "0x08002001")
        self.assertEqual(r.returncode, 0, r.stderr)
        listing = r.stdout.decode().splitlines()
        heads = [line.split("head=")[1][:16] for line in listing if " GDICOMMENT " in line]
        # Layer marks for the orders 5 to 1 (layer 4 holds order 5, layer 5 order 4; the hidden
        # layer is marked but draws nothing), then begin and end marks around each object drawn:
        # the title, the rule, the group around its box; the hidden text is left out. The text
        # control's own comment stays between the title's marks.
        marks = [h for h in heads if h[:8] in ("02000000", "00400000", "00800000")]
        self.assertEqual(marks[:5], ["020000000000%02x00" % n for n in (4, 5, 3, 2, 1)])
        kinds = [(h[:8], h) for h in marks[5:]]
        self.assertEqual([k for k, _ in kinds],
                         ["00400000", "00800000", "00400000", "00800000", "00400000", "00400000",
                          "00800000", "00800000"])
        self.assertTrue(self.read("s.emf").startswith(struct.pack("<I", 1)))

    def test_emf_frame_is_the_paper_whatever_the_resolution(self):
        # The paper in hundredths of a millimetre, at resolutions whose pixels do not divide it;
        # a landscape page lies across.
        cases = [(report_fixture.SAMPLE, (0, 0, 21000, 29700)),
                 (report_fixture.LANDSCAPE, (0, 0, 42000, 29700))]
        for report, expected in cases:
            fixture = self.write("s.kp", report_fixture.report_file(report))
            for dpi in ("100", "300", "72"):
                r = run("emf", fixture, self.path("f.emf"), "--dpi", dpi)
                self.assertEqual(r.returncode, 0, r.stderr)
                frame = struct.unpack("<4i", self.read("f.emf")[24:40])
                self.assertEqual(frame, expected, dpi)


if __name__ == "__main__":
    unittest.main()
