"""What the checks of a host's files share, read independently of the program's own code:
the registry text of a host, the add-on's fixed toolbar table and its reference, and parsed
XML compared by shape.
"""
import re
import xml.etree.ElementTree as ET

GROUP = "NORVEX_EXPRESS"
# pUID, xval and yval of the six entries, in the order they are added.
TABLE = [("ID_Express", 70, 112), ("TBU_0003", 200, 112), ("TBU_0005", 580, 172),
         ("TBU_0007", 70, 172), ("TBU_0009", 741, 112), ("TBU_0011", 462, 112)]

# The package generator writes some names with a bare "&", which the host and our parser take
# as text; the strict reader needs it as an entity.
BARE_AMPERSAND = re.compile(r"&(?!(amp|lt|gt|quot|apos|#[0-9]+|#x[0-9a-fA-F]+);)")


def esc(text):
    return text.replace("\\", "\\\\").replace('"', '\\"')


def registry(product, roaming, profiles):
    """Registry text: our settings, the host's roaming folder and profiles with their MenuFile."""
    base = "HKEY_CURRENT_USER\\" + product
    lines = ["Windows Registry Editor Version 5.00", "",
             "[HKEY_LOCAL_MACHINE\\Software\\WOW6432Node\\Norvex Studio\\Norvex Express]",
             '"AcadPathReg"="%s"' % esc(product), '"AcadPlatform"="1"', "",
             "[%s]" % base, '"RoamableRootFolder"="%s"' % esc(roaming), "",
             "[%s\\Profiles]" % base, ""]
    for name, menu_file in profiles:
        lines += ["[%s\\Profiles\\%s\\General Configuration]" % (base, name),
                  '"MenuFile"="%s"' % esc(menu_file), ""]
    return "\r\n".join(lines) + "\r\n"


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
