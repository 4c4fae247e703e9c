"""Random hosts through remove, add, add, user edits, add, remove, remove: in the end every file
holds what it held.

For each seed a host with a few profiles is generated (tests/fixtures/random_hosts.py); the
silent remove runs once on the fresh files, then the add twice. Then, per profile, random edits a
user makes to the add-on's toolbar entries and reference (move, hide, dock, reorder, delete one,
duplicate one, the menu group in another case, a stale reference in another folder and written
form), --status and --dry-run, the add once more and the remove twice. After every run: the exit
code, the add-on in every named workspace (entries already there kept as they were, doubles gone,
missing ones appended, the reference in its place), everything else as it was (parsed with expat,
text for text, CDATA sections and comments included), files with nothing to change left unwritten
(bytes, time, inode), backups, the bytes before the root, package members, stray files.

Usage: roundtrip_e2e.py PROGRAM [--seeds 1-200,310] [unittest options]
The seeds may also come from NVX_ROUNDTRIP_SEEDS; without either a short fixed list runs.
"""
import io
import os
import random
import re
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
import cuix_fixture  # noqa: E402
from host_check import GROUP, TABLE, lower_ascii, records, reference_for, registry  # noqa: E402

MOVED = "moved-reference: odkaz na doplněk vede do jiné složky"
NO_WORKSPACE = "soubor nabídek nemá žádný pojmenovaný pracovní prostor"

# Between them these seeds show every shape the generator makes (checked below).
DEFAULT_SEEDS = list(range(1, 13))
# A remove before any add, add twice, the user's edits, add again and remove twice.
CYCLE = ["-r", "-i", "-i", "edit", "-i", "-r", "-r"]
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


BLANKS = " \t\r\n"


def is_add_on_reference(text):
    """Whether a reference's text names the add-on's partial file, in any folder."""
    name = lower_ascii(text.strip(BLANKS).replace("/", "\\").rsplit("\\", 1)[-1])
    return name in ("norvex_express.cui", "norvex_express.cuix")


def names_path(text, reference):
    """Whether a reference's text names the current path, as Windows compares paths."""
    return lower_ascii(text.strip(BLANKS).replace("/", "\\")) == lower_ascii(reference)


def without_add_on(element):
    """A copy of the tree without the add-on's toolbar entries and references."""
    copy = Element(element.tag, element.attributes)
    for c in element.content:
        if isinstance(c, Element):
            if c.tag == "WSToolbar" and (c.get("MenuGroup") or "").upper() == GROUP:
                continue
            if c.tag == "PartialMenuFile" and is_add_on_reference(c.text()):
                continue
            c = without_add_on(c)
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
        """The PartialMenuFile elements of CommonItems."""
        items = self.tree("Header.cui").child("CustSection", "Header", "CommonConfiguration",
                                              "CommonItems")
        return items.children("PartialMenuFile") if items else []

    def complete(self, reference):
        """Whether an add has nothing to do: one reference, to the current path, and one entry
        of each toolbar in every named workspace, of which there is one at least."""
        found = [e.text() for e in self.references() if is_add_on_reference(e.text())]
        named = [w for w in self.workspaces() if workspace_name(w)]
        toolbars = sorted(t[0] for t in TABLE)
        return len(found) == 1 and names_path(found[0], reference) and bool(named) and all(
            sorted(e.get("pUID") for e in add_on_entries(w)) == toolbars for w in named)

    def absent(self):
        return not any(is_add_on_reference(e.text()) for e in self.references()) and not any(
            add_on_entries(w) for w in self.workspaces())


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


# A toolbar entry of the add-on as the program writes it, with the white space before it.
ENTRY = re.compile(rb'(\s*)(<WSToolbar MenuGroup="NORVEX_EXPRESS" pUID="[^"]*" Display="\d+" '
                   rb'ToolbarOrient="\w+" xval="-?\d+" yval="-?\d+" rows="\d+" dockrow="\d+" '
                   rb'dockcolumn="\d+" UID="WSTU_\d+"\s*>.*?</WSToolbar>)', re.S)
TOOLBAR_ROOT = re.compile(rb"(<WSToolbarRoot\b[^>]*(?<!/)>)(.*?)(</WSToolbarRoot>)", re.S)
PARTIAL_MENU = re.compile(rb"<PartialMenuFile\b")
ENTRY_EDITS = ["move", "hide", "dock", "reorder", "delete", "duplicate", "menu group case"]
REFERENCE_EDITS = ["stale reference", "current reference written otherwise", "second reference"]
# Folders an earlier install, a moved profile or redirected AppData may have left.
STALE_FOLDERS = ["D:\\Doplňky\\Norvex Express",
                 "C:\\Users\\Jana.CONTOSO\\AppData\\Roaming\\Host & Co\\Support",
                 "\\\\server\\profily$\\jana\\Support",
                 "C:\\Program Files (x86)\\Norvex Studio\\Norvex Express"]


class UserEdits:
    """Random edits a user makes, in one profile's files, to what the add wrote: done on the
    text, so that everything else keeps its bytes."""

    def __init__(self, rnd, reference):
        self.rnd, self.reference = rnd, reference
        self.kinds = rnd.sample(ENTRY_EDITS + REFERENCE_EDITS, rnd.choice([0, 1, 1, 2, 3]))
        if "stale reference" in self.kinds:
            self.kinds = [k for k in self.kinds if k != "current reference written otherwise"]

    def apply(self, profile, data):
        if profile.kind != ".CUIX":
            return self.workspaces(self.header(data))
        members, comment = cuix_fixture.read_members(data)
        for m in members:
            edit = {b"Header.cui": self.header, b"WorkspaceRoot.cui": self.workspaces}.get(m.name)
            new = edit(m.data) if edit else m.data
            if new != m.data:
                m.data, m.raw_override = new, None
        return cuix_fixture.zip_bytes(members, comment)

    def workspaces(self, xml):
        rnd = self.rnd
        roots = [m for m in TOOLBAR_ROOT.finditer(xml) if ENTRY.search(m.group(2))]
        kinds = [k for k in self.kinds if k in ENTRY_EDITS]
        if not kinds:
            return xml
        if not roots:
            raise ValueError("no toolbar entry of the add-on to edit")
        edited = {}
        fresh = max(int(n) for n in re.findall(rb'UID="WSTU_(\d+)"', xml)) + 100
        for kind in kinds:
            root = rnd.randrange(len(roots))
            if root not in edited:
                inner = roots[root].group(2)
                found = list(ENTRY.finditer(inner))
                if any(a.end() != b.start() for a, b in zip(found, found[1:])):
                    raise ValueError("the add-on's entries are not next to each other")
                edited[root] = (inner[:found[0].start()], [[m.group(1), m.group(2)] for m in found],
                                inner[found[-1].end():])
            entries = edited[root][1]
            k = rnd.randrange(len(entries))
            if kind == "move":
                entries[k][1] = re.sub(rb'xval="-?\d+" yval="-?\d+"', b'xval="%d" yval="%d"' % (
                    rnd.randrange(1900), rnd.randrange(1100)), entries[k][1], count=1)
            elif kind == "hide":
                entries[k][1] = re.sub(rb'Display="\d+"', b'Display="0"', entries[k][1], count=1)
            elif kind == "dock":
                entries[k][1] = re.sub(rb'ToolbarOrient="\w+" xval="-?\d+" yval="-?\d+"',
                                       b'ToolbarOrient="top" xval="0" yval="0"', entries[k][1],
                                       count=1)
            elif kind == "menu group case":
                entries[k][1] = entries[k][1].replace(b'"NORVEX_EXPRESS"', rnd.choice(
                    [b'"norvex_express"', b'"Norvex_Express"']), 1)
            elif kind == "reorder" and len(entries) > 1:
                i, j = rnd.sample(range(len(entries)), 2)
                entries[i][1], entries[j][1] = entries[j][1], entries[i][1]
            elif kind == "delete":
                del entries[k]
            elif kind == "duplicate":
                fresh += 1
                copy = re.sub(rb'UID="WSTU_\d+"', b'UID="WSTU_%d"' % fresh, entries[k][1])
                entries.insert(rnd.randrange(len(entries) + 1), [entries[k][0], copy])
        for root in sorted(edited, reverse=True):
            head, entries, tail = edited[root]
            at = roots[root].span(2)
            xml = xml[:at[0]] + head + b"".join(a + b for a, b in entries) + tail + xml[at[1]:]
        return xml

    def header(self, xml):
        rnd = self.rnd
        written = b"<PartialMenuFile>%s</PartialMenuFile>" % escape(self.reference).encode()
        if xml.count(written) != 1 and any(k in REFERENCE_EDITS for k in self.kinds):
            raise ValueError("the add's reference is not there once")
        if "stale reference" in self.kinds:
            xml = xml.replace(written, self.element(self.stale()))
        elif "current reference written otherwise" in self.kinds:
            text = "".join(c.upper() if c.isascii() and rnd.random() < 0.5 else c
                           for c in self.reference)
            xml = xml.replace(written, self.element(
                text.replace("\\", "/") if rnd.random() < 0.4 else text))
        if "second reference" in self.kinds:
            end = b"</PartialMenuFile>"
            at = rnd.choice([m.start() for m in PARTIAL_MENU.finditer(xml)] + [
                xml.index(end, xml.rindex(b"<PartialMenuFile")) + len(end)])
            xml = xml[:at] + self.element(self.stale()) + xml[at:]
        return xml

    def stale(self):
        """The add-on's file in another folder (none, or the current one with the other
        extension), in any case, with either separator."""
        rnd = self.rnd
        folder = rnd.choice(STALE_FOLDERS + ["", "current"])
        extension = rnd.choice([".cui", ".cuix"])
        if folder == "current":
            folder, extension = self.reference.rsplit("\\", 1)[0], (
                ".cui" if lower_ascii(self.reference).endswith(".cuix") else ".cuix")
        name = rnd.choice(["norvex_express", "Norvex_Express", "NORVEX_EXPRESS"]) + rnd.choice(
            [extension, extension.upper()])
        text = folder + "\\" + name if folder else name
        return text.replace("\\", "/") if rnd.random() < 0.35 else text

    def element(self, text):
        """A reference of the text, written as text, with one letter of the file name as a
        character reference, or as a CDATA section; with blanks around now and then."""
        rnd = self.rnd
        if rnd.random() < 0.25:
            text = rnd.choice([" ", "\t", "  "]) + text + rnd.choice(["", " "])
        form = rnd.choice(["text", "character reference", "cdata"])
        if form == "cdata":
            inner = "<![CDATA[%s]]>" % text
        else:
            inner = escape(text)
            if form == "character reference":
                start = max(inner.rfind("\\"), inner.rfind("/")) + 1
                i = rnd.choice([i for i in range(start, len(inner))
                                if inner[i].isascii() and inner[i].isalpha()])
                inner = inner[:i] + rnd.choice(["&#x%x;", "&#x%X;", "&#%d;"]) % ord(inner[i]) \
                    + inner[i + 1:]
        return ("<PartialMenuFile>%s</PartialMenuFile>" % inner).encode("utf-8")


def escape(text):
    return text.replace("&", "&amp;").replace("<", "&lt;").replace(">", "&gt;")


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

    def test_add_twice_edit_add_remove_twice(self):
        # What the edits did over the seeds: each kind, and adds with and without work.
        self.seen = set()
        for seed in SEEDS:
            with self.subTest(seed=seed):
                self.cycle(seed)
        if SEEDS == DEFAULT_SEEDS:
            self.assertEqual(set(ENTRY_EDITS + REFERENCE_EDITS + ["complete", "incomplete"])
                             - self.seen, set(), "the fixed seeds miss these edits")

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
        edits = {}

        for step, flag in enumerate(CYCLE, 1):
            run = "run %d (%s)" % (step, flag)
            if flag == "edit":
                edits = self.edit(seed, host, reference, problems)
                self.check_decisions(host, env, reference, problems)
                continue
            before = {p.path: (self.state(p.path), self.state(p.path + ".norvex-express.bak"))
                      for p in host.profiles}
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
                lines.append("  %s: profile %r, %s%s" % (
                    os.path.relpath(p.path, files), p.name, ", ".join(sorted(p.shapes - inner)),
                    "; edits: %s" % ", ".join(edits[p.path]) if edits.get(p.path) else ""))
            self.fail("seed %d, host %s (%s files), cycle %s:\n%s\n%s" % (
                seed, host.product.split("\\")[-2], host.extension, " ".join(CYCLE),
                "\n".join(lines), "\n".join("  - " + m for m in problems.messages.values())))

    def edit(self, seed, host, reference, problems):
        """The user's edits of each profile that holds the add-on; the kinds made, by file."""
        rnd = random.Random(seed * 7919)
        made = {}
        for p in host.profiles:
            if not p.named:
                continue
            edits = UserEdits(rnd, reference)
            data = self.state(p.path)[0]
            try:
                edited = edits.apply(p, data)
            except ValueError as error:
                problems.add((p.path, "edit"), "edits, %s: cannot edit what the add wrote: %s"
                             % (os.path.basename(p.path), error))
                continue
            if edited != data:
                with open(p.path, "wb") as f:
                    f.write(edited)
                os.utime(p.path, ns=(OLD_TIME_NS, OLD_TIME_NS))
            made[p.path] = edits.kinds
            self.seen |= set(edits.kinds)
            self.seen.add("complete" if Documents(p, edited).complete(reference) else "incomplete")
        return made

    @staticmethod
    def check_decisions(host, env, reference, problems):
        """--status and -i --dry-run on the edited files say what the add then does."""
        documents = {p.name: Documents(p, RoundTrip.state(p.path)[0]) for p in host.profiles}
        for flags in (["--status"], ["-i", "--dry-run"]):
            done = subprocess.run([PROGRAM] + flags, env=env, capture_output=True, timeout=120)
            lines = records(done.stdout.decode("utf-8"))
            rows = {line.profile: line for line in lines}
            expected_code = 1 if any(not p.named for p in host.profiles) else 0
            for p in host.profiles:
                d = documents[p.name]
                complete = d.complete(reference)
                found = [e.text() for e in d.references() if is_add_on_reference(e.text())]
                if flags[0] == "--status":
                    moved = found and not names_path(found[0], reference)
                    word = "present" if complete else "absent" if d.absent() else "partial"
                    # A reference to another folder is the one partial that says why.
                    expected = (word, MOVED if moved else "")
                    expected_code |= not complete
                else:
                    expected = ("unchanged", "") if complete else ("would add", "") if p.named \
                        else ("no-named-workspace", NO_WORKSPACE)
                got = rows[p.name][3:] if p.name in rows else None
                if got != expected:
                    problems.add(("decision", flags[0], p.path), "%s on the edited files, "
                                 "profile %r: %r, expected %r" % (" ".join(flags), p.name, got,
                                                                  expected))
            if done.returncode != expected_code or len(lines) != len(host.profiles):
                problems.add(("decision", flags[0]), "%s on the edited files: exit code %d, "
                             "%d lines; expected %d, a line a profile" % (
                                 " ".join(flags), done.returncode, len(lines), expected_code))

    @staticmethod
    def state(path):
        """The file's bytes, modification time and inode; Nones when there is none."""
        try:
            with open(path, "rb") as f:
                info = os.stat(path)
                return f.read(), info.st_mtime_ns, info.st_ino
        except OSError:
            return None, None, None

    def check_profile(self, p, flag, original, before, had_add_on, ever_added, reference, report):
        (data, mtime, inode), (backup, _, _) = self.state(p.path), \
            self.state(p.path + ".norvex-express.bak")
        before, backup_before = before
        if data is None:
            report("missing", "the file is gone")
            return
        if flag == "-i" and not p.named or flag == "-r" and not had_add_on:
            # Nothing to do: the file is left alone, and no backup is made for it.
            if (data, mtime, inode) != before:
                report("written", "written although %s" % (
                    "the add failed (no named workspace)" if flag == "-i"
                    else "the profile did not hold the add-on"))
            if backup is not None and not ever_added:
                report("backup", "a backup was made although the file never held the add-on")
        if backup is not None and backup != p.data:
            report("backup differs", "the backup does not hold the original file")
        prior = None
        if flag == "-i" and p.named:
            prior = Documents(p, before[0])
            if prior.complete(reference):
                if (data, mtime, inode) != before or self.state(p.path + ".norvex-express.bak") \
                        != backup_before:
                    report("rewritten", "the add-on was complete, yet the add wrote %s" % (
                        "the file" if (data, mtime, inode) != before else "the backup"))
            elif data == before[0]:
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

        for part, (declaration, tree) in documents.trees.items():
            old_declaration, old_tree = original.trees[part]
            if declaration != old_declaration:
                report("declaration", "XML declaration %r became %r"
                       % (old_declaration, declaration), part)
            found = difference(old_tree, without_add_on(tree) if prior else tree)
            if found:
                report("tree", ("apart from the add-on, " if prior else "") + found, part)
        if prior:
            self.check_add_on(prior, documents, reference, report)

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
    def check_add_on(prior, documents, reference, report):
        """What the add made of the document before it: the first reference to the add-on
        where it was, naming the current path, the others gone (one appended when there was
        none); in each named workspace the first entry of each toolbar as it was, later ones
        gone, the missing ones appended in table order with the default attributes."""
        expected, kept = [], False
        for e in prior.references():
            if not is_add_on_reference(e.text()):
                expected.append(e.content)
            elif not kept:
                kept = True
                expected.append(e.content if names_path(e.text(), reference)
                                else [("text", reference)])
        if not kept:
            expected.append([("text", reference)])
        got = [e.content for e in documents.references()]
        if got != expected:
            report("reference", "references %r, expected %r" % (got, expected))

        for index, (old, new) in enumerate(zip(prior.workspaces(), documents.workspaces()), 1):
            name = workspace_name(old)
            if name is None:
                if add_on_entries(new):
                    report("unnamed %d" % index, "workspace %d has no name but got %d add-on "
                           "toolbars" % (index, len(add_on_entries(new))))
                continue
            old_root, new_root = old.child("WSToolbarRoot"), new.child("WSToolbarRoot")
            stays, seen = [], set()
            for e in old_root.children() if old_root else []:
                add_on = e.tag == "WSToolbar" and (e.get("MenuGroup") or "").upper() == GROUP
                if not add_on or e.get("pUID") not in seen:
                    stays.append(e)
                seen |= {e.get("pUID")} if add_on else set()
            missing = [row for row in TABLE if row[0] not in seen]
            children = new_root.children() if new_root else []
            where = "workspace %d, named %r%s" % (index, name[0], " in a CDATA section"
                                                    if name[1] else "")
            found = next(filter(None, (difference(a, b, "WSToolbar[%d]" % i) for i, (a, b) in
                                       enumerate(zip(stays, children), 1))), None)
            if len(children) != len(stays) + len(missing) or found:
                report("toolbars %d" % index, "%s: the entries there before are not all kept "
                       "as they were, later copies gone (%s); add-on toolbars now %s" % (
                           where, found or "%d entries, expected %d" % (
                               len(children), len(stays) + len(missing)),
                           [e.get("pUID") for e in add_on_entries(new)]))
                continue
            added = [[(n, v) for n, v in e.attributes if n != "UID"] for e in children[len(stays):]]
            defaults = [[("MenuGroup", GROUP), ("pUID", i), ("Display", "1"),
                         ("ToolbarOrient", "floating"), ("xval", str(x)), ("yval", str(y)),
                         ("rows", "1"), ("dockrow", "0"), ("dockcolumn", "0")] for i, x, y in missing]
            stamps = [[c.tag for c in e.children()] for e in children[len(stays):]]
            uids = [e.get("UID") or "" for e in children[len(stays):]]
            if added != defaults or any(s not in (["Revision"], ["ModifiedRev"]) for s in stamps) \
                    or not all(re.fullmatch(r"WSTU_\d+", u) for u in uids):
                report("toolbars %d" % index, "%s: appended %r, expected the missing %r with "
                       "the default attributes" % (where, [e.attributes for e in
                                                           children[len(stays):]],
                                                   [row[0] for row in missing]))
        uids = [e.get("UID") for w in documents.workspaces() for t in w.children("WSToolbarRoot")
                for e in t.children("WSToolbar")]
        repeated = sorted({u for u in uids if uids.count(u) > 1})
        if repeated:
            report("uids", "toolbar entry UIDs repeat: %r" % repeated)


if __name__ == "__main__":
    unittest.main()
