#!/usr/bin/env python3
"""Loads and saves generated packages with our round-trip tool, then checks the result with
Python's zipfile: same members in the same order, every kept field, unchanged bytes of the
members that are not parts, well-formed parts, valid CRCs, no temporary files left.

    roundtrip_check.py TOOL FIXTURES_DIR
"""

import os
import shutil
import struct
import subprocess
import sys
import tempfile
import xml.etree.ElementTree as ET
import zipfile

PARTS = None  # filled from the fixture module


def local_extra(raw, info):
    header = raw[info.header_offset:info.header_offset + 30]
    name_length, extra_length = struct.unpack("<HH", header[26:30])
    start = info.header_offset + 30 + name_length
    return raw[start:start + extra_length]


def is_part(name):
    return any(name.lower() == p.lower() for p in PARTS)


def read_or_none(archive, info):
    try:
        return archive.read(info)
    except zipfile.BadZipFile:
        return None


def check(before_bytes, after_path, added_header, failures, label):
    def fail(text):
        failures.append("%s: %s" % (label, text))

    with open(after_path, "rb") as f:
        after_bytes = f.read()
    before = zipfile.ZipFile(_stream(before_bytes))
    after = zipfile.ZipFile(_stream(after_bytes))
    if after.testzip() is not None:
        fail("bad CRC in %s" % after.testzip())
    if after.comment != before.comment:
        fail("archive comment changed")
    old, new = before.infolist(), after.infolist()
    if added_header:
        if len(new) != len(old) + 1 or new[-1].filename != "Header.cui":
            fail("no Header.cui member added at the end")
        elif new[-1].compress_type != zipfile.ZIP_DEFLATED:
            fail("added Header.cui not deflated")
        else:
            root = ET.fromstring(after.read(new[-1]))
            if root.tag != "CustSection":
                fail("added Header.cui holds %s" % root.tag)
        new = new[:-1]
    if [i.orig_filename for i in new] != [i.orig_filename for i in old]:
        fail("member list differs: %s" % [i.orig_filename for i in new])
        return
    for a, b in zip(old, new):
        for field in ("comment", "extra", "internal_attr", "external_attr", "date_time",
                      "compress_type", "flag_bits", "create_system", "create_version"):
            if getattr(a, field) != getattr(b, field):
                fail("%s: %s %r became %r" % (a.filename, field, getattr(a, field),
                                             getattr(b, field)))
        if local_extra(before_bytes, a) != local_extra(after_bytes, b):
            fail("%s: local extra field changed" % a.filename)
        data = after.read(b)
        if is_part(a.filename):
            try:
                root = ET.fromstring(data)
            except ET.ParseError as error:
                fail("%s: not well formed after save: %s" % (a.filename, error))
                continue
            original = read_or_none(before, a)
            if original is not None and ET.fromstring(original).tag != root.tag:
                fail("%s: root element changed" % a.filename)
        elif data != before.read(a):
            fail("%s: bytes changed" % a.filename)


def _stream(data):
    import io
    return io.BytesIO(data)


def main(tool, fixtures):
    global PARTS
    sys.path.insert(0, fixtures)
    import cuix_fixture
    PARTS = cuix_fixture.PART_NAMES + ["_rels\\.rels"]
    failures = []
    work = tempfile.mkdtemp(prefix="nvx_roundtrip_")
    try:
        tmp = os.path.join(work, "tmp")
        os.mkdir(tmp)
        env = dict(os.environ, TMPDIR=tmp)
        cases = []
        for seed, scale in ((1, 1), (2, 2), (9, 3)):
            members = cuix_fixture.package_members(seed, scale)
            cases.append(("seed%d_scale%d" % (seed, scale),
                          cuix_fixture.zip_bytes(members, cuix_fixture.ARCHIVE_COMMENT), False))
        corrupt = cuix_fixture.corrupt_cases()
        for name in ("name_case_differs", "unknown_twins", "backslash_rels"):
            cases.append((name, corrupt[name], False))
        cases.append(("without_header", corrupt["without_header"], True))
        # Damage that a save would hide, and parts that are ambiguous: refused, left as they are.
        refused = ("wrong_crc", "damaged_stored", "case_twins", "nul_in_name")
        cases += [(name, corrupt[name], None) for name in refused]
        for label, data, add_header in cases:
            folder = os.path.join(work, label)
            os.mkdir(folder)
            path = os.path.join(folder, "Profile.cuix")
            with open(path, "wb") as f:
                f.write(data)
            command = [tool, path] + (["--add-header"] if add_header else [])
            result = subprocess.run(command, env=env, capture_output=True, text=True)
            if add_header is None:
                with open(path, "rb") as f:
                    if result.returncode == 0 or f.read() != data:
                        failures.append("%s: not refused, or changed" % label)
            elif result.returncode != 0:
                failures.append("%s: tool failed: %s" % (label, result.stderr.strip()))
                continue
            else:
                check(data, path, add_header, failures, label)
            if os.listdir(folder) != ["Profile.cuix"]:
                failures.append("%s: left %s beside the package" % (label, os.listdir(folder)))
            if os.listdir(tmp):
                failures.append("%s: left temporary files %s" % (label, os.listdir(tmp)))
    finally:
        shutil.rmtree(work, ignore_errors=True)
    for failure in failures:
        print("FAIL", failure)
    print("%d failures" % len(failures))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1], sys.argv[2]))
