#!/usr/bin/env python3
"""Fixtures and checks for the Wine runs on .cui and .cuix hosts.

    file_hosts_check.py make DRIVE_C RELEASE OUT.reg   writes the files and the registry text
    file_hosts_check.py added DRIVE_C RELEASE          every good profile holds the add-on
    file_hosts_check.py removed DRIVE_C RELEASE        every file is as it was (by content)
Failing profiles are checked byte for byte in both checks. Exits 1 with a message on a fault.
"""
import io
import os
import stat
import sys
import zipfile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "fixtures"))
import cui_fixture  # noqa: E402
import cuix_fixture  # noqa: E402

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
from host_check import GROUP, TABLE, parse, reference_for, registry, shape, table_of  # noqa: E402

ROAMING = "C:\\Uživatelé\\Jana\\Roaming Kůň\\"
PRODUCT = "Software\\Norvex Test\\Host LT\\%s\\HOSTLT-9001:405"


def profiles(release):
    """(profile, MenuFile value, path below drive_c, kind) for the host of the release."""
    package = not release.startswith("R12")
    ext = ".CUIX" if package else ".CUI"
    lower = ext.lower()
    r = release
    return [("Kreslení", "%%NVX_ROAMING%%\\%s\\cs-CZ\\hostlt" % r,
             "Uživatelé/Jana/%s/cs-CZ/hostlt%s" % (r, ext), "good"),
            ("Výkresy", "C:\\Data\\%s\\Výkresy%s" % (r, lower), "Data/%s/Výkresy%s" % (r, lower), "good"),
            ("Broken", "C:\\Data\\%s\\broken%s" % (r, lower), "Data/%s/broken%s" % (r, lower), "broken"),
            ("ReadOnly", "C:\\Data\\%s\\locked%s" % (r, lower), "Data/%s/locked%s" % (r, lower),
             "read_only")]


def content(kind, package, seed):
    if package:
        if kind == "broken":
            return cuix_fixture.corrupt_cases()["not_a_zip"]
        return cuix_fixture.zip_bytes(cuix_fixture.package_members(seed=seed), b"")
    if kind == "broken":
        return b"<CustSection><Header>"
    return cui_fixture.make_cui(seed=seed, workspaces=3, bom=seed % 2 == 0, crlf=True)


def documents(data, package):
    """Name -> parsed root of every XML document in the file, and the other members' bytes."""
    if not package:
        return {"": parse(data)}, {}
    with zipfile.ZipFile(io.BytesIO(data)) as z:
        if z.testzip() is not None:
            raise AssertionError("a member fails its CRC")
        parts, others = {}, {}
        for info in z.infolist():
            if info.filename in cuix_fixture.PART_NAMES:
                parts[info.filename] = parse(z.read(info))
            else:
                others[info.filename] = z.read(info)
        return parts, others


def fail(message):
    print("FAIL: " + message)
    sys.exit(1)


def make(drive, release, out):
    package = not release.startswith("R12")
    menu_files = []
    for seed, (name, value, path, kind) in enumerate(profiles(release), 1):
        full = os.path.join(drive, path)
        os.makedirs(os.path.dirname(full), exist_ok=True)
        if os.path.exists(full):
            os.chmod(full, 0o644)
        for target in (full, full + ".orig"):
            with open(target, "wb") as f:
                f.write(content(kind, package, seed))
        if kind == "read_only":
            os.chmod(full, stat.S_IRUSR | stat.S_IRGRP)
        menu_files.append((name, value))
    text = registry(PRODUCT % release, ROAMING, menu_files)
    with open(out, "w", encoding="utf-8") as f:
        f.write(text)


def check(drive, release, added):
    package = not release.startswith("R12")
    ext = ".CUIX" if package else ".CUI"
    reference = reference_for(ROAMING, ext)
    last = 0
    for name, _, path, kind in profiles(release):
        full = os.path.join(drive, path)
        data, original = open(full, "rb").read(), open(full + ".orig", "rb").read()
        if kind != "good":
            if data != original:
                fail("%s was changed" % name)
            if os.path.exists(full + ".norvex-express.bak"):
                fail("%s got a backup" % name)
            continue
        if open(full + ".norvex-express.bak", "rb").read() != original:
            fail("%s: the backup is not the original" % name)
        parts, others = documents(data, package)
        old_parts, old_others = documents(original, package)
        if others != old_others:
            fail("%s: members the edit does not concern changed" % name)
        header = parts["Header.cui" if package else ""]
        workspaces = parts["WorkspaceRoot.cui" if package else ""]
        refs = [e.text for e in header.iter("PartialMenuFile") if e.text]
        if added:
            if reference not in refs or refs.count(reference) != 1:
                fail("%s: references %r, wanted %r" % (name, refs, reference))
            numbers = []
            for w in workspaces.iter("Workspace"):
                if w.find("Name") is None:
                    continue
                ours = [e for e in w.iter("WSToolbar") if e.get("MenuGroup") == GROUP]
                if table_of(ours) != TABLE:
                    fail("%s: entries of %s are %r" % (name, w.find("Name").text,
                                                        [e.attrib for e in ours]))
                numbers += [int(e.get("UID")[5:]) for e in ours]
            if min(numbers) <= last:
                fail("%s: identifiers do not continue from the profile before" % name)
            last = max(numbers)
        else:
            if set(parts) != set(old_parts):
                fail("%s: parts differ" % name)
            for part in parts:
                if shape(parts[part]) != shape(old_parts[part]):
                    fail("%s: %s is not as it was" % (name, part or "the file"))


def main(argv):
    command, drive, release = argv[:3]
    if command == "make":
        make(drive, release, argv[3])
    else:
        check(drive, release, command == "added")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
