"""Registry files in the text formats regedit imports and exports.

Both "REGEDIT4" (8-bit, in the machine's code page) and "Windows Registry Editor Version 5.00"
(UTF-16LE, as Wine's regedit writes it) are read into one model, so that an export of either
build can be compared with the expected content of a scenario. Key and value names compare
case-insensitively and keep their case for messages.
"""

import codecs

ROOTS = {
    "HKEY_CLASSES_ROOT": "HKEY_CLASSES_ROOT",
    "HKCR": "HKEY_CLASSES_ROOT",
    "HKEY_CURRENT_USER": "HKEY_CURRENT_USER",
    "HKCU": "HKEY_CURRENT_USER",
    "HKEY_LOCAL_MACHINE": "HKEY_LOCAL_MACHINE",
    "HKLM": "HKEY_LOCAL_MACHINE",
    "HKEY_USERS": "HKEY_USERS",
    "HKU": "HKEY_USERS",
}

REG_SZ, REG_EXPAND_SZ, REG_BINARY, REG_DWORD, REG_MULTI_SZ = 1, 2, 3, 4, 7
TYPE_NAMES = {0: "REG_NONE", 1: "REG_SZ", 2: "REG_EXPAND_SZ", 3: "REG_BINARY", 4: "REG_DWORD",
              7: "REG_MULTI_SZ", 11: "REG_QWORD"}


class RegFileError(ValueError):
    pass


def canonical_key(path):
    """The key path with its root spelled out and no stray separators: "HKCR\\a\\" -> ...\\a."""
    parts = [p for p in path.strip().split("\\") if p]
    if not parts:
        raise RegFileError("empty key path")
    root = ROOTS.get(parts[0].upper())
    if root is None:
        raise RegFileError("unknown registry root in %r" % path)
    return "\\".join([root] + parts[1:])


def fold(path):
    return canonical_key(path).lower()


def parent_key(path):
    head, _, _ = canonical_key(path).rpartition("\\")
    return head or None


def is_under(path, top):
    """True when `path` is `top` or one of its descendants."""
    path, top = fold(path), fold(top)
    return path == top or path.startswith(top + "\\")


class Value:
    """A value as read (`data`: a text, a number or bytes) and, in `raw`, the bytes the registry
    holds as the file gives them (a quoted text with its terminator; UTF-16LE in a version 5
    file), for comparisons byte for byte."""

    def __init__(self, name, kind, data, raw=None):
        self.name, self.kind, self.data, self.raw = name, kind, data, raw

    def __eq__(self, other):
        return self.kind == other.kind and self.data == other.data

    def describe(self):
        return "%s %r" % (TYPE_NAMES.get(self.kind, "type %d" % self.kind), self.data)


class Key:
    def __init__(self, path):
        self.path = path
        self.values = {}  # folded name -> Value

    def set(self, value):
        self.values[value.name.lower()] = value


class Registry:
    """Keys by folded path. Keys named only as ancestors of listed keys are added too, as an
    export lists every key of the tree it covers."""

    def __init__(self):
        self.keys = {}

    def add_key(self, path):
        path = canonical_key(path)
        key = self.keys.get(path.lower())
        if key is None:
            key = self.keys[path.lower()] = Key(path)
        return key

    def find(self, path):
        return self.keys.get(fold(path))

    def subtree(self, top):
        """The keys at and under `top`, with the implied keys between `top` and each of them."""
        result = Registry()
        for key in self.keys.values():
            if is_under(key.path, top):
                result.keys[key.path.lower()] = key
                parent = parent_key(key.path)
                while parent and is_under(parent, top) and fold(parent) not in result.keys:
                    result.add_key(parent)
                    parent = parent_key(parent)
        return result

    def tops(self):
        """Keys whose parent is not listed: the roots of the trees the file describes."""
        tops = []
        for key in self.keys.values():
            parent = parent_key(key.path)
            if not any(parent and is_under(parent, other.path) and
                       fold(other.path) != fold(key.path) for other in self.keys.values()):
                tops.append(key.path)
        return sorted(tops, key=str.lower)


def decode(raw, codepage="cp1252"):
    """The text of a registry file and whether it is the Unicode (5.00) format."""
    if raw.startswith(codecs.BOM_UTF16_LE):
        text = raw[2:].decode("utf-16-le")
    elif raw.startswith(codecs.BOM_UTF8):
        text = raw[3:].decode("utf-8")
    else:
        text = raw.decode(codepage)
    text = text.replace("\r\n", "\n").replace("\r", "\n")
    first = text.split("\n", 1)[0].strip()
    if first == "REGEDIT4":
        return text, False
    if first == "Windows Registry Editor Version 5.00":
        return text, True
    raise RegFileError("not a registry file (first line %r)" % first)


def parse_bytes(raw, codepage="cp1252"):
    text, unicode = decode(raw, codepage)
    return parse_text(text, unicode, codepage)


def parse_file(path, codepage="cp1252"):
    with open(path, "rb") as f:
        try:
            return parse_bytes(f.read(), codepage)
        except RegFileError as e:
            raise RegFileError("%s: %s" % (path, e)) from None


def logical_lines(text):
    """Lines with their backslash continuations joined, numbered from 1."""
    pending, start = "", 0
    for number, line in enumerate(text.split("\n")[1:], 2):
        stripped = line.strip()
        if not pending:
            start = number
        if stripped.endswith("\\") and not stripped.startswith("["):
            pending += stripped[:-1]
            continue
        yield start, pending + stripped
        pending = ""
    if pending:
        yield start, pending


def parse_text(text, unicode, codepage="cp1252"):
    registry, key = Registry(), None
    for number, line in logical_lines(text):
        if not line or line.startswith(";"):
            continue
        try:
            if line.startswith("["):
                if not line.endswith("]"):
                    raise RegFileError("unterminated key name")
                if line.startswith("[-"):
                    raise RegFileError("key deletions have no place in a machine or an export")
                key = registry.add_key(line[1:-1])
                continue
            if key is None:
                raise RegFileError("value outside any key")
            key.set(parse_value(line, unicode, codepage))
        except RegFileError as e:
            raise RegFileError("line %d: %s" % (number, e)) from None
    return registry


def parse_quoted(line, pos):
    """The text of the quoted string starting at line[pos] and the position after it."""
    assert line[pos] == '"'
    out, pos = [], pos + 1
    escapes = {"\\": "\\", '"': '"', "n": "\n", "r": "\r", "0": "\0"}
    while pos < len(line):
        c = line[pos]
        if c == '"':
            return "".join(out), pos + 1
        if c == "\\" and pos + 1 < len(line):
            out.append(escapes.get(line[pos + 1], "\\" + line[pos + 1]))
            pos += 2
            continue
        out.append(c)
        pos += 1
    raise RegFileError("unterminated string")


def parse_value(line, unicode, codepage):
    if line.startswith("@"):
        name, pos = "", 1
    elif line.startswith('"'):
        name, pos = parse_quoted(line, 0)
    else:
        raise RegFileError("not a value line: %r" % line)
    rest = line[pos:].lstrip()
    if not rest.startswith("="):
        raise RegFileError("missing '=' after value name")
    data = rest[1:].strip()
    if data == "-":
        raise RegFileError("value deletions have no place in a machine or an export")
    if data.startswith('"'):
        text, end = parse_quoted(data, 0)
        if data[end:].strip():
            raise RegFileError("text after the string")
        raw = (text + "\0").encode("utf-16-le" if unicode else codepage)
        return Value(name, REG_SZ, text, raw)
    if data.lower().startswith("dword:"):
        digits = data[6:]
        if len(digits) != 8:
            raise RegFileError("a dword has 8 hexadecimal digits")
        number = int(digits, 16)
        return Value(name, REG_DWORD, number, number.to_bytes(4, "little"))
    if data.lower().startswith("hex"):
        return hex_value(name, data, unicode, codepage)
    raise RegFileError("unknown value data %r" % data)


def hex_value(name, data, unicode, codepage):
    head, sep, body = data.partition(":")
    if not sep:
        raise RegFileError("missing ':' after hex")
    kind = REG_BINARY
    if head.lower() != "hex":
        if not (head.lower().startswith("hex(") and head.endswith(")")):
            raise RegFileError("bad hex type %r" % head)
        kind = int(head[4:-1], 16)
    try:
        raw = bytes(int(b, 16) for b in body.replace(" ", "").split(",") if b)
    except ValueError:
        raise RegFileError("bad hex bytes") from None
    if kind in (REG_SZ, REG_EXPAND_SZ, REG_MULTI_SZ):
        try:
            text = raw.decode("utf-16-le" if unicode else codepage, errors="strict")
        except UnicodeDecodeError:  # bytes no text of the code page: compared as bytes
            return Value(name, kind, raw, raw)
        if kind == REG_MULTI_SZ:
            return Value(name, kind, tuple(s for s in text.rstrip("\0").split("\0")), raw)
        return Value(name, kind, text[:-1] if text.endswith("\0") else text, raw)
    if kind == REG_DWORD and len(raw) == 4:
        return Value(name, kind, int.from_bytes(raw, "little"), raw)
    return Value(name, kind, raw, raw)


def compare_trees(expected, actual, top):
    """Differences between the expected and the actual tree at `top`, one line each."""
    want, have = expected.subtree(top), actual.subtree(top)
    problems = []
    for folded in sorted(set(want.keys) | set(have.keys)):
        w, h = want.keys.get(folded), have.keys.get(folded)
        if h is None:
            problems.append("missing key    [%s]" % w.path)
            continue
        if w is None:
            problems.append("unexpected key [%s]" % h.path)
            continue
        for vname in sorted(set(w.values) | set(h.values)):
            wv, hv = w.values.get(vname), h.values.get(vname)
            label = "[%s] %s" % (w.path, '"%s"' % (wv or hv).name if vname else "@")
            if hv is None:
                problems.append("missing value  %s = %s" % (label, wv.describe()))
            elif wv is None:
                problems.append("unexpected value %s = %s" % (label, hv.describe()))
            elif wv != hv:
                problems.append("changed value  %s: expected %s, found %s"
                                % (label, wv.describe(), hv.describe()))
    return problems


def compare_exact(expected, actual, top, gone=(), made=None):
    """Differences between two exports of the tree at `top` (each may be None, an absent tree),
    key for key and value for value, types and bytes exact; keys at or below a key of `gone` must
    be absent from `actual` instead, and a key `expected` lacks is expected as `made` holds it."""
    want = expected.subtree(top).keys if expected else {}
    have = actual.subtree(top).keys if actual else {}
    extra = made.subtree(top).keys if made else {}
    problems = []
    for folded in sorted(set(want) | set(have)):
        w, h = want.get(folded, extra.get(folded)), have.get(folded)
        if any(is_under(folded, key) for key in gone):
            if h is not None:
                problems.append("key back that should stay gone [%s]" % h.path)
            continue
        if h is None:
            problems.append("missing key    [%s]" % w.path)
            continue
        if w is None:
            problems.append("unexpected key [%s]" % h.path)
            continue
        for vname in sorted(set(w.values) | set(h.values)):
            wv, hv = w.values.get(vname), h.values.get(vname)
            label = "[%s] %s" % (w.path, '"%s"' % (wv or hv).name if vname else "@")
            if hv is None:
                problems.append("missing value  %s" % label)
            elif wv is None:
                problems.append("unexpected value %s" % label)
            elif (wv.kind, wv.raw) != (hv.kind, hv.raw):
                problems.append("changed value  %s: expected type %d %s, found type %d %s"
                                % (label, wv.kind, (wv.raw or b"").hex(), hv.kind,
                                   (hv.raw or b"").hex()))
    return problems
