"""What the checks of a host's files share, read independently of the program's own code:
the registry text of a host, the add-on's fixed toolbar table and its reference, and parsed
XML compared by shape.
"""
import collections
import re
import xml.etree.ElementTree as ET

GROUP = "NORVEX_EXPRESS"
# pUID, xval and yval of the six entries, in the order they are added.
TABLE = [("ID_Express", 70, 112), ("TBU_0003", 200, 112), ("TBU_0005", 580, 172),
         ("TBU_0007", 70, 172), ("TBU_0009", 741, 112), ("TBU_0011", 462, 112)]

# The package generator writes some names with a bare "&", which the host and our parser take
# as text; the strict reader needs it as an entity.
BARE_AMPERSAND = re.compile(r"&(?!(amp|lt|gt|quot|apos|#[0-9]+|#x[0-9a-fA-F]+);)")


# One line of standard output or of a log's block: the same five columns everywhere.
Record = collections.namedtuple("Record", "user profile target result text")
RESULT = re.compile(r"^[a-z]+( [a-z]+|-[a-z]+)*$")  # "added", "would add", "file-missing"


def records(text):
    """The lines of standard output, or the lines of a log between its headers and exit lines,
    as Records. Any line of another width, or with no result token, no profile or no target,
    fails."""
    found = []
    for line in text.splitlines():
        cells = line.split("\t")
        if len(cells) != len(Record._fields) or not RESULT.match(cells[3]) or "" in cells[1:3]:
            raise AssertionError("not a line of the schema: %r" % line)
        found.append(Record(*cells))
    return found


def log_blocks(text):
    """A log's runs as (header columns, Records, exit code); every line must be one of them."""
    blocks = []
    for line in text.splitlines():
        if re.match(r"^\d{4}-\d\d-\d\dT", line):
            blocks.append((line.split("\t"), [], None))
        elif line.startswith("exit "):
            blocks[-1] = blocks[-1][:2] + (int(line[5:]),)
        else:
            blocks[-1][1].extend(records(line))
    return blocks


def read(path):
    """The whole file's bytes."""
    with open(path, "rb") as f:
        return f.read()


def esc(text):
    return text.replace("\\", "\\\\").replace('"', '\\"')


def registry_keys(product, roaming, profiles, platform="1", settings=True):
    """Registry text: our settings (unless settings is false), the host's roaming folder and
    profiles, each a name and its keys: {key below the profile: [(value name, text)]}."""
    base = "HKEY_CURRENT_USER\\" + product
    lines = ["Windows Registry Editor Version 5.00", ""]
    if settings:
        lines += ["[HKEY_LOCAL_MACHINE\\Software\\WOW6432Node\\Norvex Studio\\Norvex Express]",
                  '"AcadPathReg"="%s"' % esc(product)]
        lines += ['"AcadPlatform"="%s"' % platform] if platform is not None else []
        lines += [""]
    lines += ["[%s]" % base, '"RoamableRootFolder"="%s"' % esc(roaming), "",
              "[%s\\Profiles]" % base, ""]
    for name, keys in profiles:
        for key, values in keys.items():
            lines.append("[%s\\Profiles\\%s\\%s]" % (base, name, key))
            lines += ['"%s"="%s"' % (esc(n), esc(v)) for n, v in values] + [""]
    return "\r\n".join(lines) + "\r\n"


def registry(product, roaming, profiles):
    """Registry text of a host whose profiles are (name, MenuFile) pairs."""
    return registry_keys(product, roaming, [(name, {"General Configuration": [("MenuFile", menu_file)]})
                                            for name, menu_file in profiles])


def lower_ascii(text):
    return "".join(c.lower() if "A" <= c <= "Z" else c for c in text)


def reference_for(roaming, extension):
    """The partial-menu reference the add writes for a roaming folder."""
    return lower_ascii(roaming.rstrip("\\/") + "\\Support\\Norvex_Express") + extension


def parse(data):
    if data.startswith(b"\xef\xbb\xbf"):
        data = data[3:]
    return ET.fromstring(BARE_AMPERSAND.sub("&amp;", data.decode("utf-8")))


def shape(element):
    """The element as nested tuples, white space between elements left out."""
    text = (element.text or "").strip()
    return (element.tag, list(element.attrib.items()), text, [shape(c) for c in element])


def table_of(entries):
    """The (pUID, xval, yval) rows of toolbar entries, to compare with TABLE."""
    return [(e.get("pUID"), int(e.get("xval")), int(e.get("yval"))) for e in entries]
