#!/usr/bin/env python3
"""Wine for the tests, the demo and the benchmarks: whether this machine runs 32-bit programs,
making a prefix, and starting a session in one. scripts/wine-env calls it for the unit tests'
prefixes; the end-to-end runner makes its template prefix and starts each machine's session here.

    wine_prefix.py why-no-32bit          prints why no 32-bit program can run here (exit 1), or
                                         nothing when one can (exit 0)
    wine_prefix.py make FOLDER win32|win64    makes the prefix unless a made one is there
    wine_prefix.py start FOLDER win32|win64   makes it if needed and starts a persistent session

Some machines are virtualised without a 32-bit user mode: no i386 program starts there, Wine's
32-bit loader included, while Wine's 64-bit loader runs 64-bit Windows programs. The `wine`
wrapper picks the 32-bit loader whenever it is installed, so the 64-bit side calls its loader by
path. OV_NO_32BIT=1 makes the probe answer no, to try the other case on a machine that can.
"""

import fcntl
import functools
import os
import shutil
import subprocess
import sys
import time

WINE64 = "/usr/lib/wine/wine64"
WINE32 = "/usr/lib/wine/wine"
# The profile folders a fresh prefix links to the host's home folder.
HOST_LINKED = ("Desktop", "Documents", "Downloads", "Music", "Pictures", "Templates", "Videos")
MAKE_TRIES = 3


class PrefixError(RuntimeError):
    pass


def why_no_32bit():
    """Why this machine cannot run a 32-bit x86 program, or None when it can."""
    if os.environ.get("OV_NO_32BIT"):
        return "OV_NO_32BIT is set"
    if not os.path.exists("/lib/ld-linux.so.2"):
        return "the i386 loader /lib/ld-linux.so.2 is not installed"
    try:
        subprocess.run(["/lib/ld-linux.so.2", "--version"], stdout=subprocess.DEVNULL,
                       stderr=subprocess.PIPE, check=True)
    except (OSError, subprocess.CalledProcessError) as e:
        return "this machine has no 32-bit user mode (/lib/ld-linux.so.2: %s)" % e
    if not os.access(WINE32, os.X_OK):
        return "Wine's 32-bit loader (wine32:i386) is not installed"
    return None


def clean_environment():
    env = dict(os.environ)
    for name in ("DISPLAY", "WAYLAND_DISPLAY", "WINEPREFIX", "WINEARCH", "WINEDEBUG",
                 "WINEDLLOVERRIDES", "WINELOADER", "OVUNINST_MACHINE"):
        env.pop(name, None)
    return env


@functools.lru_cache(maxsize=None)
def fixed_layout():
    """The command every Wine process is started through: address randomisation off. Debian's
    Wine has no preloader to reserve the shared user data page at 0x7ffe0000 before anything is
    mapped, and the 64-bit loader sits at 0x7d000000 with its heap started up to 1 GiB above it
    at random: now and then (rarely, the heap being small then) it lands on that page and the
    process dies at its start ("failed to map the shared user data: c0000018"). Without
    randomisation the heap starts right after the loader, clear of it every time; the processes
    a Wine process starts inherit the setting."""
    try:
        if subprocess.run(["setarch", "-R", "true"], stdout=subprocess.DEVNULL,
                          stderr=subprocess.DEVNULL).returncode == 0:
            return ("setarch", "-R")
    except OSError:
        pass
    print("wine-prefix: address randomisation cannot be turned off here (setarch -R failed): "
          "a 64-bit Wine process may fail at its start at random (c0000018)", file=sys.stderr)
    return ()


def loader(arch):
    """The command that runs the programs of a prefix of this architecture, as a list: a 32-bit
    prefix's through the wrapper, a 64-bit one's by path, both with a fixed layout."""
    return list(fixed_layout()) + ["wine" if arch == "win32" else WINE64]


def wine_env(folder, arch, loader_arch=None):
    """The environment of Wine processes in the prefix `folder`; `loader_arch` is the program's
    when it differs from the prefix's (the 32-bit program in a 64-bit prefix)."""
    env = clean_environment()
    env.update(WINEPREFIX=folder, WINEARCH=arch, WINEDEBUG="-all",
               WINEDLLOVERRIDES="mscoree,mshtml=")
    if (loader_arch or arch) == "win64":
        env["WINELOADER"] = WINE64
    return env


def version():
    if not os.access(WINE64, os.X_OK):
        raise PrefixError("Wine's 64-bit loader %s is not installed: run scripts/setup" % WINE64)
    return subprocess.run([WINE64, "--version"], stdout=subprocess.PIPE,
                          stderr=subprocess.DEVNULL).stdout.decode().strip()


def run_logged(command, env, log, timeout):
    """Runs a Wine process with its output appended to `log` (a file, not a pipe: the
    session's background processes inherit it and would hold a pipe open); its exit status, or
    None when it took longer than `timeout`."""
    with open(log, "ab") as out:
        out.write(("$ %s\n" % " ".join(command)).encode())
        out.flush()
        try:
            return subprocess.run(command, env=env, stdin=subprocess.DEVNULL, stdout=out,
                                  stderr=subprocess.STDOUT, timeout=timeout).returncode
        except subprocess.TimeoutExpired:
            return None


def stop_server(env, save=True):
    """Ends the prefix's wineserver and every process of its session, and waits until it is
    gone: with `save` the registry is written back first."""
    subprocess.run(["wineserver", "-k"] if save else ["wineserver", "-k", "9"], env=env,
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    subprocess.run(["wineserver", "-w"], env=env, stdout=subprocess.DEVNULL,
                   stderr=subprocess.DEVNULL)


def own_profile_folders(folder):
    """A fresh prefix links the profile's Desktop, Documents, Music and the like to the host's
    home folder: a removal reaching them would reach the host's own files. They become empty
    folders of the prefix."""
    users = os.path.join(folder, "drive_c", "users")
    for user in os.listdir(users):
        for name in HOST_LINKED:
            path = os.path.join(users, user, name)
            if os.path.islink(path):
                os.unlink(path)
                os.mkdir(path)


def boot(folder, arch, log):
    """Makes the prefix once; what went wrong, or "" when it was made."""
    shutil.rmtree(folder, ignore_errors=True)
    os.makedirs(os.path.dirname(folder), exist_ok=True)
    env = wine_env(folder, arch)
    status = run_logged(loader(arch) + ["wineboot", "-i"], env, log, 300)
    # The session wineboot ran lingers while its services end; it is ended here, its registry
    # saved, so that no process of it runs on when the prefix is used.
    stop_server(env)
    if status != 0:
        return "wineboot -i %s (its output is in %s)" % (
            "took over 300 s" if status is None else "exited %d" % status, log)
    if not os.path.exists(os.path.join(folder, "system.reg")):
        return "wineboot -i succeeded but left no system.reg (its output is in %s)" % log
    own_profile_folders(folder)
    return ""


def make(folder, arch, say=print):
    """Makes the prefix unless a made one of this Wine is there; one maker at a time. A prefix
    counts as made only when wineboot succeeded and left its registry (a failed wineboot can
    leave a system.reg behind): a half-made prefix is made again, up to three times, each retry
    naming what failed."""
    folder = os.path.abspath(folder)
    stamp = os.path.join(folder, ".ovuninst-prefix")
    os.makedirs(os.path.dirname(folder), exist_ok=True)
    with open(folder + ".lock", "w") as lock:
        fcntl.flock(lock, fcntl.LOCK_EX)
        wanted = version()
        try:
            with open(stamp) as f:
                if f.read().strip() == wanted:
                    return
        except OSError:
            pass
        log = folder + ".boot.txt"
        if os.path.exists(log):
            os.unlink(log)
        started = time.monotonic()
        for attempt in range(1, MAKE_TRIES + 1):
            why = boot(folder, arch, log)
            if not why:
                with open(stamp, "w") as f:
                    f.write(wanted + "\n")
                say("wine-prefix: made %s (%s) in %.1f s" % (folder, arch,
                                                             time.monotonic() - started))
                return
            if attempt < MAKE_TRIES:
                say("wine-prefix: making %s failed: %s; making it again (try %d of %d)"
                    % (folder, why, attempt + 1, MAKE_TRIES))
        raise PrefixError("Wine could not make the prefix %s in %d tries: %s"
                          % (folder, MAKE_TRIES, why))


def start(folder, arch, loader_arch=None):
    """Starts a persistent session in the prefix: its own new wineserver (any server already
    serving the prefix is ended first), then one process, whose session start brings up Wine's
    services. They inherit that process's output, which goes to <prefix>.session.txt, so that a
    service's own messages (a crash at its start among them) never land in the output of a
    program under test."""
    folder = os.path.abspath(folder)
    env = wine_env(folder, arch, loader_arch)
    stop_server(env)
    log = folder + ".session.txt"
    if os.path.exists(log):
        os.unlink(log)
    # The server goes on in the background with the output it was given: a file, never a pipe
    # that a caller would wait on.
    status = run_logged(["wineserver", "-p"], env, log, 60)
    if status != 0:
        raise PrefixError("wineserver -p did not start a server for %s (%s); see %s" % (
            folder, "over 60 s" if status is None else "exit %d" % status, log))
    status = run_logged(loader(loader_arch or arch) + ["cmd", "/c", "exit"], env, log, 300)
    if status != 0:
        raise PrefixError("the first process of the session in %s failed (%s); see %s" % (
            folder, "over 300 s" if status is None else "exit %d" % status, log))


def main(argv):
    if argv[:1] == ["why-no-32bit"] and len(argv) == 1:
        why = why_no_32bit()
        if why:
            print(why)
        return 1 if why else 0
    if len(argv) == 3 and argv[0] in ("make", "start") and argv[2] in ("win32", "win64"):
        try:
            make(argv[1], argv[2])
            if argv[0] == "start":
                start(argv[1], argv[2])
        except PrefixError as e:
            print("wine-prefix: %s" % e, file=sys.stderr)
            return 1
        return 0
    print(__doc__.split("\n\n")[1], file=sys.stderr)
    return 2


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
