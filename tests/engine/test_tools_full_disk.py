"""The tools' outputs on a full disk: each tool runs with a file-size limit (SIGXFSZ ignored, so a
write past the limit fails as on a full volume). Every tool reports the failure with a non-zero
exit, the file that was there stays whole, and nothing is left beside it. Without the limit the
same command replaces the file."""

import os
import resource
import signal
import subprocess
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import report_fixture  # noqa: E402

REPORT = os.environ.get("QZS_REPORT_TOOL", "qzs-report")
KEYPAD = os.environ.get("QZS_KEYPAD_TOOL", "qzs-keypad")
EMF = os.environ.get("QZS_EMF_TOOL", "qzs-emf")
LIMIT = 64


def full_disk():
    signal.signal(signal.SIGXFSZ, signal.SIG_IGN)
    resource.setrlimit(resource.RLIMIT_FSIZE, (LIMIT, LIMIT))


class ToolsOnAFullDisk(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.TemporaryDirectory()
        self.addCleanup(self.dir.cleanup)
        self.out = os.path.join(self.dir.name, "out")
        os.mkdir(self.out)
        env = dict(os.environ, TMPDIR=self.dir.name, QT_QPA_PLATFORM="offscreen")
        self.env = env
        # The inputs, written without a limit.
        self.desc = os.path.join(self.dir.name, "page.desc")
        with open(self.desc, "w", encoding="utf-8") as f:
            f.write(report_fixture.SAMPLE_DESC)
        self.report = os.path.join(self.dir.name, "page.k3r")
        self.emf = os.path.join(self.dir.name, "page.emf")
        for args in (["build", self.desc, self.report], ["emf", self.report, self.emf]):
            r = subprocess.run([REPORT, *args], capture_output=True, env=env, timeout=120)
            self.assertEqual(r.returncode, 0, r.stderr)

    def run_tool(self, command, limited):
        return subprocess.run(command, input=b"", capture_output=True, env=self.env, timeout=120,
                              cwd=self.out, preexec_fn=full_disk if limited else None)

    def test_every_tool_keeps_the_old_file(self):
        def target(name):
            return os.path.join(self.out, name)

        rows = [
            ("qzs-keypad --save", "a.qzdat", [KEYPAD, "--save", target("a.qzdat")]),
            ("qzs-keypad --transfer-out", "dset-000.txt",
             [KEYPAD, "--transfer-out", self.out]),
            ("qzs-report build", "b.k3r", [REPORT, "build", self.desc, target("b.k3r")]),
            ("qzs-report png", "p.png", [REPORT, "png", self.report, target("p.png")]),
            ("qzs-report pdf", "p.pdf",
             [REPORT, "pdf", self.report, "--out", target("p.pdf"), "--overwrite"]),
            ("qzs-report k3v-write", "s.k3v", [REPORT, "k3v-write", target("s.k3v"), "--sample", "2"]),
            ("qzs-emf png", "e.png", [EMF, "png", self.emf, target("e.png")]),
        ]
        for name, kept, command in rows:
            with self.subTest(name):
                for entry in os.listdir(self.out):
                    os.remove(os.path.join(self.out, entry))
                with open(target(kept), "wb") as f:
                    f.write(b"the old file")
                r = self.run_tool(command, limited=True)
                self.assertNotEqual(r.returncode, 0, r.stdout)
                with open(target(kept), "rb") as f:
                    self.assertEqual(f.read(), b"the old file")
                self.assertEqual(os.listdir(self.out), [kept])
                r = self.run_tool(command, limited=False)
                self.assertEqual(r.returncode, 0, r.stderr)
                with open(target(kept), "rb") as f:
                    self.assertNotEqual(f.read(), b"the old file")


if __name__ == "__main__":
    unittest.main()
