#!/usr/bin/env python3
"""The silent add and remove on hosts, as one table of scenarios run against the POSIX program
or a Windows build under Wine. Each scenario makes a host (registry and customization files),
runs the program and checks what every run leaves, reading the files back with zipfile and
xml.etree, independently of the program's own code.

    host_scenarios.py posix PROGRAM WORKDIR GROUP
    host_scenarios.py wine EXE WORKDIR GROUP     (with the environment of tests/wine/wine_env.sh)

GROUP is "files" (.cui and .cuix hosts) or "registry" (hosts of old releases, and hosts that
cannot be found). Paths in the table are Windows paths on drive C:; each scenario has a
folder of its own that stands for it. Prints a line a scenario; exits 1 at the first fault.
    host_scenarios.py KIND PROGRAM WORKDIR make|added|removed SCENARIO
makes the host of one scenario, or checks its files after runs of the caller's own.
"""
import io
import os
import re
import shutil
import stat
import subprocess
import sys
import zipfile

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "fixtures"))
import cui_fixture  # noqa: E402
import cuix_fixture  # noqa: E402
from host_check import (GROUP, TABLE, parse, read, records, reference_for, registry_keys,  # noqa: E402
                        shape, table_of)

ROAMING_VARIABLE = "C:\\Uživatelé\\Jana"  # %NVX_ROAMING%
PRODUCT = "Software\\Norvex Test\\Host LT\\%s\\HOSTLT-9001:405"
OLD_PRODUCT = "Software\\Norvex Test\\Host LT\\R10\\HOSTLT-4001:405"
STAMPS = {".cui": ("Revision", {"MajorVersion": "16", "MinorVersion": "2", "UserVersion": "1"}),
          ".cuix": ("ModifiedRev", {"MajorVersion": "18", "MinorVersion": "0", "UserVersion": "1"})}


class Host:
    """Where a scenario's drive C: is: a folder of its own below root."""

    def file(self, path):
        """Where a Windows path of drive C: is on this machine."""
        return os.path.join(self.root, path[3:].replace("\\", "/")) if path[:3] == "C:\\" else path


class Posix(Host):
    """The POSIX program over a registry file of its own per scenario."""

    def __init__(self, program, work):
        self.program, self.work = program, work

    def enter(self, name):
        self.root = self.temp_root = os.path.join(self.work, name, "c")
        self.reg = os.path.join(self.work, name, "registry.reg")

    def begin(self, name):
        shutil.rmtree(os.path.join(self.work, name), ignore_errors=True)
        self.enter(name)
        os.makedirs(os.path.join(self.root, "tmp"))

    def value(self, path):
        """A path as the program is to find it in the registry."""
        return self.file(path).replace("\\", "/")

    def set_registry(self, text):
        with open(self.reg, "w", encoding="utf-8") as f:
            f.write(text)

    def run(self, flag):
        env = dict(os.environ, NORVEX_EXPRESS_REGISTRY=self.reg, TMPDIR=self.root + "/tmp",
                   NVX_ROAMING=self.value(ROAMING_VARIABLE))
        done = subprocess.run([self.program, flag], env=env, capture_output=True, timeout=120)
        # A silent run prints nothing, unless it found nothing: then it says why, in one line.
        printed = records(done.stdout.decode("utf-8")) if done.returncode == 2 else []
        check(done.stdout == b"" or len(printed) == 1, "%s printed %r" % (flag, done.stdout))
        return done.returncode

    def snapshot(self):
        return read(self.reg) if os.path.exists(self.reg) else None

    def values(self, key):
        """The text values of a key below HKEY_CURRENT_USER, by name."""
        section, values = "[HKEY_CURRENT_USER\\%s]" % key, {}
        inside = False
        for line in read(self.reg).decode("utf-8").splitlines():
            if line.startswith("["):
                inside = line.lower() == section.lower()
            elif inside and line.startswith('"') and '"="' in line:
                name, text = line[1:-1].split('"="', 1)
                values[unescape(name)] = unescape(text)
        return values


class Wine(Host):
    """A Windows build in the prefix of $WINEPREFIX, through the steps of tests/wine/wine_env.sh.
    Scenarios share the prefix: each has a folder of its own as drive C:, and the keys of the
    program and the host are deleted before it."""

    KEYS = ["HKLM\\Software\\Wow6432Node\\Norvex Studio", "HKCU\\Software\\Norvex Test"]

    def __init__(self, exe, work):
        self.exe, self.work = exe, work
        self.env_script = os.path.join(HERE, "..", "wine", "wine_env.sh")
        self.temp_root = os.path.join(os.environ["WINEPREFIX"], "drive_c")

    def step(self, *args):
        """A step of wine_env.sh; its output. A step that fails is a fault."""
        env = dict(os.environ, NVX_ROAMING=self.value(ROAMING_VARIABLE))
        done = subprocess.run(["bash", self.env_script] + list(args), env=env,
                              capture_output=True, timeout=600)
        if done.returncode:
            raise Fault("wine_env.sh %s exited %d: %s" % (
                args[0], done.returncode, done.stderr.decode("utf-8", "replace")[-2000:]))
        return done.stdout.decode("utf-8", "replace")

    def enter(self, name):
        self.name, self.root = name, os.path.join(self.temp_root, name)

    def begin(self, name):
        self.enter(name)
        shutil.rmtree(self.root, ignore_errors=True)
        # reg delete fails the same way whether the key was there or not: check what is saved.
        for _ in range(3):
            self.step("delete_keys", *self.KEYS)
            if not self.snapshot():
                return
        raise Fault("the keys of the scenario before are still there: %r" % self.snapshot())

    def value(self, path):
        return "C:\\%s\\%s" % (self.name, path[3:]) if path[:3] == "C:\\" else path

    def set_registry(self, text):
        path = os.path.join(self.work, self.name + ".reg")
        with open(path, "w", encoding="utf-8") as f:
            f.write(text)
        self.step("import_reg", path)

    def run(self, flag):
        return int(self.step("run_exe", self.exe, flag).strip())

    # Every step waits for the prefix's server to end, which saves the registry. Reading the
    # saved hives, a reg query that failed to start cannot pass for a missing key.
    def saved_keys(self, key):
        """The key and its subkeys as the hive file saved them: [(name, value lines)]."""
        root, path = key.split("\\", 1)
        hive = os.path.join(os.environ["WINEPREFIX"], {"HKLM": "system.reg", "HKCU": "user.reg"}[root])
        keys, inside = [], False
        for line in read(hive).decode("utf-8", "replace").splitlines():
            if line.startswith("["):
                name = wine_unescape(line[1:line.rindex("]")])
                inside = name.lower() == path.lower() or name.lower().startswith(path.lower() + "\\")
                if inside:
                    keys.append((name, []))
            elif inside and line and not line.startswith("#"):
                keys[-1][1].append(line)
        return keys

    def snapshot(self):
        return "".join("[%s]\n%s\n" % (name, "\n".join(lines))
                       for key in self.KEYS for name, lines in self.saved_keys(key))

    def values(self, key):
        """The text values of a key below HKEY_CURRENT_USER, by name."""
        values = {}
        for name, lines in self.saved_keys("HKCU\\" + key):
            for line in lines if name.lower() == key.lower() else []:
                match = re.fullmatch(r'"((?:[^"\\]|\\.)*)"="(.*)"', line)
                if match:
                    values[wine_unescape(match[1])] = wine_unescape(match[2])
        return values


class Fault(Exception):
    pass


def check(condition, message):
    if not condition:
        raise Fault(message)


def unescape(text):
    return text.replace('\\"', '"').replace("\\\\", "\\")


def wine_unescape(text):
    """Text as Wine's saved hives write it: a backslash before a backslash or a quote, and x
    with up to four hex digits after a backslash for any other character."""
    return re.sub(r"\\(x[0-9a-fA-F]{1,4}|.)",
                  lambda m: chr(int(m[1][1:], 16)) if len(m[1]) > 1 else m[1], text)


# Customization files: profiles and what is in their files.

class Profile:
    """A profile whose MenuFile value names a file (path; the value itself when None). kind:
    good, broken, unnamed (no named workspace), read_only or missing; data: the file's bytes."""

    def __init__(self, name, menu_file, path, kind, data):
        self.name, self.menu_file, self.kind, self.data = name, menu_file, kind, data
        self.path = path or menu_file


def package_bytes(seed, scale=1, comment=b""):
    return cuix_fixture.zip_bytes(cuix_fixture.package_members(seed=seed, scale=scale), comment)


def commented_package(seed, scale=1):
    return package_bytes(seed, scale, cuix_fixture.ARCHIVE_COMMENT)


def unnamed_package(seed):
    members = cuix_fixture.package_members(seed=seed)
    cuix_fixture.named(members, "WorkspaceRoot.cui").data = (
        b'<?xml version="1.0"?>\r\n<WorkspaceRoot><Workspace><Other /></Workspace></WorkspaceRoot>')
    return cuix_fixture.zip_bytes(members)


def mixed_profiles(release):
    """Two good profiles (one named through an environment reference without extension), a
    broken one and a read-only one."""
    ext = ".cui" if release.startswith("R12") else ".cuix"
    data = ((lambda seed: cui_fixture.make_cui(seed=seed, workspaces=3, bom=seed % 2 == 0, crlf=True))
            if ext == ".cui" else package_bytes)
    broken = b"<CustSection><Header>" if ext == ".cui" else cuix_fixture.corrupt_cases()["not_a_zip"]
    folder = "C:\\Data\\%s\\" % release
    return [Profile("Kreslení", "%%NVX_ROAMING%%\\%s\\cs-CZ\\hostlt" % release,
                    "%s\\%s\\cs-CZ\\hostlt%s" % (ROAMING_VARIABLE, release, ext.upper()), "good", data(1)),
            Profile("Výkresy", folder + "Výkresy" + ext, None, "good", data(2)),
            Profile("Broken", folder + "broken" + ext, None, "broken", broken),
            Profile("ReadOnly", folder + "locked" + ext, None, "read_only", data(4))]


def package_profiles():
    """Three good packages: one named through an environment reference without extension."""
    return [Profile("<<Unnamed Profile>>", "%NVX_ROAMING%\\cs-CZ\\hostlt",
                    ROAMING_VARIABLE + "\\cs-CZ\\hostlt.CUIX", "good", commented_package(1, 2)),
            Profile("Výkresy", "C:\\Data\\Výkresy.cuix", None, "good", commented_package(2, 2)),
            Profile("Third", "C:\\Data\\third.cuix", None, "good", commented_package(3, 2))]


def plain_profiles():
    return [Profile("A", "%NVX_ROAMING%\\main", ROAMING_VARIABLE + "\\main.CUI", "good",
                    cui_fixture.make_cui(seed=4, workspaces=3, bom=True, crlf=True)),
            Profile("B", "C:\\Data\\other.cui", None, "good", cui_fixture.make_cui(seed=5, workspaces=4))]


def failing_profiles():
    cases = cuix_fixture.corrupt_cases()
    return [Profile("Good", "C:\\Data\\good.cuix", None, "good", commented_package(9)),
            Profile("missing", "C:\\Data\\missing.cuix", None, "missing", None),
            Profile("not_a_zip", "C:\\Data\\not_a_zip.cuix", None, "broken", cases["not_a_zip"]),
            Profile("malformed", "C:\\Data\\malformed.cuix", None, "broken", cases["malformed_known_part"]),
            Profile("unnamed", "C:\\Data\\unnamed.cuix", None, "unnamed", unnamed_package(10)),
            Profile("read_only", "C:\\Data\\read_only.cuix", None, "read_only", package_bytes(11))]


def documents(data, package):
    """Member names in order, name -> parsed root of every XML part (one "" for a plain file),
    and the other members' bytes."""
    if not package:
        return [], {"": parse(data)}, {}
    with zipfile.ZipFile(io.BytesIO(data)) as z:
        check(z.testzip() is None, "a member fails its CRC")
        parts, others = {}, {}
        for info in z.infolist():
            if info.filename in cuix_fixture.PART_NAMES:
                parts[info.filename] = parse(z.read(info))
            else:
                others[info.filename] = z.read(info)
        return [i.filename for i in z.infolist()], parts, others


def references(root):
    return [e.text for e in root.iter("PartialMenuFile") if e.text]


def added_numbers(name, root, stamp):
    """Six entries in table order in every named workspace, each with the fixed attributes
    and the revision stamp; returns their UID numbers, which must be new to the document."""
    numbers = []
    for workspace in root.iter("Workspace"):
        if workspace.find("Name") is None or not workspace.find("Name").text:
            continue
        entries = [e for e in workspace.iter("WSToolbar") if e.get("MenuGroup").upper() == GROUP]
        check(table_of(entries) == TABLE, "%s: entries %r" % (name, [e.attrib for e in entries]))
        for e in entries:
            check((e.get("Display"), e.get("ToolbarOrient"), e.get("rows"), e.get("dockrow"),
                   e.get("dockcolumn")) == ("1", "floating", "1", "0", "0"), "%s: %r" % (name, e.attrib))
            check([(c.tag, dict(c.attrib)) for c in e] == [stamp], "%s: stamp of %r" % (name, e.attrib))
            numbers.append(int(e.get("UID")[len("WSTU_"):]))
    others = [int(e.get("UID")[5:]) for e in root.iter("WSToolbar")
              if e.get("MenuGroup").upper() != GROUP and e.get("UID", "").startswith("WSTU_")]
    check(len(numbers) > 6, "%s: %d entries" % (name, len(numbers)))
    check(min(numbers) > max(others, default=0), "%s: identifiers not above the document's" % name)
    check(len(set(numbers)) == len(numbers), "%s: identifiers repeat" % name)
    return numbers


def check_files(host, scenario, added):
    """Every good profile holds the add-on (added) or is as it was, beside a backup of the
    original; every failing profile's file is untouched; nothing else is left anywhere."""
    ranges, expected_names = [], {}
    for p in scenario.profiles:
        full = host.file(p.path)
        folder = expected_names.setdefault(os.path.dirname(full), set())
        if p.kind == "missing":
            check(not os.path.exists(full), "%s: made" % p.name)
            continue
        folder.add(os.path.basename(full))
        data = read(full)
        if p.kind != "good":
            check(data == p.data, "%s was changed" % p.name)
            continue
        folder.add(os.path.basename(full) + ".norvex-express.bak")
        check(read(full + ".norvex-express.bak") == p.data, "%s: the backup is not the original" % p.name)
        ext = ".cuix" if full.lower().endswith(".cuix") else ".cui"
        names, parts, others = documents(data, ext == ".cuix")
        old_names, old_parts, old_others = documents(p.data, ext == ".cuix")
        check(names == old_names and others == old_others,
              "%s: members the edit does not concern changed" % p.name)
        header, workspaces = (parts["Header.cui"], parts["WorkspaceRoot.cui"]) if names else (parts[""],) * 2
        if added:
            expected = reference_for(scenario.roaming, ext.upper())
            old_header = old_parts["Header.cui" if names else ""]
            check(references(header) == references(old_header) + [expected],
                  "%s: references %r" % (p.name, references(header)))
            numbers = added_numbers(p.name, workspaces, STAMPS[ext])
            ranges.append((min(numbers), max(numbers)))
        else:
            check(set(parts) == set(old_parts), "%s: parts differ" % p.name)
            for part in parts:
                check(shape(parts[part]) == shape(old_parts[part]),
                      "%s: %s is not as it was" % (p.name, part or "the file"))
    # Identifiers continue from profile to profile, in whichever order the registry lists them.
    ranges.sort()
    for before, after in zip(ranges, ranges[1:]):
        check(after[0] > before[1], "identifiers do not continue from profile to profile")
    for folder, names in expected_names.items():
        check(set(os.listdir(folder)) == names, "%s holds %r" % (folder, sorted(os.listdir(folder))))
    for path, _, files in os.walk(host.temp_root):
        left = [f for f in files if f.lower().startswith("vt_")]
        check(not left, "temporary files left in %s: %r" % (path, left))


def folder_files(host, scenario):
    """Every file in the profiles' folders: its bytes, inode and modification time."""
    files = {}
    for folder in {os.path.dirname(host.file(p.path)) for p in scenario.profiles}:
        for name in os.listdir(folder) if os.path.isdir(folder) else []:
            path = os.path.join(folder, name)
            info = os.stat(path)
            files[path] = (read(path), info.st_ino, info.st_mtime_ns)
    return files


def check_same_files(before, after, what):
    for path in sorted(set(before) | set(after)):
        old, new = before.get(path), after.get(path)
        if old != new:
            how = "made" if old is None else "gone" if new is None else ", ".join(
                n for n, a, b in zip(("bytes", "inode", "modification time"), old, new) if a != b)
            raise Fault("%s changed %s: %s" % (what, path, how))


class FileHost:
    """A host whose profiles keep their customization in files: every run gives code. A run
    repeated leaves every file as it was: bytes, inode and time."""

    group = "files"

    def __init__(self, name, release, roaming, profiles, code):
        self.name, self.release, self.roaming, self.profiles, self.code = name, release, roaming, profiles, code

    def setup(self, host):
        for p in self.profiles:
            if p.data is None:
                continue
            full = host.file(p.path)
            os.makedirs(os.path.dirname(full), exist_ok=True)
            with open(full, "wb") as f:
                f.write(p.data)
            if p.kind == "read_only":
                # The program takes a file without write permission as read-only, whoever runs.
                os.chmod(full, stat.S_IRUSR | stat.S_IRGRP)
        host.set_registry(registry_keys(PRODUCT % self.release, self.roaming, [
            (p.name, {"General Configuration": [("MenuFile", host.value(p.menu_file))]})
            for p in self.profiles]))

    def play(self, host):
        self.setup(host)
        for step, flag in enumerate(("-i", "-i", "-r", "-r")):
            before = folder_files(host, self)
            code = host.run(flag)
            check(code == self.code, "%s exited %d, wanted %d" % (flag, code, self.code))
            check_files(host, self, flag == "-i")
            if step % 2:
                check_same_files(before, folder_files(host, self), "a second " + flag)


# Hosts of old releases keep the add-on's menu group as a registry value.

def menus(profile):
    return OLD_PRODUCT + "\\Profiles\\%s\\Menus" % profile


def norvex_in(values):
    return any("norvex_express" in (n + "=" + v).lower() for n, v in values.items())


class RegistryHost:
    """A host of an old release: profiles as keys of values, runs as (flag, code, check)."""

    group = "registry"

    def __init__(self, name, roaming, profiles, runs, settings=True, platform="1", written=True):
        self.name, self.roaming, self.profiles, self.runs = name, roaming, profiles, runs
        self.settings, self.platform, self.written = settings, platform, written

    def play(self, host):
        if self.written:
            host.set_registry(registry_keys(OLD_PRODUCT, self.roaming, self.profiles,
                                            self.platform, self.settings))
        for flag, code, after in self.runs:
            before = host.snapshot()
            got = host.run(flag)
            check(got == code, "%s exited %d, wanted %d" % (flag, got, code))
            if after == "unchanged":
                now = host.snapshot()
                check(now == before, "%s changed the registry: %r, then %r" % (flag, before, now))
            elif after:
                after(host)


def groups_added(host):
    a, b = host.values(menus("A")), host.values(menus("B"))
    check(b.get("Group1") == "Norvex_Express C:\\Roaming\\Support\\Norvex_Express", "B: %r" % b)
    # A had the group already and keeps it; B got it.
    check(sum("Norvex_Express " in v for v in list(a.values()) + list(b.values())) == 2, "A: %r" % a)


def groups_removed(host):
    a = host.values(menus("A"))
    toolbars = host.values(OLD_PRODUCT + "\\Profiles\\A\\Toolbars")
    check(not norvex_in(a) and not norvex_in(toolbars) and not norvex_in(host.values(menus("B"))),
          "the add-on is still registered: %r %r" % (a, toolbars))
    check(a.get("Group1") == "ACLT C:\\Support\\aclt" and a.get("Group2") == "Other C:\\Other",
          "A: %r" % a)
    check("ACLT.Draw" in toolbars, "A's toolbars: %r" % toolbars)


def second_added(host):
    values = host.values(menus("Kreslení"))
    check(values.get("Group2") == "Norvex_Express C:\\Users\\Jana\\Roaming\\Support\\Norvex_Express",
          "Group2 not registered: %r" % values)


def second_removed(host):
    values = host.values(menus("Second"))
    check(not norvex_in(values), "add-on still registered: %r" % values)
    check(values.get("Group1") == "Other C:\\Other", "other group not renumbered: %r" % values)


def moved_group_renewed(host):
    values = host.values(menus("Přesunutý"))
    check(values == {"Group1": "ACLT C:\\Support\\aclt", "Group3": "Other C:\\Other",
                     "Group2": "Norvex_Express C:\\Users\\Jana\\Roaming\\Support\\Norvex_Express"},
          "the group value naming an old folder is not renewed in place: %r" % values)
    values = host.values(menus("Jinak zapsaný"))
    check(values == dict(MOVED[1][1]["Menus"]), "a value naming the folder was changed: %r" % values)


def moved_group_removed(host):
    moved, other = host.values(menus("Přesunutý")), host.values(menus("Jinak zapsaný"))
    check(not norvex_in(moved) and not other, "the add-on is still registered: %r %r" % (moved, other))
    check([moved[n] for n in sorted(moved)] == ["ACLT C:\\Support\\aclt", "Other C:\\Other"],
          "other groups: %r" % moved)


GROUPS = {"Menus": [("Group1", "ACLT C:\\Support\\aclt"), ("Group2", "Norvex_Express old"),
                    ("Group3", "Other C:\\Other")],
          "Toolbars": [("NORVEX_EXPRESS.TB1", "x"), ("norvex_express.tb2", "y"), ("ACLT.Draw", "z")]}
SECOND = [("Kreslení", {"Menus": [("Group1", "ACLT C:\\Support\\aclt")]}),
          ("Second", {"Menus": [("Group1", "Norvex_Express old"), ("Group2", "Other C:\\Other")]})]

# A group value naming the add-on's folder before the profile moved, and one naming the current
# folder in another case and with other separators.
MOVED = [("Přesunutý", {"Menus": [
             ("Group1", "ACLT C:\\Support\\aclt"),
             ("Group2", "Norvex_Express C:\\Users\\Jana.CONTOSO\\Roaming\\Support\\Norvex_Express"),
             ("Group3", "Other C:\\Other")]}),
         ("Jinak zapsaný", {"Menus": [
             ("Group1", "NORVEX_EXPRESS c:/users/jana/roaming/support/norvex_express")]})]

SCENARIOS = [
    FileHost("mixed_R12", "R12", "C:\\Uživatelé\\Jana\\Roaming Kůň\\", mixed_profiles("R12"), 1),
    FileHost("mixed_R18", "R18.0", "C:\\Uživatelé\\Jana\\Roaming Kůň\\",
             mixed_profiles("R18.0"), 1),
    FileHost("mixed_R20", "R20.1", "C:\\Uživatelé\\Jana\\Roaming Kůň\\",
             mixed_profiles("R20.1"), 1),
    FileHost("packages_R18", "R18.0", "C:\\Roaming\\ŽLUTÝ Kůň & Co/", package_profiles(), 0),
    FileHost("packages_R20", "R20.1", "C:\\Roaming\\ŽLUTÝ Kůň & Co/", package_profiles(), 0),
    FileHost("plain_files", "R12", "C:\\Users\\Jana\\AppData\\Roaming\\Host & Co\\",
             plain_profiles(), 0),
    FileHost("failing_profiles", "R20.0", "C:\\R", failing_profiles(), 1),
    RegistryHost("groups", "C:\\Roaming\\", [("A", GROUPS), ("B", {"Menus": []})],
                 [("-i", 0, groups_added), ("-i", 0, "unchanged"), ("-r", 0, groups_removed),
                  ("-r", 0, None)], platform=None),
    RegistryHost("second_profile", "C:\\Users\\Jana\\Roaming\\", SECOND,
                 [("-i", 0, second_added), ("-r", 0, second_removed)], platform=None),
    RegistryHost("moved_group", "C:\\Users\\Jana\\Roaming\\", MOVED,
                 [("-i", 0, moved_group_renewed), ("-i", 0, "unchanged"), ("-r", 0, moved_group_removed)],
                 platform=None),
    RegistryHost("no_settings", "C:\\Users\\Jana\\Roaming\\", SECOND, [("-i", 2, "unchanged")],
                 settings=False),
    RegistryHost("no_registry", "C:\\R", [], [("-i", 2, "unchanged")], written=False),
    RegistryHost("no_profiles", "C:\\R", [], [("-r", 2, "unchanged")]),
]


def main(argv):
    """kind program work group, or kind program work make|added|removed scenario: make the
    host of one scenario, or check its files after adds or removes that the caller ran."""
    kind, program, work, command = argv[:4]
    host = (Posix if kind == "posix" else Wine)(os.path.abspath(program), os.path.abspath(work))
    try:
        if command in ("make", "added", "removed"):
            scenario = next(s for s in SCENARIOS if s.name == argv[4])
            if command == "make":
                host.begin(scenario.name)
                scenario.setup(host)
            else:
                host.enter(scenario.name)
                check_files(host, scenario, command == "added")
            return 0
        for scenario in SCENARIOS:
            if scenario.group == command:
                host.begin(scenario.name)
                scenario.play(host)
                print("passed: " + scenario.name)
    except Fault as fault:
        print("FAIL: %s: %s" % (scenario.name, fault))
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
