"""Scenarios: a machine, a dialogue, and what the registry and the files hold afterwards.

A scenario is one JSON file in scenarios/; registry files it names are in machines/; texts it
names as "@name" are in texts.json, so that a text every scenario shows is written once.
"""

import json
import os

import generate
import regfile

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(os.path.dirname(HERE))
SCENARIOS = os.path.join(HERE, "scenarios")
MACHINES = os.path.join(HERE, "machines")
TEXTS = os.path.join(HERE, "texts.json")
BUILDS = ("linux", "win32", "win64")

FIELDS = {
    "": {"about", "machine", "dialogue", "trace", "log", "registry_after", "files_after", "undo",
         "skip", "command"},
    "command": {"line", "folder", "program", "deploy", "transcript", "exit", "output"},
    "machine": {"extends", "reg", "folders", "files", "restricted", "maker_libraries", "env",
                "temp", "code_page", "attributes", "held", "generate", "links",
                "registry_links"},
    "registry_after": {"trees", "present", "absent"},
    "files_after": {"present", "absent", "only", "text"},
    "undo": {"trees", "gone"},
}


class ScenarioError(ValueError):
    pass


def names():
    return sorted(n[:-5] for n in os.listdir(SCENARIOS) if n.endswith(".json"))


def load_texts():
    with open(TEXTS, encoding="utf-8") as f:
        texts = json.load(f)
    return {k: "".join(v) if isinstance(v, list) else v for k, v in texts.items()
            if not k.startswith("_")}


def check_fields(data, where):
    allowed = FIELDS[where]
    unknown = set(data) - allowed
    if unknown:
        raise ScenarioError("unknown field(s) %s in %s" % (", ".join(sorted(unknown)),
                                                            where or "the scenario"))


def key_list(value, where):
    if not isinstance(value, list) or not all(isinstance(k, str) for k in value):
        raise ScenarioError("%s is a list of key paths" % where)
    return [regfile.canonical_key(k) for k in value]


def extended_machine(machine, chain=()):
    """The machine a scenario describes, with the machine of the scenario it names under
    "extends" (itself perhaps extending another) beneath it: lists are the base's and then its
    own, maps the base's with its own entries over them, other values its own."""
    check_fields(machine, "machine")
    base_name = machine.get("extends")
    if base_name is None:
        return machine
    if base_name in chain:
        raise ScenarioError("machine.extends goes round: %s" % " -> ".join(chain + (base_name,)))
    path = os.path.join(SCENARIOS, "%s.json" % base_name)
    if not isinstance(base_name, str) or not os.path.isfile(path):
        raise ScenarioError("machine.extends names no scenario %r" % (base_name,))
    with open(path, encoding="utf-8") as f:
        base = extended_machine(json.load(f).get("machine", {}), chain + (base_name,))
    merged = dict(base)
    for field, value in machine.items():
        below = merged.get(field)
        if field == "extends":
            continue
        if below is not None and type(value) is not type(below):
            raise ScenarioError("machine.%s is another kind of value than in %s"
                                % (field, base_name))
        if isinstance(value, list) and below is not None:
            merged[field] = below + value
        elif isinstance(value, dict) and below is not None:
            merged[field] = dict(below, **value)
        else:
            merged[field] = value
    return merged


class Scenario:
    def __init__(self, name, texts=None):
        path = os.path.join(SCENARIOS, name + ".json")
        if name.endswith(".json") and os.path.isfile(name):
            path, name = name, os.path.basename(name)[:-5]
        self.name = name
        if not os.path.exists(path):
            raise ScenarioError("no scenario %r (have: %s)" % (name, ", ".join(names())))
        with open(path, encoding="utf-8") as f:
            data = json.load(f)
        try:
            self._load(data, load_texts() if texts is None else texts)
        except (ScenarioError, regfile.RegFileError) as e:
            raise ScenarioError("%s: %s" % (path, e)) from None

    def _load(self, data, texts):
        check_fields(data, "")
        self.about = data.get("about", "")
        machine = extended_machine(data.get("machine", {}))
        self.reg_files = [self.machine_file(n) for n in machine.get("reg", [])]
        self.folders = list(machine.get("folders", []))
        self.files = {p: t.encode("latin-1") for p, t in machine.get("files", {}).items()}
        self.restricted = bool(machine.get("restricted", False))
        self.maker_libraries = dict(machine.get("maker_libraries", {}))
        self.env = dict(machine.get("env", {}))
        self.code_page = machine.get("code_page")
        self.links = self._links(machine.get("links", {}))
        # Registry link keys: each link key's path and the key it names, both as HKEY_... paths.
        self.registry_links = self._links(machine.get("registry_links", {}))
        # The temporary folder: there (None), "missing", or "file" (a file in the folder's place).
        self.temp = machine.get("temp")
        if self.temp not in (None, "missing", "file"):
            raise ScenarioError("machine.temp is \"missing\" or \"file\"")
        self._load_adversity(machine)
        self.steps = self._dialogue(data.get("dialogue", []), texts)
        self.command = self._command(data.get("command"))
        # The lines the maker's libraries write while the program runs; None: not checked.
        self.trace = data.get("trace")
        if self.trace is not None and not all(isinstance(t, str) for t in self.trace):
            raise ScenarioError("trace is a list of lines")
        # The removal log's lines, each a text in which "*" stands for any characters and "?" for
        # any one character; "none":
        # there must be no log. Without the field the log is not checked.
        self.log = data.get("log")
        if not (self.log is None or self.log == "none" or
                (isinstance(self.log, list) and all(isinstance(t, str) for t in self.log))):
            raise ScenarioError("log is a list of line patterns or \"none\"")
        registry = data.get("registry_after", {})
        check_fields(registry, "registry_after")
        self.trees = [self.machine_file(n) for n in registry.get("trees", [])]
        self.present = key_list(registry.get("present", []), "registry_after.present")
        self.absent = key_list(registry.get("absent", []), "registry_after.absent")
        files = data.get("files_after", {})
        check_fields(files, "files_after")
        self.files_present = list(files.get("present", []))
        self.files_absent = list(files.get("absent", []))
        # Folders whose whole content afterwards is listed: paths below the folder, a folder's
        # ending with a backslash.
        self.files_only = dict(files.get("only", {}))
        # Files whose whole content afterwards is given ("\r\n" read as "\n").
        self.files_text = {p: t.encode("latin-1") for p, t in files.get("text", {}).items()}
        self.files_text.update(self.generated.text_after)
        # The undo file's round trip: the trees exported before the run, and the keys below them
        # that the maker's setup library removes itself (the undo file does not hold those).
        undo = data.get("undo", {})
        check_fields(undo, "undo")
        self.undo_trees = key_list(undo.get("trees", []), "undo.trees")
        self.undo_gone = key_list(undo.get("gone", []), "undo.gone")
        self.skip = dict(data.get("skip", {}))
        if set(self.skip) - set(BUILDS):
            raise ScenarioError("skip names a build other than %s" % ", ".join(BUILDS))

    def _load_adversity(self, machine):
        """File attributes, files another process holds open, and generated machine parts."""
        # Attributes to give placed files and folders: letters R (read-only), H (hidden), S
        # (system).
        self.attributes = dict(machine.get("attributes", {}))
        if not all(isinstance(a, str) and set(a) <= set("RHS") for a in self.attributes.values()):
            raise ScenarioError("machine.attributes gives each path letters of R, H and S")
        # Files held open without delete sharing by another process while the program runs.
        self.held = list(machine.get("held", []))
        try:
            self.generated = generate.generate(machine.get("generate", []))
        except ValueError as e:
            raise ScenarioError(str(e)) from None
        self.files.update(self.generated.files)

    @staticmethod
    def _links(links):
        """Folder links to make: the Windows path of each link and of the folder it points at."""
        if not isinstance(links, dict) or not all(
                isinstance(k, str) and isinstance(v, str) for k, v in links.items()):
            raise ScenarioError("machine.links maps each link's path to its target folder's path")
        return dict(links)

    @staticmethod
    def _command(command):
        """A command line run by the command interpreter in place of the dialogue (the README's
        recipes, the fleet wrapper): the dialogue's texts are then what the transcript file
        holds."""
        if command is None:
            return None
        check_fields(command, "command")
        command = dict({"program": True, "deploy": [], "transcript": None, "exit": 0,
                        "output": None}, **command)
        if not isinstance(command.get("line"), str) or not isinstance(command.get("folder"), str):
            raise ScenarioError("command.line and command.folder are texts")
        if not isinstance(command["exit"], int) or not all(
                isinstance(d, str) and os.path.isfile(os.path.join(ROOT, d))
                for d in command["deploy"]):
            raise ScenarioError("command.exit is a number and command.deploy names files of "
                                "the repository")
        return command

    @staticmethod
    def machine_file(name):
        path = os.path.join(MACHINES, name)
        regfile.parse_file(path)  # a broken file is the scenario's fault, said before any run
        return path

    @staticmethod
    def _dialogue(items, texts):
        steps = []
        for item in items:
            if isinstance(item, dict) and set(item) == {"text", "times"}:
                steps.append(("out", item["text"] * item["times"]))  # a repeated text
            elif isinstance(item, dict):
                if set(item) - {"times"} != {"type"} or not isinstance(item["type"], str):
                    raise ScenarioError("a typed answer is {\"type\": \"text\"}")
                steps.append(("type", item["type"] * item.get("times", 1)))  # "times": repeated
            elif isinstance(item, str) and item.startswith("@") and not item.startswith("@@"):
                if item[1:] not in texts:
                    raise ScenarioError("no text %r in texts.json" % item[1:])
                steps.append(("out", texts[item[1:]]))
            elif isinstance(item, str):
                steps.append(("out", item[1:] if item.startswith("@@") else item))
            else:
                raise ScenarioError("dialogue items are texts or {\"type\": ...}")
        return steps

    def transcript(self):
        return "".join(text for kind, text in self.steps if kind == "out")

    def expected_trees(self, paths=None):
        """(top key, expected registry) for every tree the expected files describe (`paths`:
        the files with their folders filled in)."""
        result = []
        for path in self.trees if paths is None else paths:
            expected = regfile.parse_file(path)
            result += [(top, expected) for top in expected.tops()]
        return result
