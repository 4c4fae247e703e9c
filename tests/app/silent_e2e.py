"""End-to-end runs of the silent add and remove on a .cui host whose file holds text of every
kind, beside a broken and a missing profile. The host scenarios of every build are in
tests/support/host_scenarios.py."""
import os
import subprocess
import sys
import tempfile
import unittest
import xml.etree.ElementTree as ET

PROGRAM = sys.argv.pop(1)
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
from host_check import registry_keys  # noqa: E402

CUI = """\ufeff<?xml version="1.0" encoding="utf-8"?>\r
<!-- Jana's menus: ř á í ² Ø € 한국어 -->\r
<CustSection xmlns:xsi="http://www.w3.org/2001/XMLSchema-instance">\r
  <Header><WorkspaceRoot>\r
    <Workspace UID="WS_1"><Name>Kreslení</Name><WSToolbarRoot>\r
      <WSToolbar MenuGroup="ACLT" pUID="TB_1" UID="WSTU_41" /></WSToolbarRoot></Workspace>\r
    <Workspace UID="WS_2"><Name>3D</Name></Workspace>\r
  </WorkspaceRoot></Header>\r
</CustSection>\r
"""


class SilentRuns(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.mkdtemp(prefix="nvx-e2e-")
        self.reg = os.path.join(self.dir, "registry.reg")

    def run_program(self, *args):
        env = dict(os.environ, NORVEX_EXPRESS_REGISTRY=self.reg, TMPDIR=self.dir)
        done = subprocess.run([PROGRAM, *args], env=env, capture_output=True, timeout=60)
        self.assertEqual(done.stdout, b"")
        return done.returncode

    def test_cui_host_with_one_failing_profile(self):
        product = "Software\\Autodesk\\AutoCAD LT\\R12\\ACLT-7001:405"
        good = os.path.join(self.dir, "acad")
        with open(good + ".CUI", "w", encoding="utf-8", newline="") as f:
            f.write(CUI)
        broken = os.path.join(self.dir, "broken.cui")
        with open(broken, "wb") as f:
            f.write(b"<CustSection><Header>")
        os.environ["NVX_E2E_DIR"] = self.dir
        profiles = [("Good", {"General Configuration": [("MenuFile", "%NVX_E2E_DIR%/acad")]}),
                    ("Broken", {"General Configuration": [("MenuFile", broken)]}),
                    ("Missing", {"General Configuration": [("MenuFile", self.dir + "/none.cui")]})]
        with open(self.reg, "w", encoding="utf-8") as f:
            f.write(registry_keys(product, "C:\\Users\\Jana\\Roaming", profiles, platform=None))
        self.assertEqual(self.run_program("-i"), 1)
        with open(broken, "rb") as f:
            self.assertEqual(f.read(), b"<CustSection><Header>")
        saved = open(good + ".CUI", "rb").read()
        self.assertTrue(saved.startswith(b"\xef\xbb\xbf"))
        self.assertIn("ř á í ² Ø € 한국어".encode(), saved)
        self.assertEqual(open(good + ".CUI.norvex-express.bak", encoding="utf-8", newline="").read(), CUI)
        root = ET.fromstring(saved[3:].decode())
        refs = [e.text for e in root.iter("PartialMenuFile")]
        self.assertEqual(refs, ["c:\\users\\jana\\roaming\\support\\norvex_express.CUI"])
        for workspace in root.iter("Workspace"):
            ours = [t for t in workspace.iter("WSToolbar") if t.get("MenuGroup") == "NORVEX_EXPRESS"]
            self.assertEqual(len(ours), 6)
        uids = sorted(int(t.get("UID")[5:]) for t in root.iter("WSToolbar")
                      if t.get("MenuGroup") == "NORVEX_EXPRESS")
        self.assertEqual(uids, list(range(42, 54)))
        self.assertEqual(self.run_program("-r"), 1)
        root = ET.fromstring(open(good + ".CUI", "rb").read()[3:].decode())
        self.assertEqual(list(root.iter("PartialMenuFile")), [])
        self.assertEqual([t.get("MenuGroup") for t in root.iter("WSToolbar")], ["ACLT"])
        self.assertEqual(open(good + ".CUI.norvex-express.bak", encoding="utf-8", newline="").read(), CUI)


if __name__ == "__main__":
    unittest.main()
