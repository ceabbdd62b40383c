#!/usr/bin/env python3
"""The demo: a sample machine with the maker's settings, the program run at the keyboard, and
what the registry holds afterwards. Run through scripts/demo, which builds what is needed.

    tests/e2e/demo.py [--build win32|win64|linux]
"""

import argparse
import os
import subprocess
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

import regfile  # noqa: E402
from machines import LinuxMachine, MachineError, WineMachine, WineTemplate  # noqa: E402
from scenario import MACHINES  # noqa: E402

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
SAMPLE = ["maker_key.reg", "other_vendor.reg", "media_database.reg", "music_data.reg",
          "components.reg"]
# The user's media database, which the program offers to keep, and the installed products' files.
SAMPLE_FILES = {
    "C:\\Media\\Lumora Deck DB\\Data\\library.db": b"tracks",
    "C:\\Program Files\\Lumo\\LumoCrate\\lumocrate.exe": b"exe",
    "C:\\Program Files\\Lumo\\LumoCrate\\ovgu3263.dll": b"plug-in",
    "C:\\Program Files\\Lumo\\LumoCrate\\skins\\night.skn": b"skin",
    "C:\\Program Files\\Lumo\\Lumora Deck\\lumodeck.exe": b"exe",
}
# The maker's setup library (its stand-in, built in maker/), where the maker's settings name it.
SETUP_LIBRARY = ("C:\\Program Files\\Common Files\\Lumo\\Update_OB\\setu3260.dll", "setu3260.dll")
SHOWN = r"HKEY_CLASSES_ROOT\Software"
MAKER_KEY = r"HKEY_CLASSES_ROOT\Software\Orvane"


def say(text=""):
    print("demo: " + text if text else "", flush=True)


def make_machine(build, folder):
    os.makedirs(folder)
    if build == "linux":
        return LinuxMachine(folder, os.path.join(ROOT, "build/linux/ovuninst"),
                            os.path.join(ROOT, "build/linux/ovregedit"))
    template = WineTemplate(os.path.join(ROOT, "build", build, "e2e", "wine-template"))
    template.ensure(log=say)
    return WineMachine(folder, os.path.join(ROOT, "build", build, "ovuninst.exe"), template, None,
                       build)


def show_tree(tree, top):
    """The keys under `top`, indented, with their values."""
    keys = sorted(tree.subtree(top).keys.values(), key=lambda k: k.path.lower())
    depth0 = top.count("\\")
    for key in keys:
        depth = key.path.count("\\") - depth0
        print("    " + "  " * depth + key.path.rsplit("\\", 1)[-1] + "\\")
        for value in sorted(key.values.values(), key=lambda v: v.name.lower()):
            print("    " + "  " * (depth + 1) + "%s = %s" % (value.name or "@", value.describe()))


def run(build):
    folder = os.path.join(ROOT, "build/demo", build)
    subprocess.run(["rm", "-rf", folder], check=True)
    machine = make_machine(build, folder)
    try:
        machine.start()
        for name in SAMPLE:
            machine.import_reg(os.path.join(MACHINES, name))
        for path, data in SAMPLE_FILES.items():
            machine.place_file(path, data)
        built = os.path.join(ROOT, "build", build, "maker", SETUP_LIBRARY[1])
        if not os.path.exists(built):
            raise MachineError("no %s: build the %s preset" % (built, build))
        with open(built, "rb") as f:
            machine.place_file(SETUP_LIBRARY[0], f.read())
        say("a sample machine (%s) with the maker's settings under %s:" % (
            "the Linux layer's machine folder" if build == "linux" else "a 64-bit Wine prefix",
            MAKER_KEY))
        show_tree(machine.export(SHOWN), SHOWN)
        say("installed: the LumoCrate jukebox and the Lumora Deck player in C:\\Program Files\\Lumo, "
            "the update component and LumoArena, and the maker's setup library (its stand-in)")
        say("the user's media database is in C:\\Media\\Lumora Deck DB, and the music service's "
            "settings are under HKEY_CURRENT_USER\\Software\\Orvane\\Tunelane-OV")
        say("running the program; type your answers (\"Y\" goes on, anything else stops; then "
            "\"Y\" keeps, \"N\" erases)")
        say()
        status = machine.run_at_console()
        say()
        say("the program ended with exit status %d" % status)
        tree = machine.export(SHOWN)
        say("the registry afterwards under %s:" % SHOWN)
        if tree is None:
            print("    (no such key)")
        else:
            show_tree(tree, SHOWN)
        maker = tree.find(MAKER_KEY) if tree else None
        probe = tree.find(MAKER_KEY + r"\test") if tree else None
        say("the maker's key is %s; the rights probe's \"test\" key is %s" % (
            "still there" if maker else "gone", "left behind" if probe else "gone"))
        say("the machine is kept in %s" % folder)
        return 0
    finally:
        machine.stop(save=True)


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--build", choices=("win32", "win64", "linux"), default="win32",
                        help="win32: ovuninst.exe under Wine (the product, default); win64: the "
                             "64-bit test build under wine64; linux: the development build on "
                             "the Linux layer")
    args = parser.parse_args()
    try:
        return run(args.build)
    except (MachineError, regfile.RegFileError) as e:
        say(str(e))
        return 1


if __name__ == "__main__":
    sys.exit(main())
