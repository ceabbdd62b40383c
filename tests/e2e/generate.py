"""Machines too large to commit, made by the runner from a few words (`machine.generate`).

Each generator takes its scenario's parameters and gives what it adds to the machine: registry
text (REGEDIT4, with {Name} folders as in machines/*.reg), files, and the texts files must hold
afterwards. The same parameters always give the same machine.
"""


class Generated:
    def __init__(self):
        self.reg = []          # (file name, REGEDIT4 text)
        self.files = {}        # Windows path -> bytes
        self.text_after = {}   # Windows path -> bytes afterwards ("\r\n" read as "\n")


def reg_text(path):
    return path.replace("\\", "\\\\")


def deferred_files(out, folder, count, placed=None, component="lumohub:1.2", product="LumoHub",
                   version="1.2"):
    """One component whose `count` files are all in use: the setup library hands each back by
    its full path, and the program removes them after every component. The files lie in
    `folder`\\data, which the component lists as a folder too. With `placed` (file numbers) only
    those files are made; the others are handed back without being there."""
    lines = ["REGEDIT4", "",
             "[HKEY_CLASSES_ROOT\\Software\\Orvane\\%s\\%s\\Preferences\\Components\\%s]"
             % (product, version, component),
             '"Location"="%s"' % reg_text(folder + "\\hub.exe"), "",
             "[HKEY_CLASSES_ROOT\\Software\\Orvane\\%s\\%s\\Preferences\\Components\\%s\\Files]"
             % (product, version, component)]
    placed = None if placed is None else set(placed)
    for i in range(count):
        path = "%s\\data\\f%05d.dat" % (folder, i)
        made = placed is None or i in placed
        lines.append('"%s"="%s"' % (reg_text(path), "in use" if made else "handed back"))
        if made:
            out.files[path] = b"deferred %d" % i
    lines += ["", "[HKEY_CLASSES_ROOT\\Software\\Orvane\\%s\\%s\\Preferences\\Components\\%s"
              "\\Folders]" % (product, version, component),
              '"%s"=""' % reg_text(folder + "\\data"), ""]
    out.reg.append(("deferred_files.reg", "\n".join(lines)))


def cdplayer_ini(out, path, size, every=10):
    """A cdplayer.ini of at least `size` bytes: discs of twelve lines each, every `every`-th
    disc with a RecStatus line among them (which the clean-up removes, the rest kept)."""
    before, after, disc = [], [], 0
    written = 0
    while written < size:
        section = ["[Disc %05d]" % disc, "Artist=Artist %d" % disc, "Title=Album %d" % disc]
        section += ["Track%02d=Song %d of disc %d" % (t, t, disc) for t in range(9)]
        kept = list(section)
        if disc % every == 0:
            section.insert(6, "RecStatus=%d" % (disc % 2))
        before += section
        after += kept
        written += sum(len(line) + 2 for line in section)
        disc += 1
    out.files[path] = ("\r\n".join(before) + "\r\n").encode("latin-1")
    out.text_after[path] = ("\n".join(after) + "\n").encode("latin-1")


def maker_keys(out, key, count, per_group=50):
    """`count` keys below `key`, `per_group` to a group key, each with one value."""
    lines = ["REGEDIT4", ""]
    for i in range(count):
        lines += ["[%s\\Group%03d\\Item%05d]" % (key, i // per_group, i),
                  '"Name"="item %d"' % i, ""]
    out.reg.append(("maker_keys.reg", "\n".join(lines)))


def large_value(out, key, name, size):
    """One binary value of `size` bytes (every byte value in turn) in `key`."""
    data = ",".join("%02x" % (i % 256) for i in range(size))
    out.reg.append(("large_value.reg", "REGEDIT4\n\n[%s]\n\"%s\"=hex:%s\n" % (key, name, data)))


GENERATORS = {"deferred_files": deferred_files, "cdplayer_ini": cdplayer_ini,
              "maker_keys": maker_keys, "large_value": large_value}


def generate(items):
    """What a scenario's `machine.generate` list makes: each item names its generator under
    "kind", the rest are the generator's parameters."""
    out = Generated()
    for item in items:
        params = dict(item)
        kind = params.pop("kind", None)
        if kind not in GENERATORS:
            raise ValueError("machine.generate: unknown kind %r (have: %s)"
                             % (kind, ", ".join(sorted(GENERATORS))))
        try:
            GENERATORS[kind](out, **params)
        except TypeError as e:
            raise ValueError("machine.generate %s: %s" % (kind, e)) from None
    return out
