#!/usr/bin/env python3
"""Plays the end-to-end scenarios against one build or several of the three.

    tests/e2e/run.py --build linux                 every scenario on the Linux layer
    tests/e2e/run.py --build win32 answer_Y        one scenario, ovuninst.exe under Wine
    tests/e2e/run.py --build win64 answer_Y        the 64-bit test build under wine64
    tests/e2e/run.py --build linux --build win64   two builds, which must agree

Each scenario gets a fresh machine: a machine folder of the Linux layer, or a copy of a
template 64-bit Wine prefix. A scenario may also be named by the path of its file. Exit status
0 when every scenario passed, 77 when the scenarios asked for were all skipped on the builds
asked for, 1 otherwise.
"""

import argparse
import difflib
import os
import re
import shutil
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

import regfile  # noqa: E402
from machines import LinuxMachine, MachineError, WineMachine, WineTemplate  # noqa: E402
from wine_prefix import why_no_32bit  # noqa: E402
from scenario import BUILDS, Scenario, ScenarioError, names  # noqa: E402

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
SKIPPED = 77

# Where the program of the build finds the Windows folders, for paths written as {Name}.
FOLDER_VALUES = {"ProgramFiles": "ProgramFilesDir", "CommonFiles": "CommonFilesDir"}
CURRENT_VERSION = r"HKEY_LOCAL_MACHINE\Software\Microsoft\Windows\CurrentVersion"


def visible(text):
    """A transcript line as Python writes a string, so "\\r", tabs and blanks show."""
    return repr(text)[1:-1]


def transcript_diff(expected, actual):
    lines = lambda t: [visible(line) for line in t.splitlines(keepends=True)]
    return "\n".join(difflib.unified_diff(lines(expected), lines(actual), "expected", "actual",
                                          lineterm="", n=2))


def pattern_difference(what, patterns, actual, expand):
    """Lines against patterns in which "*" stands for any text and "?" for any one character
    (times and durations vary); empty when every line matches its pattern."""
    wild = {"*": ".*", "?": "."}
    matches = lambda p, line: re.fullmatch("".join(wild.get(c, re.escape(c)) for c in p), line)
    expected = [expand(line) for line in patterns]
    if len(actual) == len(expected) and all(map(matches, expected, actual)):
        return []
    return ["%s differs (expected patterns, then the lines):\n" % what + "\n".join(
        difflib.unified_diff(expected, actual, "expected", "actual", lineterm="", n=2))]


class Exports:
    """The registry trees exported after the run, each exported once and reused for the keys
    under it."""

    def __init__(self, machine):
        self.machine, self.trees, self.missing = machine, {}, set()

    def covering(self, key):
        for top, tree in self.trees.items():
            if regfile.is_under(key, top):
                return tree
        return None

    def tree(self, key):
        """The registry holding `key`'s tree (None when the key does not exist)."""
        tree = self.covering(key)
        if tree is None and regfile.fold(key) not in self.missing:
            tree = self.machine.export(key)
            if tree is None:
                self.missing.add(regfile.fold(key))
            else:
                self.trees[regfile.fold(key)] = tree
        return tree

    def exists(self, key):
        tree = self.covering(key)
        if tree is not None:
            return tree.find(key) is not None
        parent = regfile.parent_key(key)
        if "\\" not in parent:
            return self.tree(key) is not None  # a key right under a root
        # Absence is proven by an export of the parent without the key, not by a failed export
        # of the key itself, so that a broken export cannot pass for an absent key.
        if self.tree(parent) is not None:
            return self.tree(parent).find(key) is not None
        if self.exists(parent):
            raise MachineError("the export of [%s] failed although the key exists" % parent)
        return False


class Player:
    def __init__(self, build, args):
        self.build, self.args = build, args
        self.work = os.path.abspath(args.work or os.path.join(ROOT, "build", build, "e2e"))
        built = os.path.join(ROOT, "build", build)
        self.linker = args.linker or os.path.join(
            built, "tests/e2e/e2e_link_key" + ("" if build == "linux" else ".exe"))
        if build == "linux":
            self.program = args.program or os.path.join(built, "ovuninst")
            self.regedit = args.regedit or os.path.join(built, "ovregedit")
        else:
            if build == "win32" and why_no_32bit():
                raise MachineError("the win32 build cannot run here: %s" % why_no_32bit())
            self.program = args.program or os.path.join(built, "ovuninst.exe")
            self.helper = args.helper or os.path.join(built, "tests/e2e/e2e_readonly_key.exe")
            self.holder = args.holder or os.path.join(built, "tests/e2e/e2e_hold_file.exe")
            self.dumper = args.dumper or os.path.join(built, "tests/e2e/e2e_dump_keys.exe")
            self.template = WineTemplate(os.path.join(self.work, "wine-template"))
        if not os.path.exists(self.program):
            raise MachineError("no program at %s: build the %s preset" % (self.program, build))

    def machine(self, workdir):
        if self.build == "linux":
            return LinuxMachine(workdir, self.program, self.regedit)
        self.template.ensure()
        return WineMachine(workdir, self.program, self.template, self.helper, self.build,
                           self.holder, self.dumper)

    def expand(self, machine, path, cache):
        """Paths may start with {ProgramFiles}, {CommonFiles}, {Windows}, {System} or {Profile}:
        the folders the program finds on this build (Wine's 32-bit view differs from the
        layer's)."""
        if not path.startswith("{"):
            return path
        name, _, rest = path[1:].partition("}")
        if name == "Windows":
            base = r"C:\Windows"
        elif name == "Profile":
            base = machine.profile_folder()
        elif name == "System":
            base = machine.system_folder
        elif name in FOLDER_VALUES:
            if "values" not in cache:
                tree = machine.export(CURRENT_VERSION)
                key = tree.find(CURRENT_VERSION) if tree else None
                cache["values"] = key.values if key else {}
            value = cache["values"].get(FOLDER_VALUES[name].lower())
            if value is None:
                raise MachineError("the machine has no %s value" % FOLDER_VALUES[name])
            base = value.data
        else:
            raise ScenarioError("unknown folder {%s} in %r" % (name, path))
        return base.rstrip("\\") + rest

    def expand_all(self, machine, text, cache, escape=False):
        """Every {Name} in a text (a registry file, a trace line) as expand() gives it; in a
        registry file the folder's backslashes are doubled, as its strings write them."""
        def folder(match):
            base = self.expand(machine, "{%s}" % match.group(1), cache)
            return base.replace("\\", "\\\\") if escape else base
        return re.sub(r"\{(ProgramFiles|CommonFiles|Windows|System|Profile)\}", folder, text)

    def play(self, scenario):
        """Problems found (empty when the scenario passed)."""
        workdir = os.path.join(self.work, "%s.%s" % (self.build, scenario.name))
        shutil.rmtree(workdir, ignore_errors=True)
        os.makedirs(workdir)
        machine = self.machine(workdir)
        problems, folders = [], {}
        try:
            machine.start()
            machine.profile_folder()  # told on the fresh machine
            self.prepare(machine, scenario, folders)
            trace = os.path.join(workdir, "maker-trace.txt")
            temp = machine.temp_folder()
            self.prepare_temp(machine, scenario, temp)
            before = {top: machine.dump(top) for top in scenario.undo_trees}
            env = dict(machine.temp_env(temp), **scenario.env)
            env["OVUNINST_MAKER_TRACE"] = machine.program_path(trace)
            if scenario.command:
                transcript, status, stderr, late = self.play_command(machine, scenario, env,
                                                                     folders)
            else:
                transcript, status, stderr, late = self.play_holding(machine, scenario, env,
                                                                     folders)
            machine.settle()
            problems += late + self.check_run(scenario, transcript, status, stderr)
            problems += self.check_trace(scenario, trace, machine, folders)
            problems += self.check_log(scenario, machine.host(temp + r"\ovuninst.log"), machine,
                                       folders)
            problems += self.check_registry(machine, scenario, folders)
            problems += self.check_files(machine, scenario, folders)
            problems += self.check_undo(machine, scenario, before, temp)
        finally:
            # A machine kept for a look is saved as it is.
            machine.stop(save=bool(problems) or self.args.keep)
        if not problems and not self.args.keep:
            shutil.rmtree(workdir, ignore_errors=True)
        elif problems:
            problems.append("(the machine is kept in %s)" % workdir)
        return problems

    def play_holding(self, machine, scenario, env, folders):
        """Plays the dialogue while another process holds the scenario's held files open."""
        holder = None
        if scenario.held:
            holder = machine.hold([self.expand(machine, p, folders) for p in scenario.held])
        try:
            return machine.play(scenario.steps, env)
        finally:
            machine.release(holder)

    def play_command(self, machine, scenario, env, folders):
        """Runs the scenario's command line in its folder, with the program (as ovuninst.exe)
        and the deployed files placed there; the transcript is the file the command wrote."""
        command = scenario.command
        folder = self.expand(machine, command["folder"], folders)
        placed = [(self.program, "ovuninst.exe")] if command["program"] else []
        placed += [(os.path.join(ROOT, d), os.path.basename(d)) for d in command["deploy"]]
        for source, name in placed:
            with open(source, "rb") as f:
                machine.place_file(folder + "\\" + name, f.read())
        output, status, stderr = machine.run_command(command["line"], folder, env)
        late = []
        if command["output"] is not None:
            late += pattern_difference("the command's output", command["output"],
                                       output.replace("\r\n", "\n").split("\n")[:-1],
                                       lambda line: self.expand_all(machine, line, folders))
        transcript = ""
        if command["transcript"]:
            data = machine.read(self.expand(machine, command["transcript"], folders))
            if data is None:
                late.append("no transcript at %s" % command["transcript"])
            else:
                transcript = data.replace(b"\r\n", b"\n").decode("latin-1")
        return transcript, status, stderr, late

    def import_generated(self, machine, scenario, folders):
        """The registry text of the scenario's generated machine, written beside the machine
        and imported; the time each import took is kept in import-times.txt there."""
        for name, text in scenario.generated.reg:
            path = os.path.join(os.path.dirname(machine.folder), "generated-" + name)
            with open(path, "w", encoding="latin-1") as f:
                f.write(self.expand_all(machine, text, folders, escape=True))
            began = time.monotonic()
            machine.import_reg(path)
            with open(os.path.join(os.path.dirname(machine.folder), "import-times.txt"),
                      "a") as f:
                f.write("%s %.1f s\n" % (name, time.monotonic() - began))

    def set_attributes(self, machine, scenario, folders):
        for path, letters in scenario.attributes.items():
            machine.set_attributes(self.expand(machine, path, folders), letters)

    def prepare(self, machine, scenario, folders):
        if scenario.code_page:
            machine.use_code_page(scenario.code_page)
        for path in scenario.reg_files:
            machine.import_reg(self.expanded_reg(machine, path, folders))
        self.import_generated(machine, scenario, folders)
        for path in scenario.folders:
            machine.place_folder(self.expand(machine, path, folders))
        for path, data in scenario.files.items():
            machine.place_file(self.expand(machine, path, folders), data)
        built = os.path.join(os.path.dirname(self.program), "maker")
        for path, name in scenario.maker_libraries.items():
            if not os.path.exists(os.path.join(built, name)):
                raise MachineError("no %s in %s: build the maker's libraries" % (name, built))
            with open(os.path.join(built, name), "rb") as f:
                machine.place_file(self.expand(machine, path, folders), f.read())
        self.prepare_links(machine, scenario, folders)
        if scenario.registry_links:
            machine.link_keys(self.linker, scenario.registry_links)
        self.set_attributes(machine, scenario, folders)
        if scenario.restricted:
            machine.restrict()

    def prepare_links(self, machine, scenario, folders):
        """The folder links, made once every file is in place (a link may point at any)."""
        for link, target in scenario.links.items():
            machine.place_link(self.expand(machine, link, folders),
                               self.expand(machine, target, folders))

    @staticmethod
    def prepare_temp(machine, scenario, temp):
        """Under Wine the program's TEMP is the prefix's own (Wine sets TEMP and TMP from the
        registry, whatever the Unix environment holds); the layer is given the same folder."""
        host = machine.host(temp)
        os.makedirs(host, exist_ok=True)
        if scenario.temp is not None:
            shutil.rmtree(host)
        if scenario.temp == "file":
            with open(host, "wb") as f:
                f.write(b"not a folder")

    def check_log(self, scenario, path, machine, folders):
        """The removal log, line for line: in an expected line "*" stands for any text and "?"
        for any one character (times and durations vary); folders may be written as
        {ProgramFiles} and the like."""
        if scenario.log is None:
            return []
        if scenario.log == "none":
            return ["a removal log was written: %s" % path] if os.path.exists(path) else []
        if not os.path.isfile(path):
            return ["no removal log at %s" % path]
        with open(path, "rb") as f:
            actual = f.read().decode("latin-1").replace("\r\n", "\n").split("\n")
        if actual and actual[-1] == "":
            actual.pop()
        return pattern_difference("the removal log", scenario.log, actual,
                                  lambda line: self.expand_all(machine, line, folders))

    @staticmethod
    def check_undo(machine, scenario, before, temp):
        """The undo file's round trip, after every other check: imported with the build's regedit,
        it gives back each tree of `undo.trees` as it was before the run, key for key and byte for
        byte, but the keys of `undo.gone`, which stay gone, and those the run made, which stay as
        the run left them."""
        if not before:
            return []
        path = os.fsdecode(machine.host(temp + r"\ovuninst-undo.reg"))
        if not os.path.isfile(path):
            return ["no undo file at %s" % path]
        made = {top: machine.dump(top) for top in before}
        machine.import_reg(path)
        problems = []
        for top, tree in before.items():
            if tree is None:
                problems.append("the undo check's tree [%s] is not on the machine" % top)
                continue
            problems += regfile.compare_exact(tree, machine.dump(top), top, scenario.undo_gone,
                                              made[top])
        return ["the undo file's import differs from the registry before the run: " + p
                for p in problems]

    @staticmethod
    def check_run(scenario, transcript, status, stderr):
        problems = []
        expected = scenario.transcript()
        if transcript != expected:
            problems.append("the transcript differs (lines shown as Python strings):\n" +
                            transcript_diff(expected, transcript))
        expected_status = scenario.command["exit"] if scenario.command else 0
        if status != expected_status:
            problems.append("exit status %s, expected %d" % (
                "none (killed after the time limit)" if status is None else status,
                expected_status))
        if problems and stderr.strip():
            problems.append("standard error:\n" + stderr.rstrip())
        return problems

    def expanded_reg(self, machine, path, folders):
        """The registry file itself, or a copy with its folders filled in."""
        with open(path, encoding="latin-1") as f:
            text = f.read()
        filled = self.expand_all(machine, text, folders, escape=True)
        if filled == text:
            return path
        copy = os.path.join(os.path.dirname(machine.folder), os.path.basename(path))
        with open(copy, "w", encoding="latin-1") as f:
            f.write(filled)
        return copy

    def check_trace(self, scenario, trace, machine, folders):
        """The maker's libraries' trace, line for line."""
        if scenario.trace is None:
            return []
        expected = [self.expand_all(machine, line, folders) for line in scenario.trace]
        actual = []
        if os.path.exists(trace):
            with open(trace, encoding="latin-1") as f:
                actual = f.read().splitlines()
        if actual == expected:
            return []
        return ["the maker's libraries' trace differs:\n" + "\n".join(difflib.unified_diff(
            expected, actual, "expected", "actual", lineterm="", n=2))]

    def check_registry(self, machine, scenario, folders):
        problems, exports = [], Exports(machine)
        trees = [self.expanded_reg(machine, path, folders) for path in scenario.trees]
        for top, expected in scenario.expected_trees(trees):
            if exports.tree(top) is None:
                problems.append("missing key    [%s] (and its tree)" % top)
                continue
            problems += regfile.compare_trees(expected, exports.tree(top), top)
        for key in scenario.present:
            if not exports.exists(key):
                problems.append("missing key    [%s]" % key)
        for key in scenario.absent:
            if exports.exists(key):
                problems.append("key still there [%s]" % key)
        return problems

    @staticmethod
    def text_difference(path, actual, expected):
        """A file holding other text than expected; a long one is shown from its first
        difference on."""
        if len(actual) + len(expected) < 2000:
            return "%s holds %r, expected %r (\\r\\n read as \\n)" % (path, actual, expected)
        at = next((i for i, (a, b) in enumerate(zip(actual, expected)) if a != b),
                  min(len(actual), len(expected)))
        return "%s (%d bytes, expected %d) differs from byte %d: holds %r, expected %r" % (
            path, len(actual), len(expected), at, actual[at:at + 80], expected[at:at + 80])

    def check_files(self, machine, scenario, folders):
        problems = []
        for path in scenario.files_present:
            if not machine.exists(self.expand(machine, path, folders)):
                problems.append("missing file or folder %s" % path)
        for path in scenario.files_absent:
            if machine.exists(self.expand(machine, path, folders)):
                problems.append("file or folder still there %s" % path)
        for path, text in scenario.files_text.items():
            actual = machine.read(self.expand(machine, path, folders))
            if actual is None:
                problems.append("missing file %s" % path)
            elif actual.replace(b"\r\n", b"\n") != text:
                problems.append(self.text_difference(path, actual.replace(b"\r\n", b"\n"), text))
        for top, entries in scenario.files_only.items():
            actual = machine.tree(self.expand(machine, top, folders))
            if actual is None:
                problems.append("missing folder %s" % top)
                continue
            expected = {e.lower(): e for e in entries}
            found = {e.lower(): e for e in actual}
            for key in sorted(set(expected) - set(found)):
                problems.append("missing in %s: %s" % (top, expected[key]))
            for key in sorted(set(found) - set(expected)):
                problems.append("left in %s: %s" % (top, found[key]))
        return problems


def command_line():
    """The runner's command line; its defaults are every player's options."""
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("scenarios", nargs="*", help="scenario names (default: all)")
    parser.add_argument("--build", action="append", choices=BUILDS,
                        help="build to play on (repeatable; default: all three)")
    parser.add_argument("--program", help="the program to run (one build only)")
    parser.add_argument("--regedit", help="the Linux layer's ovregedit")
    parser.add_argument("--helper", help="the Wine build's e2e_readonly_key.exe")
    parser.add_argument("--holder", help="the Wine build's e2e_hold_file.exe")
    parser.add_argument("--linker", help="the build's e2e_link_key, which makes registry links")
    parser.add_argument("--dumper", help="the Wine build's e2e_dump_keys.exe")
    parser.add_argument("--work", help="folder for the Wine template and the scenarios' machines "
                        "(default: build/<build>/e2e)")
    parser.add_argument("--keep", action="store_true", help="keep every machine afterwards")
    parser.add_argument("--prepare", action="store_true",
                        help="only make the Wine template prefix if it is missing")
    parser.add_argument("--list", action="store_true", help="list the scenarios")
    return parser


def new_player(build, **options):
    """The player of one build with the command line's defaults but for `options` (work=...,
    program=...). The demo and the benchmarks make theirs here, so that an option the runner
    gains reaches them too."""
    args = command_line().parse_args([])
    for name, value in options.items():
        if not hasattr(args, name):
            raise TypeError("the runner has no option %r" % name)
        setattr(args, name, value)
    return Player(build, args)


def main(argv=None):
    parser = command_line()
    args = parser.parse_args(argv)
    builds = args.build or list(BUILDS)
    if args.program and len(builds) != 1:
        parser.error("--program needs exactly one --build")

    if args.list:
        for name in names():
            print("%-34s %s" % (name, Scenario(name).about))
        return 0
    if args.prepare:
        work = args.work or os.path.join(ROOT, "build", builds[0], "e2e")
        try:
            WineTemplate(os.path.join(os.path.abspath(work), "wine-template")).ensure()
        except MachineError as e:
            print("e2e: %s" % e, file=sys.stderr)
            return 1
        return 0

    try:
        scenarios = [Scenario(n) for n in (args.scenarios or names())]
        players = [Player(b, args) for b in builds]
    except (ScenarioError, MachineError) as e:
        print("e2e: %s" % e, file=sys.stderr)
        return 1

    counts = {"passed": 0, "failed": 0, "skipped": 0}
    started = time.monotonic()
    for scenario in scenarios:
        for player in players:
            label = "%s.%s" % (player.build, scenario.name)
            reason = scenario.skip.get(player.build)
            if reason:
                counts["skipped"] += 1
                print("SKIP %s: %s" % (label, reason), flush=True)
                continue
            began = time.monotonic()
            try:
                problems = player.play(scenario)
            except (MachineError, ScenarioError, regfile.RegFileError) as e:
                problems = ["the machine could not be played: %s" % e]
            took = time.monotonic() - began
            counts["failed" if problems else "passed"] += 1
            print("%s %s (%.1f s)" % ("FAIL" if problems else "PASS", label, took), flush=True)
            for problem in problems:
                print("    " + problem.replace("\n", "\n    "), flush=True)
    print("%d passed, %d failed, %d skipped in %.1f s" % (
        counts["passed"], counts["failed"], counts["skipped"], time.monotonic() - started))
    if counts["failed"]:
        return 1
    return SKIPPED if counts["skipped"] and not counts["passed"] else 0


if __name__ == "__main__":
    sys.exit(main())
