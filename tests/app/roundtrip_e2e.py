"""Random hosts through remove, add, add, remove, remove: in the end every file holds what it held.

For each seed a host with a few profiles is generated (tests/fixtures/random_hosts.py); the
silent remove runs once on the fresh files, then the add and the remove twice each. After every
run: the exit code, the add-on in every named workspace, everything else as it was (parsed with
expat, text for text, CDATA sections and comments included), files with nothing to change left
unwritten, backups, the bytes before the root, package members, stray files.

Usage: roundtrip_e2e.py PROGRAM [--seeds 1-200,310] [unittest options]
The seeds may also come from NVX_ROUNDTRIP_SEEDS; without either a short fixed list runs.
"""
import io
import os
import shutil
import subprocess
import sys
import tempfile
import unittest
import zipfile
from xml.parsers import expat

PROGRAM = sys.argv.pop(1)
FIXTURES = (os.environ.get("NVX_FIXTURES")
            or os.path.join(os.path.dirname(__file__), "..", "fixtures"))
sys.path.insert(0, FIXTURES)
import random_hosts  # noqa: E402

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
from host_check import GROUP, TABLE, reference_for, registry  # noqa: E402

# Between them these seeds show every shape the generator makes (checked below).
DEFAULT_SEEDS = list(range(1, 13))
# A remove before any add, then add twice and remove twice.
CYCLE = ["-r", "-i", "-i", "-r", "-r"]
# Modification time given to every generated file, so that any write shows.
OLD_TIME_NS = 1500000000 * 10**9
UTF8_FLAG = random_hosts.UTF8_FLAG
BOM = b"\xef\xbb\xbf"


def parse_seeds(text):
    seeds = []
    for item in text.replace(" ", "").split(","):
        if not item:
            continue
        first, _, last = item.partition("-")
        seeds += range(int(first), int(last or first) + 1)
    return seeds


def take_seed_option(argv):
    for i, arg in enumerate(argv):
        if arg == "--seeds" and i + 1 < len(argv):
            value = argv[i + 1]
            del argv[i:i + 2]
            return value
        if arg.startswith("--seeds="):
            del argv[i]
            return arg.split("=", 1)[1]
    return None


SEED_TEXT = take_seed_option(sys.argv) or os.environ.get("NVX_ROUNDTRIP_SEEDS")
SEEDS = parse_seeds(SEED_TEXT) if SEED_TEXT else DEFAULT_SEEDS


class Element:
    """A parsed element: attributes in document order, and its content as a list of elements,
    ("text", s), ("cdata", s) and ("comment", s) items.

    White space between elements is layout and left out; the text of an element that holds
    only text and CDATA is kept exactly, blanks included. Comments are kept without the blanks
    at their ends.
    """

    def __init__(self, tag, attributes):
        self.tag = tag
        self.attributes = attributes
        self.content = []

    def children(self, tag=None):
        return [c for c in self.content if isinstance(c, Element) and (tag is None or c.tag == tag)]

    def child(self, *path):
        element = self
        for tag in path:
            found = element.children(tag) if element else []
            element = found[0] if found else None
        return element

    def text(self):
        return "".join(c[1] for c in self.content if isinstance(c, tuple) and c[0] != "comment")

    def get(self, name):
        return dict(self.attributes).get(name)


def tidy(content):
    if any(isinstance(c, Element) or c[0] == "comment" for c in content):
        return [c for c in content if isinstance(c, Element) or c[0] != "text" or c[1].strip()]
    return content


def load_xml(data):
    """(declaration, document) with the document an Element holding the top-level nodes;
    raises ValueError when the bytes are not well-formed XML."""
    parser = expat.ParserCreate()
    parser.ordered_attributes = True
    document = Element("", [])
    stack = [document]
    pending = []
    declaration = []

    def flush():
        if pending:
            stack[-1].content.append(("text", "".join(pending)))
            pending.clear()

    def start(tag, attributes):
        flush()
        element = Element(tag, list(zip(attributes[::2], attributes[1::2])))
        stack[-1].content.append(element)
        stack.append(element)

    def end(tag):
        flush()
        element = stack.pop()
        element.content = tidy(element.content)

    def characters(data):
        pending.append(data)

    def end_cdata():
        stack[-1].content.append(("cdata", "".join(pending)))
        pending.clear()

    def comment(text):
        flush()
        stack[-1].content.append(("comment", text.strip()))

    parser.StartElementHandler = start
    parser.EndElementHandler = end
    parser.CharacterDataHandler = characters
    parser.StartCdataSectionHandler = flush
    parser.EndCdataSectionHandler = end_cdata
    parser.CommentHandler = comment
    parser.XmlDeclHandler = lambda *values: declaration.append(values)
    try:
        parser.Parse(data, True)
    except expat.ExpatError as error:
        raise ValueError("not well-formed XML (%s)" % error)
    document.content = tidy(document.content)
    return (declaration or [None])[0], document


def describe(item):
    if isinstance(item, Element):
        return "element <%s>" % item.tag
    kind = {"text": "text", "cdata": "CDATA section", "comment": "comment"}[item[0]]
    return "%s %r" % (kind, item[1])


def difference(old, new, path=""):
    """Where and how new differs from old, or None."""
    if old.tag != new.tag:
        return "%s: element <%s> became <%s>" % (path or "/", old.tag, new.tag)
    if old.attributes != new.attributes:
        return "%s: attributes %r became %r" % (path, old.attributes, new.attributes)
    if not old.children() and not new.children() and old.content != new.content:
        return "%s: content %s became %s" % (path, " + ".join(map(describe, old.content)) or "none",
                                             " + ".join(map(describe, new.content)) or "none")
    seen = {}
    for a, b in zip(old.content, new.content):
        if isinstance(a, Element):
            seen[a.tag] = seen.get(a.tag, 0) + 1
        if isinstance(a, Element) and isinstance(b, Element):
            found = difference(a, b, "%s/%s[%d]" % (path, a.tag, seen[a.tag]))
            if found:
                return found
        elif a != b:
            return "%s: %s became %s" % (path or "/", describe(a), describe(b))
    if len(old.content) > len(new.content):
        return "%s: %s is missing" % (path or "/", describe(old.content[len(new.content)]))
    if len(old.content) < len(new.content):
        return "%s: %s was added" % (path or "/", describe(new.content[len(old.content)]))
    return None


def without_add_on(element, reference):
    """A copy of the tree without the add-on's toolbar entries and its reference."""
    copy = Element(element.tag, element.attributes)
    for c in element.content:
        if isinstance(c, Element):
            if c.tag == "WSToolbar" and (c.get("MenuGroup") or "").upper() == GROUP:
                continue
            if c.tag == "PartialMenuFile" and c.text() == reference:
                continue
            c = without_add_on(c, reference)
        copy.content.append(c)
    return copy


def prefix(data):
    """The bytes before the first "<"."""
    at = data.find(b"<")
    return data if at < 0 else data[:at]


class Member:
    def __init__(self, info, data):
        # Names are stored as UTF-8 when bit 11 says so, else in code page 437.
        self.name = info.orig_filename.encode("utf-8" if info.flag_bits & UTF8_FLAG else "cp437")
        self.utf8 = bool(info.flag_bits & UTF8_FLAG)
        self.method = info.compress_type
        self.data = data

    def label(self):
        return self.name.decode("utf-8", "replace")


def read_package(data):
    """The members in central-directory order; raises ValueError when the archive is unreadable."""
    try:
        with zipfile.ZipFile(io.BytesIO(data)) as z:
            bad = z.testzip()
            if bad is not None:
                raise ValueError("member %s fails its CRC" % bad)
            return [Member(i, z.read(i)) for i in z.infolist()]
    except (zipfile.BadZipFile, OSError, EOFError, NotImplementedError) as error:
        raise ValueError("not a readable ZIP archive (%s)" % error)


class Documents:
    """A profile's file read back: its XML documents by part name ("" for a plain file)."""

    def __init__(self, profile, data):
        self.profile = profile
        self.members = None
        self.xml = {}  # part -> bytes
        if profile.kind == ".CUIX":
            self.members = read_package(data)
            for m in self.members:
                if m.label() in profile.parts:
                    self.xml[m.label()] = m.data
        else:
            self.xml[""] = data
        self.trees = {}  # part -> (declaration, document)
        for part, xml in self.xml.items():
            try:
                self.trees[part] = load_xml(xml)
            except ValueError as error:
                raise ValueError("%s%s" % ("part %s: " % part if part else "", error))

    def tree(self, part):
        return self.trees[part if self.profile.kind == ".CUIX" else ""][1]

    def workspaces(self):
        root = self.tree("WorkspaceRoot.cui").child("WorkspaceRoot") \
            if self.profile.kind == ".CUIX" \
            else self.tree("").child("CustSection", "Header", "WorkspaceRoot")
        return root.children("Workspace") if root else []

    def references(self):
        items = self.tree("Header.cui").child("CustSection", "Header", "CommonConfiguration",
                                              "CommonItems")
        return [e.text() for e in items.children("PartialMenuFile")] if items else []


def workspace_name(workspace):
    """The workspace's name and whether it is a CDATA section; None for one without a name."""
    name = workspace.child("Name")
    if name is None or not name.text():
        return None
    return name.text(), any(isinstance(c, tuple) and c[0] == "cdata" for c in name.content)


def add_on_entries(workspace):
    root = workspace.child("WSToolbarRoot")
    return [e for e in root.children("WSToolbar") if (e.get("MenuGroup") or "").upper() == GROUP] \
        if root else []


class Problems:
    """The first failure of each check on each file: a seed's run goes on to show them all."""

    def __init__(self):
        self.messages = {}

    def add(self, key, message):
        self.messages.setdefault(key, message)


class RoundTrip(unittest.TestCase):
    def test_shapes_of_the_default_seeds(self):
        """The fixed seeds meet every shape the generator makes."""
        seen = set()
        folder = tempfile.mkdtemp(prefix="nvx-shapes-")
        self.addCleanup(shutil.rmtree, folder, True)
        for seed in DEFAULT_SEEDS:
            for profile in random_hosts.make_host(seed, os.path.join(folder, str(seed))).profiles:
                seen |= profile.shapes
        self.assertEqual(random_hosts.ALL_SHAPES - seen, set())

    def test_add_twice_remove_twice(self):
        for seed in SEEDS:
            with self.subTest(seed=seed):
                self.cycle(seed)

    def cycle(self, seed):
        base = tempfile.mkdtemp(prefix="nvx-roundtrip-")
        self.addCleanup(shutil.rmtree, base, True)
        files = os.path.join(base, "files")
        temp = os.path.join(base, "tmp")
        os.makedirs(temp)
        host = random_hosts.make_host(seed, files)
        reg = os.path.join(base, "registry.reg")
        with open(reg, "w", encoding="utf-8") as f:
            f.write(registry(host.product, host.roaming, host.registry_profiles()))
        env = dict(os.environ, NORVEX_EXPRESS_REGISTRY=reg, TMPDIR=temp,
                   NVX_ROAMING=os.path.join(files, "Roaming"))
        for p in host.profiles:
            os.utime(p.path, ns=(OLD_TIME_NS, OLD_TIME_NS))
        reference = reference_for(host.roaming, host.extension)
        originals = {p.path: Documents(p, p.data) for p in host.profiles}
        has_add_on = {p.path: False for p in host.profiles}
        ever_added = {p.path: False for p in host.profiles}
        problems = Problems()

        for step, flag in enumerate(CYCLE, 1):
            run = "run %d (%s)" % (step, flag)
            before = {p.path: self.state(p.path) for p in host.profiles}
            done = subprocess.run([PROGRAM, flag], env=env, capture_output=True, timeout=120)
            unnamed = ", ".join(repr(p.name) for p in host.profiles if not p.named)
            expected = 1 if flag == "-i" and unnamed else 0
            if done.returncode != expected:
                why = "every profile can be done" if not unnamed else (
                    "profile %s has no named workspace" % unnamed if flag == "-i" else
                    "a remove has nothing to do in profile %s, without a named workspace" % unnamed)
                problems.add(("exit", step), "%s: exit code %d, expected %d (%s)" % (
                    run, done.returncode, expected, why))
            if done.stdout or done.stderr:
                problems.add(("output", step), "%s: the silent run printed %r" % (
                    run, (done.stdout + done.stderr)[:2000].decode("utf-8", "replace")))
            for p in host.profiles:
                file = os.path.relpath(p.path, files)

                def report(check, message, part=""):
                    shapes = " [%s]" % ", ".join(sorted(p.parts[part])) if part else ""
                    problems.add((p.path, part, check), "%s, %s%s: %s" % (
                        run, file, " part " + part + shapes if part else "", message))

                self.check_profile(p, flag, originals[p.path], before[p.path], has_add_on[p.path],
                                   ever_added[p.path], reference, report)
                if flag == "-i" and p.named:
                    has_add_on[p.path] = ever_added[p.path] = True
                elif flag == "-r":
                    has_add_on[p.path] = False
            # Backups are checked with their profiles; anything else new is left over.
            expected_files = {reg} | {p.path for p in host.profiles} | {
                p.path + ".norvex-express.bak" for p in host.profiles}
            found = {os.path.join(d, n) for d, _, names in os.walk(base) for n in names}
            for stray in sorted(found - expected_files):
                problems.add(("stray", stray),
                             "%s: stray file %s" % (run, os.path.relpath(stray, base)))

        if problems.messages:
            lines = []
            for p in host.profiles:
                inner = set().union(*p.parts.values()) if p.kind == ".CUIX" else set()
                lines.append("  %s: profile %r, %s" % (os.path.relpath(p.path, files), p.name,
                                                        ", ".join(sorted(p.shapes - inner))))
            self.fail("seed %d, host %s (%s files), cycle %s:\n%s\n%s" % (
                seed, host.product.split("\\")[-2], host.extension, " ".join(CYCLE),
                "\n".join(lines), "\n".join("  - " + m for m in problems.messages.values())))

    @staticmethod
    def state(path):
        try:
            with open(path, "rb") as f:
                return f.read(), os.stat(path).st_mtime_ns
        except OSError:
            return None, None

    def check_profile(self, p, flag, original, before, had_add_on, ever_added, reference, report):
        data, mtime = self.state(p.path)
        backup = self.state(p.path + ".norvex-express.bak")[0]
        if data is None:
            report("missing", "the file is gone")
            return
        if flag == "-i" and not p.named or flag == "-r" and not had_add_on:
            # Nothing to do: the file is left alone, and no backup is made for it.
            if (data, mtime) != before:
                report("written", "written although %s" % (
                    "the add failed (no named workspace)" if flag == "-i"
                    else "the profile did not hold the add-on"))
            if backup is not None and not ever_added:
                report("backup", "a backup was made although the file never held the add-on")
        if backup is not None and backup != p.data:
            report("backup differs", "the backup does not hold the original file")
        if flag == "-i" and p.named:
            if data == before[0]:
                report("not added", "the add left the file as it was")
            elif backup is None:
                report("no backup", "no backup beside the file after the add")

        try:
            documents = Documents(p, data)
        except ValueError as error:
            report("load", "cannot be read any more: %s" % error)
            return
        for part, xml in documents.xml.items():
            old = original.xml[part]
            if len(prefix(xml)) > len(prefix(old)) or xml.startswith(BOM) != old.startswith(BOM):
                report("prefix %r" % prefix(xml), "the bytes before the root were %r, now %r"
                       % (prefix(old), prefix(xml)), part)
        if p.kind == ".CUIX":
            self.check_members(original, documents, report)

        added = flag == "-i" and p.named
        for part, (declaration, tree) in documents.trees.items():
            old_declaration, old_tree = original.trees[part]
            if declaration != old_declaration:
                report("declaration", "XML declaration %r became %r"
                       % (old_declaration, declaration), part)
            found = difference(old_tree, without_add_on(tree, reference) if added else tree)
            if found:
                report("tree", ("apart from the add-on, " if added else "") + found, part)
        if added:
            self.check_add_on(original, documents, reference, report)

    @staticmethod
    def check_members(original, documents, report):
        old, new = original.members, documents.members
        if [m.name for m in old] != [m.name for m in new]:
            report("members", "members %r became %r" % ([m.label() for m in old],
                                                        [m.label() for m in new]))
            return
        for a, b in zip(old, new):
            if a.utf8 != b.utf8:
                report("flag " + a.label(), "member %s: UTF-8 name flag (bit 11) %s" % (
                    a.label(), "dropped" if a.utf8 else "set"))
            if a.method != b.method:
                report("method " + a.label(), "member %s: compression method %d became %d"
                       % (a.label(), a.method, b.method))
            if a.label() not in original.xml and a.data != b.data:
                report("data " + a.label(), "member %s: bytes changed" % a.label())

    @staticmethod
    def check_add_on(original, documents, reference, report):
        count = documents.references().count(reference)
        if count != 1:
            report("reference", "the reference %r appears %d times" % (reference, count))
        workspaces = documents.workspaces()
        names = [workspace_name(w) for w in original.workspaces()]
        for index, (workspace, name) in enumerate(zip(workspaces, names), 1):
            entries = add_on_entries(workspace)
            if name is None:
                if entries:
                    report("unnamed %d" % index, "workspace %d has no name but got %d add-on "
                           "toolbars" % (index, len(entries)))
                continue
            rows = [(e.get("pUID"), e.get("xval"), e.get("yval")) for e in entries]
            fixed = {(e.get("Display"), e.get("ToolbarOrient"), e.get("rows"), e.get("dockrow"),
                      e.get("dockcolumn")) for e in entries}
            if rows != [(i, str(x), str(y)) for i, x, y in TABLE] \
                    or fixed != {("1", "floating", "1", "0", "0")}:
                report("toolbars %d" % index, "workspace %d, named %r%s: add-on toolbars %s"
                       % (index, name[0], " in a CDATA section" if name[1] else "",
                          [r[0] for r in rows] if rows else "missing"))
        uids = [e.get("UID") for w in workspaces for t in w.children("WSToolbarRoot")
                for e in t.children("WSToolbar")]
        repeated = sorted({u for u in uids if uids.count(u) > 1})
        if repeated:
            report("uids", "toolbar entry UIDs repeat: %r" % repeated)


if __name__ == "__main__":
    unittest.main()
