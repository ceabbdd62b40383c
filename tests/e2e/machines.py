"""The two machines a scenario is played on: the Linux layer's machine folder and a Wine prefix.

Both give the same operations: import a registry file, place files and folders, make the
maker's machine-wide key refuse writes (a restricted user), run the program, export a key.
"""

import contextlib
import fcntl
import os
import shutil
import subprocess
import tempfile
import time

from dialogue import play
import regfile
import wine_prefix
from wine_prefix import PrefixError, clean_environment

# The file whose first byte the tests that start or stop the maker's processes lock
# (tests/support/maker_process_lock_posix.cpp).
MAKER_PROCESS_LOCK = "/tmp/ovuninst-maker-processes.lock"
# The key a restricted user may read but not write: the rights probe's key.
RIGHTS_PROBE_KEY = r"HKEY_CLASSES_ROOT\Software\Orvane"


class MachineError(RuntimeError):
    pass


def run_tool(command, env, what, cwd=None, timeout=120):
    """Runs a tool and returns what it printed. The output goes through a file, not a pipe:
    Wine's background processes inherit it and would hold a pipe open long after."""
    with tempfile.TemporaryFile() as out:
        try:
            done = subprocess.run(command, env=env, cwd=cwd, stdin=subprocess.DEVNULL,
                                  stdout=out, stderr=subprocess.STDOUT, timeout=timeout)
        except subprocess.TimeoutExpired:
            raise MachineError("%s took over %d s: %s" % (what, timeout, " ".join(command)))
        out.seek(0)
        text = out.read().decode("utf-8", "replace")
    if done.returncode != 0:
        raise MachineError("%s failed (exit %d): %s\n%s" % (what, done.returncode,
                           " ".join(command), text))
    return text


@contextlib.contextmanager
def maker_process_lock():
    """The host-wide lock of everything that starts or stops processes under the maker's names:
    the first byte of one file, locked as the test programs lock it (fcntl)."""
    with open(MAKER_PROCESS_LOCK, "a") as lock:
        fcntl.lockf(lock, fcntl.LOCK_EX, 1, 0)
        try:
            yield
        finally:
            fcntl.lockf(lock, fcntl.LOCK_UN, 1, 0)


def host_path(drive_c, windows_path, encoding=None):
    """The host path of a C: path, each component matched case-insensitively when the exact name
    is absent, as Windows and Wine do. With an encoding the names are host bytes in that code
    page (the Linux layer names files by the program's own bytes), and a path is split at its
    backslash characters, never at a double-byte character's trail byte."""
    drive, _, rest = windows_path.partition(":")
    if drive.upper() != "C" or not rest.startswith("\\"):
        raise MachineError("only absolute C: paths can be placed: %r" % windows_path)
    path = drive_c if encoding is None else os.fsencode(drive_c)
    text = (lambda n: n) if encoding is None else (lambda n: n.decode(encoding, "replace"))
    for part in [p for p in rest.split("\\") if p]:
        if part in (".", ".."):
            raise MachineError("no '.' or '..' in machine paths: %r" % windows_path)
        exact = os.path.join(path, part if encoding is None else part.encode(encoding))
        if not os.path.exists(exact) and os.path.isdir(path):
            same = [n for n in os.listdir(path) if text(n).lower() == part.lower()]
            if same:
                exact = os.path.join(path, same[0])
        path = exact
    return path


def write_new_file(path, data):
    """Writes a file as a new inode: a prefix copy shares its files with the template by hard
    links, and writing through one would change them all."""
    os.makedirs(os.path.dirname(path), exist_ok=True)
    if os.path.lexists(path):
        os.unlink(path)
    with open(path, "wb") as f:
        f.write(data)


def empty_reg_file(folder):
    path = os.path.join(folder, "empty.reg")
    with open(path, "w") as f:
        f.write("REGEDIT4\n\n")
    return path


# The locale under which Wine's code page is the one named.
WINE_LOCALES = {932: "ja_JP.UTF-8"}


class Machine:
    crlf = False
    names = None  # the code page of host file names, where they are the program's own bytes

    def __init__(self, folder):
        self.folder = folder

    def drive_c(self):
        return os.path.join(self.folder, "drive_c")

    def place_file(self, windows_path, data):
        write_new_file(self.host(windows_path), data)

    def place_folder(self, windows_path):
        os.makedirs(self.host(windows_path), exist_ok=True)

    def exists(self, windows_path):
        return os.path.lexists(self.host(windows_path))

    def read(self, windows_path):
        """A file's bytes, or None when it is missing."""
        path = self.host(windows_path)
        if not os.path.isfile(path):
            return None
        with open(path, "rb") as f:
            return f.read()

    def tree(self, windows_path):
        """Everything below a folder, as paths relative to it (a folder's with a trailing
        backslash), or None when the folder is missing."""
        top = self.host(windows_path)
        if not os.path.isdir(top):
            return None
        text = (lambda n: n) if self.names is None else (lambda n: n.decode(self.names))
        entries = []
        for folder, subfolders, files in os.walk(top):
            below = text(os.path.relpath(folder, top))
            prefix = "" if below == "." else below.replace("/", "\\") + "\\"
            entries += [prefix + text(n) + "\\" for n in subfolders]
            entries += [prefix + text(n) for n in files]
        return entries

    def host(self, windows_path):
        return host_path(self.drive_c(), windows_path, self.names)

    def place_link(self, windows_path, target):
        """Makes a folder link: a host symbolic link to the target folder (made when missing),
        which the layer and Wine both report as a folder reparse point and follow."""
        host, target_host = self.host(windows_path), self.host(target)
        os.makedirs(target_host, exist_ok=True)
        os.makedirs(os.path.dirname(host), exist_ok=True)
        os.symlink(target_host, host, target_is_directory=True)

    # The user's hive as a registry link names it: Wine's one user, and the Linux layer's.
    USER_HIVE = r"\Registry\User\S-1-5-21-0-0-0-1000"

    @classmethod
    def kernel_path(cls, key):
        """A key as a registry link names it: its kernel path (no registry view applies)."""
        root, _, rest = key.partition("\\")
        base = {"HKEY_CURRENT_USER": cls.USER_HIVE, "HKEY_LOCAL_MACHINE": r"\Registry\Machine",
                "HKEY_CLASSES_ROOT": r"\Registry\Machine\Software\Classes"}.get(root.upper())
        if base is None:
            raise MachineError("a registry link names a key below HKEY_CURRENT_USER, "
                               "HKEY_LOCAL_MACHINE or HKEY_CLASSES_ROOT: %r" % key)
        return base + ("\\" + rest if rest else "")

    def link_keys(self, linker, links):
        """Makes registry link keys with the build's e2e_link_key: {link key: key it names}."""
        if not linker or not os.path.exists(linker):
            raise MachineError("no registry link helper (e2e_link_key) built for this build")
        args = []
        for link, target in links.items():
            args += [link, self.kernel_path(target)]
        self.run_helper([linker] + args, "making registry links")

    def use_code_page(self, code_page):
        """Makes the machine's ANSI code page `code_page` before anything is placed in it."""
        raise MachineError("code page %d is not available on this machine" % code_page)

    def profile_folder(self):
        """The user's profile folder, as USERPROFILE names it in a fresh Wine prefix: told once,
        on the fresh machine, before a scenario places other users' profiles beside it."""
        if getattr(self, "_profile", None) is None:
            self._profile = self._find_profile()
        return self._profile

    def _find_profile(self):
        users = os.path.join(self.drive_c(), "users")
        names = [n for n in os.listdir(users) if n.lower() not in ("public", "default") and
                 os.path.isdir(os.path.join(users, n))]
        if len(names) != 1:
            raise MachineError("cannot tell the user's profile among %s" % names)
        return r"C:\users\%s" % names[0]

    def temp_folder(self):
        """The profile's Temp folder: TEMP and TMP name it, as in a fresh Wine prefix."""
        return self.profile_folder() + r"\Temp"

    def temp_env(self, temp):
        """What the program's environment needs for it to use `temp`."""
        return {}

    def set_attributes(self, windows_path, letters):
        """Gives a placed file the attributes named by the letters R (read-only), H (hidden)
        and S (system)."""
        raise MachineError("this machine cannot set file attributes")

    def hold(self, windows_paths):
        """Starts another process holding the files open without delete sharing; what
        release() takes to stop it."""
        raise MachineError("this machine cannot hold files open from another process")

    def release(self, holder):
        pass

    @staticmethod
    def maker_processes():
        """Held while the program may stop the processes it finds under the maker's names: under
        Wine those are the prefix's own, so nothing is shared."""
        return contextlib.nullcontext()

    def program_path(self, host):
        """A host file as the program names it."""
        return host

    def dump(self, key):
        """The tree of `key` with its values' exact bytes, names and texts read byte for byte
        (as latin-1), or None when the key does not exist: the layer's ovregedit /E exports them
        so."""
        out = os.path.join(self.folder, "..", "dump.reg")
        if os.path.exists(out):
            os.unlink(out)
        self._export(regfile.canonical_key(key), out)
        return regfile.parse_file(out, "latin-1") if os.path.exists(out) else None

    def export(self, key):
        """The tree of `key` as the program's view of the registry holds it, or None when the key
        does not exist."""
        out = os.path.join(self.folder, "..", "export.reg")
        if os.path.exists(out):
            os.unlink(out)
        self._export(regfile.canonical_key(key), out)
        if not os.path.exists(out):
            return None
        return regfile.parse_file(out)


class LinuxMachine(Machine):
    """A machine folder of the Linux layer, named to the program by OVUNINST_MACHINE."""

    system_folder = r"C:\windows\system32"

    def __init__(self, workdir, program, regedit):
        super().__init__(os.path.join(workdir, "machine"))
        if not regedit or not os.path.exists(regedit):
            raise MachineError("the Linux build has no ovregedit yet: the machine cannot be made")
        self.program, self.regedit = program, regedit
        self.env = clean_environment()
        self.env["OVUNINST_MACHINE"] = self.folder

    def start(self):
        # The layer makes the machine (a fresh Windows's folders and values) on first use.
        os.makedirs(self.folder)
        self.import_reg(empty_reg_file(os.path.dirname(self.folder)))
        if not os.path.isdir(self.drive_c()):
            raise MachineError("ovregedit made no drive_c in %s" % self.folder)

    def import_reg(self, path):
        run_tool([self.regedit, "/S", path], self.env, "importing " + path)

    def run_helper(self, command, what):
        run_tool(command, self.env, what)

    def temp_env(self, temp):
        # The layer takes TMP, TEMP and USERPROFILE as Windows sets them; the host's own are
        # passed over.
        return {"TMP": temp, "TEMP": temp, "USERPROFILE": self.profile_folder()}

    def use_code_page(self, code_page):
        path = os.path.join(os.path.dirname(self.folder), "code_page.reg")
        with open(path, "w") as f:
            f.write("REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\System\\CurrentControlSet\\Control\\Nls\\"
                    "CodePage]\n\"ACP\"=\"%d\"\n\n" % code_page)
        self.import_reg(path)
        self.names = "cp%d" % code_page

    def set_attributes(self, windows_path, letters):
        # The layer keeps the read-only attribute as the host's write permissions; it keeps no
        # hidden or system attribute, so those letters set nothing here.
        if "R" in letters:
            path = self.host(windows_path)
            os.chmod(path, os.stat(path).st_mode & ~0o222)

    def restrict(self):
        # A restricted user is a machine whose HKEY_LOCAL_MACHINE refuses writes.
        with open(os.path.join(self.folder, "readonly-roots"), "w") as f:
            f.write("HKEY_LOCAL_MACHINE\n")

    @staticmethod
    def maker_processes():
        """Held while the program may stop processes under the maker's names, which on the
        layer are the host's: the lock that the tests starting such processes hold."""
        return maker_process_lock()

    def play(self, steps, env):
        with self.maker_processes():
            return play([self.program], steps, env=dict(self.env, **env), cwd=self.drive_c(),
                        crlf=False)

    def settle(self):
        pass

    def run_command(self, line, folder, env):
        raise MachineError("the Linux layer has no command interpreter to run %r" % line)

    def run_at_console(self):
        """Runs the program on this terminal, for a person to answer."""
        return subprocess.run([self.program], env=self.env, cwd=self.drive_c()).returncode

    def _export(self, key, out):
        subprocess.run([self.regedit, "/E", out, key], env=self.env, stdin=subprocess.DEVNULL,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=60)

    def stop(self, save=False):
        pass


# How each Windows build is run under Wine: the 32-bit program through the `wine` wrapper (the
# 32-bit loader) and seeing the WOW64 views, the 64-bit one through the 64-bit loader, called by
# path because the wrapper picks the 32-bit loader whenever it is installed.
WINE_BUILDS = {
    "win32": {"system_folder": r"C:\windows\syswow64",
              "regedit": r"C:\windows\syswow64\regedit.exe"},
    "win64": {"system_folder": r"C:\windows\system32", "regedit": r"C:\windows\regedit.exe"},
}


class WineTemplate:
    """One fresh 64-bit prefix, made once and kept (<build folder>/e2e/wine-template), that every
    scenario copies. It is made by the 64-bit loader, which runs on every machine."""

    def __init__(self, folder):
        self.folder = folder

    def ensure(self, log=print):
        """Makes the template unless a made one of this Wine is there (wine_prefix.make)."""
        try:
            wine_prefix.make(self.folder, "win64", say=log)
        except PrefixError as e:
            raise MachineError(str(e)) from None


class WineMachine(Machine):
    """A 64-bit prefix copied from the template, with its own wineserver while it is used. The
    32-bit program sees the WOW64 views, so the 32-bit regedit imports and exports for it; the
    64-bit program sees the 64-bit views and the 64-bit regedit serves it."""

    crlf = True

    def __init__(self, workdir, program, template, restrict_helper, build="win32", holder=None,
                 dumper=None):
        super().__init__(os.path.join(workdir, "prefix"))
        self.program, self.template, self.helper = program, template, restrict_helper
        self.holder, self.dumper = holder, dumper
        self.restricted = False
        self.build = build
        self.loader = wine_prefix.loader(build)
        self.system_folder = WINE_BUILDS[build]["system_folder"]
        self.regedit = WINE_BUILDS[build]["regedit"]
        self.env = wine_prefix.wine_env(self.folder, "win64", build)

    def start(self):
        # Hard links make the copy cheap; the files Wine rewrites in place (the registry files
        # at the top, the .ini files of the Windows folder) get real copies of their own.
        subprocess.run(["cp", "-al", self.template.folder, self.folder], check=True)
        rewritten = [n for n in os.listdir(self.folder) if n.endswith(".reg")]
        windows = os.path.join("drive_c", "windows")
        rewritten += [os.path.join(windows, n) for n in os.listdir(os.path.join(self.folder,
                      windows)) if n.lower().endswith(".ini")]
        for name in rewritten:
            target = os.path.join(self.folder, name)
            os.unlink(target)
            shutil.copy2(os.path.join(self.template.folder, name), target)
        self.start_session()

    def start_session(self):
        """A persistent wineserver of the machine's own, its services started by a process of
        their own, so that they never hold the program's pipes nor write into its output."""
        try:
            wine_prefix.start(self.folder, "win64", self.build)
        except PrefixError as e:
            raise MachineError(str(e)) from None

    def wine(self, args, what):
        return run_tool(self.loader + args, self.env, what)

    def run_helper(self, command, what):
        self.wine(command, what)

    @staticmethod
    def windows_path(host):
        return "Z:" + os.path.abspath(host).replace("/", "\\")

    def program_path(self, host):
        return self.windows_path(host)

    def use_code_page(self, code_page):
        # Wine takes its code page from the locale: every later Wine process runs under it, the
        # imports included, so that the registry files' bytes are read in that code page.
        if code_page not in WINE_LOCALES:
            raise MachineError("no locale known for code page %d under Wine" % code_page)
        self.env["LC_ALL"] = WINE_LOCALES[code_page]

    def import_reg(self, path):
        out = self.wine([self.regedit, "/S", self.windows_path(path)], "importing " + path)
        if out.strip():  # regedit exits 0 even when it refuses a file; it says so, though
            raise MachineError("regedit could not import %s:\n%s" % (path, out))

    def restrict(self):
        # Wine runs everyone as an administrator. It does check a key's own access rights when
        # the key is opened or created again, but not the parent's when a new key is created;
        # so the probe's key is made to exist, for this session only, with rights to read it.
        if not self.helper or not os.path.exists(self.helper):
            raise MachineError("no read-only key helper built for the Wine build")
        self.wine([self.helper, RIGHTS_PROBE_KEY], "making the maker's key read-only")
        self.restricted = True

    def set_attributes(self, windows_path, letters):
        # Wine's own attrib, which keeps hidden and system where Windows would (in the host
        # file's extended attributes); what it then reports is checked.
        for letter in letters:  # Wine's attrib takes one change a call
            self.wine(["attrib", "+" + letter, windows_path], "attrib")
        shown = self.wine(["attrib", windows_path], "attrib").split(windows_path[0])[0]
        if any(a not in shown.upper() for a in letters):
            raise MachineError("Wine did not keep %s on %s (attrib shows %r)"
                               % (letters, windows_path, shown))

    HOLD_PATIENCE = 30.0

    def hold(self, windows_paths):
        # e2e_hold_file.exe opens the files without delete sharing, then creates the ready
        # file and sleeps until it is killed.
        if not self.holder or not os.path.exists(self.holder):
            raise MachineError("no file-holding helper built for the Wine build")
        ready = os.path.join(os.path.dirname(self.folder), "held.ready")
        log = open(os.path.join(os.path.dirname(self.folder), "holder.txt"), "wb")
        process = subprocess.Popen(self.loader + [self.holder, self.windows_path(ready)] +
                                   list(windows_paths), env=self.env, stdin=subprocess.DEVNULL,
                                   stdout=log, stderr=subprocess.STDOUT, start_new_session=True)
        log.close()
        deadline = time.monotonic() + self.HOLD_PATIENCE
        while not os.path.exists(ready):
            if process.poll() is not None or time.monotonic() > deadline:
                self.release(process)
                with open(os.path.join(os.path.dirname(self.folder), "holder.txt")) as f:
                    raise MachineError("the holder did not take the files: " + f.read())
            time.sleep(0.05)
        return process

    def release(self, holder):
        # The holder and the Wine process it became are killed; the wineserver closes its
        # handles.
        if holder is not None and holder.poll() is None:
            os.killpg(holder.pid, 9)
            holder.wait()

    def play(self, steps, env):
        run_env = dict(self.env, WINEDEBUG="fixme-all", **env)
        return play(self.loader + [self.program], steps, env=run_env, cwd=self.drive_c(),
                    crlf=True)

    def run_command(self, line, folder, env, timeout=120):
        """Runs a command line through Wine's cmd in `folder`, as typed at a prompt there (from a
        batch file that echoes nothing: a line cannot pass through Wine's quoting of a command
        line unchanged). Its standard output, exit status and standard error."""
        batch = os.path.join(os.path.dirname(self.folder), "command.cmd")
        with open(batch, "wb") as f:
            f.write(b"@echo off\r\n" + line.encode("latin-1") + b"\r\n")
        run_env = dict(self.env, WINEDEBUG="fixme-all", **env)
        # Files, not pipes: Wine's background processes inherit them and would hold a pipe open.
        with tempfile.TemporaryFile() as out, tempfile.TemporaryFile() as err:
            try:
                done = subprocess.run(self.loader + ["cmd", "/c", self.windows_path(batch)],
                                      env=run_env, cwd=self.host(folder), stdin=subprocess.DEVNULL,
                                      stdout=out, stderr=err, timeout=timeout)
            except subprocess.TimeoutExpired:
                raise MachineError("the command took over %d s: %s" % (timeout, line))
            out.seek(0)
            err.seek(0)
            return (out.read().decode("latin-1"), done.returncode,
                    err.read().decode("utf-8", "replace"))

    def run_at_console(self):
        # With no display, every Wine process says on the terminal that it could start no desktop
        # (winediag, systray): that noise is kept off the person's screen, other errors are not.
        env = dict(self.env, WINEDEBUG="fixme-all,err-winediag,err-systray")
        return subprocess.run(self.loader + [self.program], env=env, cwd=self.drive_c()).returncode

    def settle(self):
        # After a restricted run, restarting the wineserver saves what the program wrote and
        # drops what was there only for the session (the volatile keys, the read-only rights):
        # the machine is then what a restart of Windows would find.
        if self.restricted:
            self.stop(save=True)
            self.start_session()

    def dump(self, key):
        # Wine's regedit /E cuts a text at a zero inside it: e2e_dump_keys.exe, run by the build's
        # loader in the program's view, writes every value's bytes.
        if not self.dumper or not os.path.exists(self.dumper):
            raise MachineError("no key-dumping helper built for the Wine build")
        out = os.path.join(self.folder, "..", "dump.reg")
        if os.path.exists(out):
            os.unlink(out)
        self.wine([self.dumper, self.windows_path(out), regfile.canonical_key(key)],
                  "dumping " + key)
        return regfile.parse_file(out, "latin-1") if os.path.exists(out) else None

    def _export(self, key, out):
        # Wine's regedit exports in UTF-16LE ("Version 5.00"); it exits 0 whatever happened, and
        # for a key that does not exist it writes no file and says it could not open the key.
        said = self.wine([self.regedit, "/E", self.windows_path(out), key], "exporting " + key)
        if not os.path.exists(out) and "Unable to open the registry key" not in said:
            raise MachineError("regedit wrote no export of [%s]:\n%s" % (key, said))

    def stop(self, save=False):
        # Without saving, the server is simply killed: the copy's registry files are not needed.
        wine_prefix.stop_server(self.env, save)
