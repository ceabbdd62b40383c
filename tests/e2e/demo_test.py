#!/usr/bin/env python3
"""The README's first command as a person runs it: scripts/demo in a terminal (a tmux pane), each
answer typed once its question is on the screen. Then the screen is read: the program's dialogue
as the end-to-end scenario of the same answers expects it, the summary's counts, exit status 0.

    tests/e2e/demo_test.py                 scripts/demo, as the README writes it
    tests/e2e/demo_test.py win64           scripts/demo win64 (likewise win32, linux)

The expected build is the one named, or for scripts/demo alone the one the 32-bit probe picks
(OV_NO_32BIT=1 makes it pick win64).
"""

import os
import re
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

from wine_prefix import why_no_32bit  # noqa: E402
from scenario import Scenario  # noqa: E402

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
# The demo's sample machine, answered "go on", "keep the database", "erase the music data": the
# scenario of those answers on the same machine expects the same dialogue.
SCENARIO = "full_installation_keep_database_erase_music"
COUNTS = {"registry keys removed": 48, "registry keys kept": 18, "files removed": 26,
          "files kept": 8}
# What must be among the kept: another maker's key and LumoArena's program.
KEPT = [r"+ HKEY_CLASSES_ROOT\Software\Fabrikam", r"\Lumo\LumoArena\arena.exe"]
WIDTH = 250
# Making a Wine prefix and the machine take a minute or two; a build from nothing much longer.
FIRST_PROMPT_PATIENCE = 900
PATIENCE = 120


class Terminal:
    """A tmux server of its own, one pane running the command, kept after the command ends."""

    def __init__(self, command, env):
        self.socket = "ovuninst-demo-%d" % os.getpid()
        config = tempfile.NamedTemporaryFile("w", suffix=".conf", delete=False)
        config.write("set -g history-limit 100000\nset -g remain-on-exit on\n")
        config.close()
        self.config = config.name
        # The pane's shell writes the command's exit status itself: tmux (3.3) can show a pane
        # dead without the status of its command, for a moment or for good.
        self.status = config.name + ".status"
        self.tmux("new-session", "-d", "-x", str(WIDTH), "-y", "50", "-c", ROOT,
                  "%s; echo $? > %s.new && mv %s.new %s" % (command, self.status, self.status,
                                                            self.status), env=env)

    def tmux(self, *args, env=None):
        return subprocess.run(["tmux", "-L", self.socket, "-f", self.config] + list(args),
                              env=env, stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                              stderr=subprocess.STDOUT, check=True).stdout.decode("utf-8",
                                                                                  "replace")

    def lines(self):
        """The whole pane, history included, wrapped lines joined, as the person sees it; the
        blank rows below the last line written are not part of it."""
        lines = self.tmux("capture-pane", "-p", "-J", "-S", "-", "-E", "-").split("\n")
        while lines and not lines[-1].strip():
            lines.pop()
        return lines

    def type(self, text):
        self.tmux("send-keys", "-l", text)
        self.tmux("send-keys", "Enter")

    def exit_status(self):
        """The command's exit status, or None while it runs. Once it is known the pane is waited
        for until tmux has read the command's last output, so that the screen is then whole."""
        try:
            with open(self.status) as f:
                status = int(f.read())
        except FileNotFoundError:
            return None
        deadline = time.monotonic() + 10
        while self.tmux("display-message", "-p", "#{pane_dead}").strip() != "1":
            if time.monotonic() > deadline:
                raise AssertionError("the pane's shell wrote its status but did not end")
            time.sleep(0.1)
        return status

    def close(self):
        subprocess.run(["tmux", "-L", self.socket, "kill-server"], stderr=subprocess.DEVNULL)
        os.unlink(self.config)
        if os.path.exists(self.status):
            os.unlink(self.status)


def render(stream, tabs_blank):
    """The lines a terminal shows for `stream`: a carriage return goes back to the line's start,
    later characters overwrite earlier ones. A Windows console writes a tab as blanks up to the
    next tab stop; a Linux terminal only moves the cursor. Blanks at a line's end are not
    compared: the consoles differ in which they write."""
    lines, col = [[]], 0
    for ch in stream:
        if ch == "\n":
            lines.append([])
            col = 0
        elif ch == "\r":
            col = 0
        elif ch == "\t":
            stop = (col // 8 + 1) * 8
            if tabs_blank:
                for c in range(col, stop):
                    put(lines[-1], c, " ")
            col = stop
        else:
            put(lines[-1], col, ch)
            col += 1
    return ["".join(line).rstrip() for line in lines]


def put(line, col, ch):
    line.extend(" " * (col + 1 - len(line)))
    line[col] = ch


def expected_dialogue(scenario, tabs_blank):
    """The program's part of the screen: the demo's blank line, then the program's output with
    each answer echoed where it was typed (the line end after it is the demo's)."""
    return render("\n" + "".join(text for kind, text in scenario.steps), tabs_blank)


def wait_for(terminal, marker, after, patience):
    """Waits until a line from index `after` on holds `marker`; that line's index."""
    deadline = time.monotonic() + patience
    while True:
        ended = terminal.exit_status() is not None
        lines = terminal.lines()
        for i in range(after, len(lines)):
            if marker in lines[i]:
                return i
        if ended or time.monotonic() > deadline:
            raise AssertionError("%r never came on the screen; it ends with:\n%s"
                                 % (marker, "\n".join(lines[-40:])))
        time.sleep(0.2)


def play(build):
    """Runs the demo and answers it; the screen's lines and the demo's exit status."""
    command = "scripts/demo" + (" " + build if build else "")
    scenario = Scenario(SCENARIO)
    terminal = Terminal(command, dict(os.environ, TERM="xterm"))
    try:
        line, patience = 0, FIRST_PROMPT_PATIENCE
        out = ""
        for kind, text in scenario.steps:
            if kind == "out":
                out += text
                continue
            prompt = out.rstrip("\n").rsplit("\n", 1)[-1]
            line = wait_for(terminal, prompt, line, patience) + 1
            out, patience = "", PATIENCE
            terminal.type(text.rstrip("\n"))
        deadline = time.monotonic() + FIRST_PROMPT_PATIENCE
        while terminal.exit_status() is None:
            if time.monotonic() > deadline:
                raise AssertionError("the demo did not end:\n" + "\n".join(terminal.lines()[-40:]))
            time.sleep(0.5)
        return terminal.lines(), terminal.exit_status(), scenario
    finally:
        terminal.close()


def check(lines, status, scenario, build):
    """What differs from what the demo must show (empty when all is right)."""
    problems = []
    text = "\n".join(lines)
    if status != 0:
        problems.append("the demo ended with exit status %d" % status)
    program = {"linux": "build/linux/ovuninst", "win64": "build/win64/ovuninst.exe",
               "win32": "build/win32/ovuninst.exe"}[build]
    starts = [i for i, l in enumerate(lines) if l.startswith("demo: running ")]
    ends = [i for i, l in enumerate(lines) if l.startswith("demo: the program ended")]
    if len(starts) != 1 or len(ends) != 1 or ends[0] <= starts[0]:
        return problems + ["the screen holds no one run of the program:\n" + text]
    if not re.match(r"demo: running %s( under Wine)?;" % re.escape(program), lines[starts[0]]):
        problems.append("the demo ran another program than %s: %s" % (program, lines[starts[0]]))
    shown = [line.rstrip() for line in lines[starts[0] + 1:ends[0]]]
    expected = expected_dialogue(scenario, tabs_blank=build != "linux")
    if shown != expected:
        problems.append("the dialogue differs:\nexpected:\n%s\nshown:\n%s"
                        % ("\n".join(map(repr, expected)), "\n".join(map(repr, shown))))
    if lines[ends[0]] != "demo: the program ended with exit status 0":
        problems.append(lines[ends[0]])
    for what, count in COUNTS.items():
        found = re.findall(r"^demo: %s: (\d+)$" % what, text, re.M)
        if found != [str(count)]:
            problems.append("%s: %s shown, %d expected" % (what, found or "none", count))
    problems += ["not among the kept: %s" % k for k in KEPT
                 if not any(l.startswith("    +") and k in l for l in lines)]
    return problems


def main():
    build = sys.argv[1] if len(sys.argv) > 1 else ""
    expected = build or ("win64" if why_no_32bit() else "win32")
    lines, status, scenario = play(build)
    problems = check(lines, status, scenario, expected)
    if build == "" and expected == "win64" and not any(
            l.startswith("demo: the 32-bit program cannot run here:") for l in lines):
        problems.append("the demo did not say why it showed the 64-bit build")
    for problem in problems:
        print("FAIL: " + problem)
    if not problems:
        print("PASS: scripts/demo%s ran %s to its summary" % (" " + build if build else "",
                                                                expected))
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
