"""Plays a console dialogue with the program the way a person at the keyboard does.

Each answer is written only once the output that precedes it in the expected transcript has
been read (or the output has already gone its own way, or the program has ended, or a patience
limit ran out), so nothing is ever typed ahead of its prompt, but for the answers a dialogue
types before the first prompt: those are in the pipe, whole, before the program starts. When the
answers run out, standard input is closed: the program then sees the end of input.
"""

import os
import signal
import subprocess
import threading
import time

# What a pipe holds before its writer must wait (Linux's default capacity).
PIPE_ROOM = 65536

class Output:
    """What the program wrote so far, read by a thread so the dialogue never blocks on it."""

    def __init__(self, stream, crlf):
        self._stream, self._crlf = stream, crlf
        self._raw = bytearray()
        self._ended = False
        self._changed = threading.Condition()
        self._thread = threading.Thread(target=self._read, daemon=True)
        self._thread.start()

    def _read(self):
        while True:
            chunk = self._stream.read1(65536)
            with self._changed:
                if not chunk:
                    self._ended = True
                    self._changed.notify_all()
                    return
                self._raw += chunk
                self._changed.notify_all()

    def text(self):
        """The output as one text, "\\r\\n" read as "\\n" on a build whose pipes are text mode
        (a "\\r" at the very end may then be half of a line end still on its way)."""
        data = bytes(self._raw)
        if self._crlf:
            data = data.replace(b"\r\n", b"\n")
        return data.decode("latin-1")

    def wait_for(self, expected, deadline):
        """Waits until `expected` has been read, the output can no longer become it, or the
        program's output ended (True), or until the deadline passed (False)."""
        with self._changed:
            while True:
                got = self.text()
                if got[:len(expected)] == expected:
                    return True
                pending = got[:-1] if self._crlf and got.endswith("\r") else got
                if not expected.startswith(pending) or self._ended:
                    return True
                left = deadline - time.monotonic()
                if left <= 0:
                    return False
                self._changed.wait(left)

    def finish(self, timeout):
        self._thread.join(timeout)
        return not self._thread.is_alive()


def play(command, steps, *, env, cwd, crlf, patience=10.0, timeout=60.0):
    """Runs `command` through the dialogue `steps`, a list of ("out", text) and ("type", text).
    Returns (transcript, exit status or None when it had to be killed, standard error, prompts
    that never came)."""
    # What is typed before the first prompt is in the pipe before the program starts, whole: a
    # write made after the start could reach the program only after a question had discarded
    # what was waiting, and then answer it.
    ahead = 0
    while ahead < len(steps) and steps[ahead][0] == "type":
        ahead += 1
    read_end, write_end = os.pipe()
    stdin = os.fdopen(write_end, "wb")
    if ahead:
        typed = "".join(text for _, text in steps[:ahead])
        data = (typed.replace("\n", "\r\n") if crlf else typed).encode("latin-1")
        if len(data) > PIPE_ROOM:
            raise ValueError("%d bytes typed ahead do not fit the pipe's %d" % (len(data), PIPE_ROOM))
        stdin.write(data)
        stdin.flush()
    try:
        process = subprocess.Popen(command, stdin=read_end, stdout=subprocess.PIPE,
                                   stderr=subprocess.PIPE, env=env, cwd=cwd,
                                   start_new_session=True)
    finally:
        os.close(read_end)
    process.stdin = stdin
    steps = steps[ahead:]
    output = Output(process.stdout, crlf)
    errors = []
    err_thread = threading.Thread(target=lambda: errors.append(process.stderr.read()),
                                  daemon=True)
    err_thread.start()

    expected_so_far, late = "", []
    for kind, text in steps:
        if kind == "out":
            expected_so_far += text
            continue
        if not output.wait_for(expected_so_far, time.monotonic() + patience):
            late.append("the prompt before the answer %r had not come after %.0f s (output held"
                        " back?); the output then ended with %r" % (text, patience,
                                                                     output.text()[-80:]))
        typed = text.replace("\n", "\r\n") if crlf else text
        try:
            process.stdin.write(typed.encode("latin-1"))
            process.stdin.flush()
        except (BrokenPipeError, OSError):
            break  # the program has stopped reading; the transcript will show where
    try:
        process.stdin.close()
    except (BrokenPipeError, OSError):
        pass

    try:
        status = process.wait(timeout)
    except subprocess.TimeoutExpired:
        os.killpg(process.pid, signal.SIGKILL)
        process.wait()
        status = None
    # A process the program started may hold the pipes open; what the program wrote is in them
    # by now.
    output.finish(2)
    err_thread.join(2)
    stderr = errors[0].decode("utf-8", "replace") if errors else ""
    return output.text(), status, stderr, late
