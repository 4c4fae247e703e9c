"""The POSIX program while a program named acadlt.exe runs for the same user: the silent runs
exit 3 and the dialog tells the user, and no file or registry value changes.

Usage: host_running_e2e.py PROGRAM
"""
import os
import shutil
import subprocess
import sys
import tempfile
import unittest

PROGRAM = sys.argv.pop(1)
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
from host_check import read, registry  # noqa: E402

PRODUCT = "Software\\Autodesk\\AutoCAD LT\\R12\\ACLT-7001:405"
CUI = ('\ufeff<?xml version="1.0" encoding="utf-8"?>\r\n<!-- ř € 한국어 -->\r\n'
       '<CustSection><Header><WorkspaceRoot><Workspace UID="WS_1"><Name>Kreslení</Name>'
       '</Workspace></WorkspaceRoot></Header></CustSection>\r\n')
MESSAGE = "AutoCAD LT je spuštěn. Ukončete ho a zkuste to znovu."


def snapshot(folder):
    files = {}
    for root, _, names in os.walk(folder):
        for name in names:
            path = os.path.join(root, name)
            files[os.path.relpath(path, folder)] = read(path)
    return files


class HostRunning(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.mkdtemp(prefix="nvx-host-")
        self.addCleanup(shutil.rmtree, self.dir, True)
        self.work = os.path.join(self.dir, "work")
        os.mkdir(self.work)
        self.reg = os.path.join(self.work, "registry.reg")
        cui = os.path.join(self.work, "acad.cui")
        with open(cui, "w", encoding="utf-8", newline="") as f:
            f.write(CUI)
        with open(self.reg, "w", encoding="utf-8") as f:
            f.write(registry(PRODUCT, "C:\\Users\\Jana\\Roaming", [("Jana", cui)]))
        self.env = dict(os.environ, NORVEX_EXPRESS_REGISTRY=self.reg, TMPDIR=self.work)

    def start_host(self):
        """A copy of sleep under the host's name, started against the same registry file."""
        path = os.path.join(tempfile.mkdtemp(dir=self.dir), "acadlt.exe")
        shutil.copy("/bin/sleep", path)
        host = subprocess.Popen([path, "3600"], env=self.env)
        self.addCleanup(host.wait)
        self.addCleanup(host.kill)
        return host

    def run_program(self, *args, answers=None):
        done = subprocess.run([PROGRAM, *args], env=self.env, capture_output=True, timeout=120,
                              input=answers.encode() if answers is not None else None)
        return done.returncode, done.stdout.decode()

    def test_silent_runs_change_nothing_while_the_host_runs(self):
        before = snapshot(self.work)
        host = self.start_host()
        for flag in ("-i", "-r", "-I", "-R"):
            self.assertEqual(self.run_program(flag), (3, ""), flag)
            self.assertEqual(snapshot(self.work), before, flag)
        host.kill()
        host.wait()
        # With the host ended the same run goes through, so the files above were open to it.
        self.assertEqual(self.run_program("-i"), (0, ""))
        self.assertNotEqual(snapshot(self.work), before)

    def test_the_dialog_tells_the_user_and_changes_nothing(self):
        before = snapshot(self.work)
        self.start_host()
        code, output = self.run_program(answers="1\n2\n3\n")
        self.assertEqual(code, 0)
        self.assertEqual(output.count("\nNorvex_Express\n" + MESSAGE + "\n"), 2)
        self.assertNotIn("Vortan Express byl", output)
        self.assertEqual(snapshot(self.work), before)


if __name__ == "__main__":
    unittest.main()
