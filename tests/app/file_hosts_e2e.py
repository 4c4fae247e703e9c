"""Silent add and remove on hosts that keep their menus in .cui files and .cuix packages.

Results are read back with zipfile and xml.etree, independently of the program's own code.
Usage: file_hosts_e2e.py PROGRAM
"""
import io
import os
import shutil
import stat
import subprocess
import sys
import tempfile
import unittest
import zipfile

PROGRAM = sys.argv.pop(1)
FIXTURES = os.environ.get("NVX_FIXTURES") or os.path.join(os.path.dirname(__file__), "..", "fixtures")
sys.path.insert(0, FIXTURES)
import cui_fixture  # noqa: E402
import cuix_fixture  # noqa: E402

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
from host_check import GROUP, TABLE, parse, reference_for, registry, shape, table_of  # noqa: E402

# Parts the edit writes; every other member must come back byte for byte.
EDITED_PARTS = set(cuix_fixture.PART_NAMES)


def read(path):
    with open(path, "rb") as f:
        return f.read()


def package_parts(path):
    """Member names in order and their bytes, read with zipfile (which checks every CRC)."""
    with zipfile.ZipFile(path) as z:
        assert z.testzip() is None
        return [(i.filename, z.read(i)) for i in z.infolist()]


def part(members, name):
    return parse(dict(members)[name])


class FileHosts(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.mkdtemp(prefix="nvx-files-")
        self.addCleanup(shutil.rmtree, self.dir, True)
        self.reg = os.path.join(self.dir, "registry.reg")
        self.env = dict(os.environ, NORVEX_EXPRESS_REGISTRY=self.reg, TMPDIR=self.dir,
                        NVX_ROAMING=os.path.join(self.dir, "Roaming"))

    def run_program(self, flag):
        done = subprocess.run([PROGRAM, flag], env=self.env, capture_output=True, timeout=120)
        self.assertEqual(done.stdout, b"")
        return done.returncode

    def write_registry(self, product, roaming, profiles):
        with open(self.reg, "w", encoding="utf-8") as f:
            f.write(registry(product, roaming, profiles))

    def add_on_entries(self, root):
        """Per named workspace: the add-on's entries, checked for their fixed attributes."""
        result = []
        for workspace in root.iter("Workspace"):
            if workspace.find("Name") is None or not workspace.find("Name").text:
                continue
            entries = [e for e in workspace.iter("WSToolbar") if e.get("MenuGroup").upper() == GROUP]
            result.append(entries)
        return result

    def check_added(self, root, stamp, previous_uids):
        """Six entries in table order in every named workspace; returns their UID numbers."""
        numbers = []
        for entries in self.add_on_entries(root):
            self.assertEqual(table_of(entries), TABLE)
            for e in entries:
                self.assertEqual((e.get("Display"), e.get("ToolbarOrient"), e.get("rows"),
                                  e.get("dockrow"), e.get("dockcolumn")), ("1", "floating", "1", "0", "0"))
                self.assertEqual([(c.tag, dict(c.attrib)) for c in e], [stamp])
                numbers.append(int(e.get("UID")[len("WSTU_"):]))
        others = [int(e.get("UID")[5:]) for e in root.iter("WSToolbar")
                  if e.get("MenuGroup").upper() != GROUP and e.get("UID", "").startswith("WSTU_")]
        self.assertGreater(len(numbers), 6)
        self.assertGreater(min(numbers), max(previous_uids + others, default=0))
        self.assertEqual(len(set(numbers)), len(numbers))
        return numbers

    def references(self, root):
        return [e.text for e in root.iter("PartialMenuFile") if e.text]

    def test_package_hosts_add_twice_and_remove_twice(self):
        modern = ("ModifiedRev", {"MajorVersion": "18", "MinorVersion": "0", "UserVersion": "1"})
        for release in ("R18.0", "R20.1"):
            with self.subTest(release=release):
                self.setUp()
                roaming = os.path.join(self.dir, "Roaming", "ŽLUTÝ Kůň & Co") + "/"
                os.makedirs(os.path.join(self.dir, "Roaming", "cs-CZ"))
                files = [os.path.join(self.dir, "Roaming", "cs-CZ", "hostlt.CUIX"),
                         os.path.join(self.dir, "Výkresy.cuix"), os.path.join(self.dir, "third.cuix")]
                for seed, path in enumerate(files, 1):
                    cuix_fixture.write_package(path, seed=seed, scale=2)
                originals = [read(p) for p in files]
                self.write_registry(
                    "Software\\Norvex Test\\Host LT\\%s\\HOSTLT-8001:405" % release, roaming,
                    [("<<Unnamed Profile>>", "%NVX_ROAMING%/cs-CZ/hostlt"),
                     ("Výkresy", files[1]), ("Third", files[2])])
                expected = reference_for(roaming, ".CUIX")

                for _ in range(2):
                    uids = []
                    self.assertEqual(self.run_program("-i"), 0)
                    for path, original in zip(files, originals):
                        members = package_parts(path)
                        before = package_parts(io.BytesIO(original))
                        self.assertEqual([n for n, _ in members], [n for n, _ in before])
                        for (name, data), (_, old) in zip(members, before):
                            if name not in EDITED_PARTS:
                                self.assertEqual(data, old, name)
                        self.assertEqual(self.references(part(members, "Header.cui")), [expected])
                        # Identifiers continue from profile to profile.
                        uids = self.check_added(part(members, "WorkspaceRoot.cui"), modern, uids)
                        self.assertEqual(read(path + ".norvex-express.bak"), original)

                for _ in range(2):
                    self.assertEqual(self.run_program("-r"), 0)
                    for path, original in zip(files, originals):
                        members = package_parts(path)
                        before = package_parts(io.BytesIO(original))
                        self.assertEqual([n for n, _ in members], [n for n, _ in before])
                        for (name, data), (_, old) in zip(members, before):
                            if name in EDITED_PARTS:
                                self.assertEqual(shape(parse(data)), shape(parse(old)), name)
                            else:
                                self.assertEqual(data, old, name)
                        self.assertEqual(read(path + ".norvex-express.bak"), original)

    def test_plain_file_host_add_twice_and_remove_twice(self):
        old = ("Revision", {"MajorVersion": "16", "MinorVersion": "2", "UserVersion": "1"})
        roaming = "C:\\Users\\Jana\\AppData\\Roaming\\Host & Co\\"
        files = [os.path.join(self.dir, "Roaming", "main.CUI"), os.path.join(self.dir, "other.cui")]
        os.makedirs(os.path.dirname(files[0]))
        texts = [cui_fixture.make_cui(seed=4, workspaces=3, bom=True, crlf=True),
                 cui_fixture.make_cui(seed=5, workspaces=4)]
        for path, text in zip(files, texts):
            with open(path, "wb") as f:
                f.write(text)
        self.write_registry("Software\\Norvex Test\\Host LT\\R12\\HOSTLT-7001:405", roaming,
                            [("A", "%NVX_ROAMING%/main"), ("B", files[1])])
        for _ in range(2):
            uids = []
            self.assertEqual(self.run_program("-i"), 0)
            for path, text in zip(files, texts):
                root = parse(read(path))
                self.assertEqual(self.references(root)[-1], reference_for(roaming, ".CUI"))
                self.assertEqual(len(self.references(root)), len(self.references(parse(text))) + 1)
                uids = self.check_added(root, old, uids)
        for _ in range(2):
            self.assertEqual(self.run_program("-r"), 0)
            for path, text in zip(files, texts):
                self.assertEqual(shape(parse(read(path))), shape(parse(text)))
                self.assertEqual(read(path + ".norvex-express.bak"), text)

    def test_failing_profiles_are_left_as_they_were(self):
        good = os.path.join(self.dir, "good.cuix")
        cuix_fixture.write_package(good, seed=9)
        cases = cuix_fixture.corrupt_cases()
        failing = {"missing": None, "not_a_zip": cases["not_a_zip"],
                   "malformed": cases["malformed_known_part"]}
        members = cuix_fixture.package_members(seed=10)
        cuix_fixture.named(members, "WorkspaceRoot.cui").data = (
            b'<?xml version="1.0"?>\r\n<WorkspaceRoot><Workspace><Other /></Workspace></WorkspaceRoot>')
        failing["unnamed"] = cuix_fixture.zip_bytes(members)
        failing["read_only"] = cuix_fixture.zip_bytes(cuix_fixture.package_members(seed=11))
        profiles = [("Good", good)]
        for name, data in failing.items():
            path = os.path.join(self.dir, name + ".cuix")
            if data is not None:
                with open(path, "wb") as f:
                    f.write(data)
            profiles.append((name, path))
        # The platform layer treats a file without write permission as read-only, whoever runs.
        os.chmod(os.path.join(self.dir, "read_only.cuix"), stat.S_IRUSR | stat.S_IRGRP)
        self.write_registry("Software\\Norvex Test\\Host LT\\R20.0\\HOSTLT-9001:405", "C:\\R",
                            profiles)
        for flag in ("-i", "-r"):
            self.assertEqual(self.run_program(flag), 1)
            for name, data in failing.items():
                path = os.path.join(self.dir, name + ".cuix")
                self.assertEqual(read(path) if data is not None else None, data, name)
                self.assertFalse(os.path.exists(path + ".norvex-express.bak"), name)
            self.assertEqual(sorted(os.listdir(self.dir)),
                             sorted(["registry.reg", "good.cuix", "good.cuix.norvex-express.bak"]
                                    + [n + ".cuix" for n, d in failing.items() if d is not None]))
        self.assertEqual(self.references(part(package_parts(good), "Header.cui")), [])


if __name__ == "__main__":
    unittest.main()
