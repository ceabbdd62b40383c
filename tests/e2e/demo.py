#!/usr/bin/env python3
"""The demo: a sample machine with every product of the maker installed, the program run at the
keyboard, and what it removed and kept: registry keys and files, counted and listed. Run through scripts/demo, which builds what is needed.

    tests/e2e/demo.py [--build win32|win64|linux]
"""

import argparse
import contextlib
import os
import subprocess
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

import regfile  # noqa: E402
from machines import MachineError, host_path  # noqa: E402
from run import new_player  # noqa: E402
from scenario import MACHINES, Scenario, ScenarioError  # noqa: E402

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
# The sample machine is the full installation the end-to-end scenarios play: every product of
# the maker as its installer leaves it, the user's media database and music-service data, a
# cdplayer.ini, and the maker's setup library (its stand-in, built in maker/).
SAMPLE = "full_installation_keep_database_keep_music"
EXTRA_REG = ["other_vendor.reg"]
# What the summary compares before and after the run.
KEYS = [r"HKEY_CLASSES_ROOT\Software\Orvane", r"HKEY_CLASSES_ROOT\Software\Fabrikam",
        r"HKEY_CURRENT_USER\Software\Orvane", r"HKEY_LOCAL_MACHINE\Software\Tunelane-OV"]
FOLDERS = ["{ProgramFiles}\\Lumo", "{CommonFiles}\\Lumo", "{System}", "{Windows}\\cdplayer.ini",
           "C:\\Media", "C:\\UserData"]
PLAYER = "{ProgramFiles}\\Lumo\\Lumora Deck\\lumoplay.exe"


def say(text=""):
    print("demo: " + text if text else "", flush=True)


def registry_keys(machine):
    """Every key (and its values) under the keys the summary watches."""
    keys = {}
    for top in KEYS:
        tree = machine.export(top)
        if tree is None:
            continue
        for key in tree.subtree(top).keys.values():
            keys[key.path.lower()] = key.path
    return keys


def files(machine, player, cache, placed):
    """Every file under the folders the summary watches; in the system folder, which holds
    Windows' own files too, only those the sample placed."""
    found = {}
    for top in FOLDERS:
        path = player.expand(machine, top, cache)
        if top == "{System}":
            names = [n for n in (machine.tree(path) or []) if n.lower() in placed]
        elif machine.read(path) is not None:
            names = [""]
        else:
            names = [n for n in (machine.tree(path) or []) if not n.endswith("\\")]
        for name in names:
            full = path + ("\\" + name if name else "")
            found[full.lower()] = full
    return found


def summary(what, before, after):
    removed = sorted(before[k] for k in before if k not in after)
    kept = sorted(before[k] for k in before if k in after)
    say("%s removed: %d" % (what, len(removed)))
    for item in removed:
        print("    - " + item)
    say("%s kept: %d" % (what, len(kept)))
    for item in kept:
        print("    + " + item)


def start_player_process(build, machine, path):
    """A running lumoplay.exe, which the program stops before it removes the player's folder."""
    sleeper = os.path.join(ROOT, "build", build, "tests",
                           "sleeper" if build == "linux" else "sleeper.exe")
    if not os.path.exists(sleeper):
        say("no %s built: the player is not started" % sleeper)
        return None
    with open(sleeper, "rb") as f:
        machine.place_file(path, f.read())
    host = host_path(machine.drive_c(), path)
    os.chmod(host, 0o755)
    command = [host, "600"] if build == "linux" else machine.loader + [host, "600"]
    return subprocess.Popen(command, env=machine.env, stdin=subprocess.DEVNULL,
                            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                            start_new_session=True)


def show_log(machine, path):
    """The removal log the run left, as an administrator finds it."""
    log = machine.read(path)
    if log is None:
        say("the program left no removal log at %s" % path)
        return
    say("the removal log the program wrote, %s:" % path)
    for line in log.decode("latin-1").replace("\r\n", "\n").splitlines():
        print("    " + line)


def run(build):
    folder = os.path.join(ROOT, "build/demo", build)
    subprocess.run(["rm", "-rf", folder], check=True)
    os.makedirs(folder)
    player = new_player(build)
    machine = player.machine(folder)
    scenario = Scenario(SAMPLE)
    cache = {}
    process = None
    # On the layer the program stops the host's processes of the maker's names: from the start of
    # the demo's player to the program's end no test may start or stop such processes.
    stopping = contextlib.ExitStack()
    try:
        machine.start()
        for name in EXTRA_REG:
            machine.import_reg(os.path.join(MACHINES, name))
        player.prepare(machine, scenario, cache)
        stopping.enter_context(machine.maker_processes())
        process = start_player_process(build, machine, player.expand(machine, PLAYER, cache))
        keys_before = registry_keys(machine)
        placed = {p.rsplit("\\", 1)[-1].lower() for p in scenario.files if p.startswith("{System}")}
        files_before = files(machine, player, cache, placed)
        say("a sample machine (%s) with every product of the maker installed: %d registry keys "
            "and %d files of interest" % ("the Linux layer's machine folder" if build == "linux"
                                          else "a 64-bit Wine prefix", len(keys_before),
                                          len(files_before)))
        say("LumoCrate, Lumora Deck, LumoForge, LumoHub, LumoReel, LumoRelay and LumoArena in %s, "
            "shared files in %s, the maker's system files, a media database in C:\\Media, "
            "music-service data, a cdplayer.ini, and lumoplay.exe running" % (
                player.expand(machine, "{ProgramFiles}\\Lumo", cache),
                player.expand(machine, "{CommonFiles}\\Lumo", cache)))
        say("running %s%s; type your answers (\"Y\" goes on, anything else stops; then \"Y\" "
            "keeps, \"N\" erases)" % (os.path.relpath(player.program, ROOT),
                                       "" if build == "linux" else " under Wine"))
        say()
        temp = machine.temp_folder()
        machine.place_folder(temp)
        machine.env.update(machine.temp_env(temp))
        status = machine.run_at_console()
        say()
        say("the program ended with exit status %d" % status)
        if process is not None:
            try:
                process.wait(5)
                say("lumoplay.exe was stopped by the program")
            except subprocess.TimeoutExpired:
                say("lumoplay.exe is still running")
        stopping.close()
        show_log(machine, temp + "\\ovuninst.log")
        summary("registry keys", keys_before, registry_keys(machine))
        summary("files", files_before, files(machine, player, cache, placed))
        say("the machine is kept in %s" % folder)
        return 0
    finally:
        if process is not None and process.poll() is None:
            os.killpg(process.pid, 9)
        stopping.close()
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
    except (MachineError, ScenarioError, regfile.RegFileError) as e:
        say(str(e))
        return 1


if __name__ == "__main__":
    sys.exit(main())
