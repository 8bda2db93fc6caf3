"""dg_type_library() and component/Dutygate.idl describe the same types."""

import os
import re
import unittest

import dutygate
from support import LIBRARY

IDL = os.path.join(os.path.dirname(__file__), "..", "..", "component", "Dutygate.idl")
PROGID_CUSTOM_DATA = "69A24E43-13FC-4FC8-A9C3-4684010C3DCE"
TYPES = {"short": "I2", "BSTR": "BSTR", "DATE": "DATE"}


def split_attributes(text):
    """'uuid(x), custom(a, "b"), hidden' -> ['uuid(x)', 'custom(a, "b")', 'hidden']"""
    parts, depth, quoted, current = [], 0, False, ""
    for ch in text:
        if ch == '"':
            quoted = not quoted
        elif not quoted and ch in "([":
            depth += 1
        elif not quoted and ch in ")]":
            depth -= 1
        if ch == "," and depth == 0 and not quoted:
            parts.append(current.strip())
            current = ""
        else:
            current += ch
    if current.strip():
        parts.append(current.strip())
    return parts


def attribute(attrs, name):
    for a in attrs:
        m = re.fullmatch(name + r"\((.*)\)", a, re.S)
        if m:
            return m.group(1).strip()
    return None


def guid(text):
    return "{" + text.upper() + "}"


def parse_idl(text):
    text = re.sub(r"//[^\n]*", "", text)
    text = re.sub(r"(?m)^\s*#.*$", "", text)  # the attributes only MIDL reads stay in
    lib = re.search(r"\[([^\]]*)\]\s*library\s+(\w+)\s*\{(.*)\};", text, re.S)
    attrs = split_attributes(lib.group(1))
    body = lib.group(3)
    result = {
        "name": lib.group(2),
        "version": attribute(attrs, "version"),
        "lcid": int(attribute(attrs, "lcid"), 0),
        "guid": guid(attribute(attrs, "uuid")),
        "imports": re.findall(r'importlib\("([^"]+)"\);', body),
        "types": [],
    }
    for m in re.finditer(r"\[([^\[\]]*)\]\s*(interface|dispinterface|coclass)\s+(\w+)\s*(?::\s*(\w+))?\s*\{(.*?)\};",
                         body, re.S):
        attrs = split_attributes(m.group(1))
        keyword, name, base, inner = m.group(2), m.group(3), m.group(4), m.group(5)
        plain = [a for a in attrs if "(" not in a and a not in ("odl", "dual")]
        entry = {"name": name}
        if keyword == "coclass":
            custom = split_attributes(attribute(attrs, "custom"))
            assert custom[0].upper() == PROGID_CUSTOM_DATA
            members = re.findall(r"\[([^\]]*)\]\s*(?:interface|dispinterface)\s+(\w+);", inner)
            entry.update({
                "kind": "coclass",
                "guid": guid(attribute(attrs, "uuid")),
                "flags": [a for a in plain if a != "noncreatable"],
                "creatable": "noncreatable" not in plain,
                "progid": custom[1].strip('"'),
                "default": next(n for a, n in members if split_attributes(a) == ["default"]),
                "source": next(n for a, n in members if set(split_attributes(a)) == {"default", "source"}),
            })
        else:
            entry.update({
                "kind": "dual" if "dual" in attrs else keyword,
                "guid": guid(attribute(attrs, "uuid")),
                "flags": plain,
            })
            if base:
                entry["base"] = base
            entry["members"] = []
            for dispid, returns, member, params in re.findall(
                    r"\[id\((0x[0-9a-fA-F]+)\)\]\s*(HRESULT|void)\s+(\w+)\(([^)]*)\);", inner):
                listed, result_type = [], "VOID"
                for param in filter(None, (p.strip() for p in split_attributes(params))):
                    pm = re.fullmatch(r"\[([^\]]*)\]\s*(\w+)(\*?)\s+(\w+)", param)
                    if "retval" in pm.group(1):
                        result_type = pm.group(2)
                    else:
                        listed.append({"name": pm.group(4), "type": TYPES[pm.group(2)]})
                entry["members"].append(
                    {"name": member, "dispid": int(dispid, 16), "params": listed, "result": result_type})
        result["types"].append(entry)
    return result


class TypeLibraryMatchesIdl(unittest.TestCase):
    def test_same_description(self):
        if not LIBRARY:
            self.skipTest("DUTYGATE_LIBRARY is not set")
        with open(IDL, encoding="utf-8") as f:
            from_idl = parse_idl(f.read())
        from_library = dutygate.TypeLibrary()
        self.assertEqual(len(from_idl["types"]), 6)
        self.assertEqual(from_library, from_idl)


if __name__ == "__main__":
    unittest.main()
