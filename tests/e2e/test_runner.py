"""The runner's own parts, checked without a machine: reading registry files of both formats,
comparing trees, playing a dialogue, and proving keys absent."""

import codecs
import json
import os
import re
import subprocess
import sys
import tempfile
import textwrap
import unittest
from unittest import mock

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

import regfile  # noqa: E402
import scenario  # noqa: E402
from dialogue import play  # noqa: E402
from run import Exports  # noqa: E402
from scenario import Scenario, ScenarioError, extended_machine, load_texts, names  # noqa: E402

REGEDIT4 = textwrap.dedent(r'''
    REGEDIT4

    ; a comment
    [HKEY_CLASSES_ROOT\Software\Orvane]
    "Version"="3.2 \"beta\" C:\\x"
    @="default"
    "Flags"=dword:0000002a
    "Blob"=hex:00,01,\
      fe,ff
    "Expand"=hex(2):25,41,25,00
    "Multi"=hex(7):61,00,62,63,00,00

    [HKCR\Software\Orvane\Deep\Er]
    ''').lstrip("\n")


def unicode_export(text):
    """What Wine's regedit writes: UTF-16LE with a byte order mark and CR LF line ends."""
    return codecs.BOM_UTF16_LE + text.replace("\n", "\r\n").encode("utf-16-le")


class RegistryFiles(unittest.TestCase):
    def test_regedit4_values_of_every_kind(self):
        key = regfile.parse_bytes(REGEDIT4.encode()).find(r"HKEY_CLASSES_ROOT\Software\Orvane")
        values = {name: (v.kind, v.data) for name, v in key.values.items()}
        self.assertEqual(values, {
            "version": (1, '3.2 "beta" C:\\x'), "": (1, "default"), "flags": (4, 42),
            "blob": (3, b"\x00\x01\xfe\xff"), "expand": (2, "%A%"), "multi": (7, ("a", "bc"))})

    def test_unicode_export_reads_like_the_same_regedit4_content(self):
        unicode = textwrap.dedent(r'''
            Windows Registry Editor Version 5.00

            [HKEY_CLASSES_ROOT\Software\Orvane]
            "Version"="3.2 \"beta\" C:\\x"
            @="default"
            "Flags"=dword:0000002a
            "Blob"=hex:00,01,fe,ff
            "Expand"=hex(2):25,00,41,00,25,00,00,00
            "Multi"=hex(7):61,00,00,00,62,00,63,00,00,00,00,00

            [HKEY_CLASSES_ROOT\Software\Orvane\Deep]

            [HKEY_CLASSES_ROOT\Software\Orvane\Deep\Er]
            ''').lstrip("\n")
        expected = regfile.parse_bytes(REGEDIT4.encode())
        actual = regfile.parse_bytes(unicode_export(unicode))
        self.assertEqual(regfile.compare_trees(expected, actual, r"HKCR\Software\Orvane"), [])

    def test_listed_keys_imply_their_parents_within_a_tree(self):
        tree = regfile.parse_bytes(REGEDIT4.encode()).subtree(r"HKCR\Software\Orvane")
        self.assertIsNotNone(tree.find(r"HKEY_CLASSES_ROOT\Software\Orvane\Deep"))
        self.assertIsNone(tree.find(r"HKEY_CLASSES_ROOT\Software"))

    def test_tops_are_the_keys_without_a_listed_ancestor(self):
        text = "REGEDIT4\n\n[HKLM\\A\\B]\n[HKLM\\A\\B\\C]\n[HKCU\\A]\n[HKLM\\A\\BB]\n"
        self.assertEqual(regfile.parse_bytes(text.encode()).tops(),
                         ["HKEY_CURRENT_USER\\A", "HKEY_LOCAL_MACHINE\\A\\B",
                          "HKEY_LOCAL_MACHINE\\A\\BB"])

    def test_faults_are_reported_with_their_line(self):
        for text, words in [("REGEDIT5\n", "not a registry file"),
                            ("REGEDIT4\n\n\"v\"=\"x\"\n", "line 3: value outside any key"),
                            ("REGEDIT4\n[HKXX\\A]\n", "unknown registry root"),
                            ("REGEDIT4\n[HKCU\\A]\n\"v\"=\"open\n", "unterminated string"),
                            ("REGEDIT4\n[HKCU\\A]\n\"v\"=dword:1\n", "8 hexadecimal digits"),
                            ("REGEDIT4\n[-HKCU\\A]\n", "deletions")]:
            with self.assertRaisesRegex(regfile.RegFileError, words):
                regfile.parse_bytes(text.encode())


class TreeComparison(unittest.TestCase):
    def compare(self, expected, actual, top=r"HKCU\A"):
        parse = lambda t: regfile.parse_bytes(("REGEDIT4\n\n" + t).encode())
        return regfile.compare_trees(parse(expected), parse(actual), top)

    def test_names_compare_without_case(self):
        self.assertEqual(self.compare('[HKCU\\A\\Key]\n"Name"="v"\n',
                                      '[HKEY_CURRENT_USER\\a\\KEY]\n"NAME"="v"\n'), [])

    def test_each_kind_of_difference_is_named(self):
        problems = self.compare('[HKCU\\A]\n"same"="1"\n"changed"="1"\n"gone"="1"\n'
                                '[HKCU\\A\\Lost]\n',
                                '[HKCU\\A]\n"same"="1"\n"changed"=dword:00000001\n"new"="1"\n'
                                '[HKCU\\A\\Extra]\n')
        self.assertEqual(len(problems), 5, problems)
        text = "\n".join(problems)
        for words in ['changed value  [HKEY_CURRENT_USER\\A] "changed"',
                      'missing value  [HKEY_CURRENT_USER\\A] "gone"',
                      'unexpected value [HKEY_CURRENT_USER\\A] "new"',
                      "missing key    [HKEY_CURRENT_USER\\A\\Lost]",
                      "unexpected key [HKEY_CURRENT_USER\\A\\Extra]"]:
            self.assertIn(words, text)

    def test_keys_outside_the_top_are_not_compared(self):
        self.assertEqual(self.compare("[HKCU\\A]\n", "[HKCU\\A]\n[HKCU\\AB]\n[HKCU\\B]\n"), [])

    def test_the_undo_round_trip_compares_bytes_and_keeps_gone_and_made_keys_apart(self):
        parse = lambda t: regfile.parse_bytes(("REGEDIT4\n\n" + t).encode())
        before = parse('[HKCU\\A]\n"t"=hex(1):61,62\n"n"=dword:00000001\n[HKCU\\A\\Setup]\n')
        made = parse('[HKCU\\A\\Made]\n"v"="x"\n')
        same = parse('[HKCU\\A]\n"T"=hex(1):61,62\n"n"=hex(4):01,00,00,00\n'
                     '[HKCU\\A\\Made]\n"v"="x"\n')
        self.assertEqual(regfile.compare_exact(before, same, r"HKCU\A", [r"HKCU\A\Setup"], made),
                         [])
        # A terminator gained, a setup library's key back, a key made by nobody.
        wrong = parse('[HKCU\\A]\n"t"="ab"\n"n"=dword:00000001\n[HKCU\\A\\Setup]\n'
                      '[HKCU\\A\\Made]\n"v"="y"\n[HKCU\\A\\Other]\n')
        problems = regfile.compare_exact(before, wrong, r"HKCU\A", [r"HKCU\A\Setup"], made)
        self.assertEqual(len(problems), 4, problems)
        text = "\n".join(problems)
        for words in ['changed value  [HKEY_CURRENT_USER\\A] "t": expected type 1 6162, found '
                      'type 1 616200', "key back that should stay gone [HKEY_CURRENT_USER\\A\\Setup]",
                      'changed value  [HKEY_CURRENT_USER\\A\\Made] "v"',
                      "unexpected key [HKEY_CURRENT_USER\\A\\Other]"]:
            self.assertIn(words, text)


class FakeMachine:
    """Exports from a registry held in memory, counting them."""

    def __init__(self, text):
        self.registry = regfile.parse_bytes(("REGEDIT4\n\n" + text).encode())
        for key in list(self.registry.keys.values()):
            parent = regfile.parent_key(key.path)
            while "\\" in parent:
                self.registry.add_key(parent)
                parent = regfile.parent_key(parent)
        self.exported = []

    def export(self, key):
        self.exported.append(key)
        if self.registry.find(key) is None:
            return None
        return self.registry.subtree(key)


class ProvingKeys(unittest.TestCase):
    def test_absence_is_proven_by_the_parents_export(self):
        machine = FakeMachine("[HKCR\\Software\\Other]\n")
        exports = Exports(machine)
        self.assertFalse(exports.exists(r"HKCR\Software\Orvane"))
        self.assertEqual(machine.exported, [r"HKEY_CLASSES_ROOT\Software"])

    def test_a_missing_parent_is_proven_missing_in_turn(self):
        machine = FakeMachine("[HKCR\\Software\\Other]\n")
        self.assertFalse(Exports(machine).exists(r"HKCR\Software\Orvane\test\deeper"))
        self.assertEqual(machine.exported, [r"HKEY_CLASSES_ROOT\Software\Orvane\test",
                                            r"HKEY_CLASSES_ROOT\Software\Orvane",
                                            r"HKEY_CLASSES_ROOT\Software"])

    def test_one_export_serves_every_key_under_it(self):
        machine = FakeMachine("[HKCR\\Software\\Orvane\\a\\b]\n")
        exports = Exports(machine)
        self.assertIsNotNone(exports.tree(r"HKCR\Software\Orvane"))
        self.assertTrue(exports.exists(r"HKCR\Software\Orvane\A\B"))
        self.assertFalse(exports.exists(r"HKCR\Software\Orvane\test"))
        self.assertEqual(machine.exported, [r"HKCR\Software\Orvane"])

    def test_an_export_failing_for_a_key_that_exists_is_an_error(self):
        machine = FakeMachine("[HKCR\\Software\\Orvane]\n")
        broken = machine.export
        machine.export = lambda key: None if key.endswith("Orvane") else broken(key)
        with self.assertRaisesRegex(RuntimeError, "failed although the key exists"):
            Exports(machine).exists(r"HKCR\Software\Orvane\test")


class MachinePaths(unittest.TestCase):
    def test_c_paths_match_existing_folders_without_case_and_stay_on_the_drive(self):
        import tempfile
        from machines import MachineError, host_path
        with tempfile.TemporaryDirectory() as drive_c:
            os.makedirs(os.path.join(drive_c, "windows", "syswow64"))
            self.assertEqual(host_path(drive_c, r"C:\Windows\SysWOW64\New\x.dll"),
                             os.path.join(drive_c, "windows", "syswow64", "New", "x.dll"))
            for bad in (r"C:\windows\..\..\etc", r"D:\x", "relative"):
                with self.assertRaises(MachineError):
                    host_path(drive_c, bad)

    def test_a_link_is_a_host_symbolic_link_to_its_target_made_when_missing(self):
        import tempfile
        from machines import Machine
        with tempfile.TemporaryDirectory() as folder:
            machine = Machine(folder)
            machine.place_link(r"C:\Lumo\outside", r"C:\Canary")
            link = os.path.join(folder, "drive_c", "Lumo", "outside")
            self.assertEqual(os.readlink(link), os.path.join(folder, "drive_c", "Canary"))
            self.assertTrue(os.path.isdir(link))


def python_program(source):
    return [sys.executable, "-c", textwrap.dedent(source)]


class Dialogue(unittest.TestCase):
    ASKS_TWICE = """
        import sys
        out = sys.stdout.buffer
        out.write(b"first?\\n"); out.flush()
        a = sys.stdin.buffer.readline()
        out.write(b"got " + a + b"second?\\n"); out.flush()
        b = sys.stdin.buffer.readline()
        out.write(b"got " + (b or b"end\\n")); out.flush()
        """

    def play(self, program, steps, crlf=False, patience=10.0):
        env = dict(os.environ)
        env.pop("PYTHONUNBUFFERED", None)  # the programs here choose when their output goes
        return play(python_program(program), steps, env=env, cwd=None, crlf=crlf,
                    patience=patience)

    def test_answers_follow_their_prompts_and_input_ends_after_the_last(self):
        transcript, status, _, late = self.play(self.ASKS_TWICE, [
            ("out", "first?\n"), ("type", "Y\n"), ("out", "got Y\nsecond?\n")])
        self.assertEqual((transcript, status, late),
                         ("first?\ngot Y\nsecond?\ngot end\n", 0, []))

    def test_text_mode_line_ends_are_read_as_newlines_and_typed_as_crlf(self):
        program = """
            import sys
            sys.stdout.buffer.write(b"ask?\\r\\n\\r\\t\\t\\r\\r\\n"); sys.stdout.flush()
            sys.stdout.buffer.write(repr(sys.stdin.buffer.readline()).encode())
            """
        transcript, _, _, _ = self.play(program, [("out", "ask?\n\r\t\t\r\n"), ("type", "Y\n")],
                                        crlf=True)
        self.assertEqual(transcript, "ask?\n\r\t\t\r\nb'Y\\r\\n'")

    def test_a_prompt_held_back_is_reported(self):
        program = """
            import sys, time
            sys.stdout.write("held back?\\n")   # not flushed before the read
            sys.stdin.readline()
            """
        _, status, _, late = self.play(program, [("out", "held back?\n"), ("type", "Y\n")],
                                       patience=0.5)
        self.assertEqual(status, 0)
        self.assertEqual(len(late), 1)
        self.assertIn("had not come", late[0])

    def test_output_going_its_own_way_does_not_wait_for_the_prompt(self):
        transcript, _, _, late = self.play(self.ASKS_TWICE, [
            ("out", "other?\n"), ("type", "N\n")], patience=30)
        self.assertEqual(late, [])
        self.assertTrue(transcript.startswith("first?\ngot N\n"))

    def test_exit_status_and_standard_error_are_kept_apart(self):
        program = """
            import sys
            sys.stderr.write("trouble\\n"); print("out"); sys.exit(3)
            """
        self.assertEqual(self.play(program, [])[:3], ("out\n", 3, "trouble\n"))


class Scenarios(unittest.TestCase):
    def test_every_scenario_loads_and_its_files_parse(self):
        texts = load_texts()
        for name in names():
            with self.subTest(name):
                scenario = Scenario(name, texts)
                self.assertTrue(scenario.about)
                scenario.expected_trees()

    def test_named_texts_and_typing_mistakes_are_caught(self):
        for data, words in [({"dialogue": ["@nowhere"]}, "no text 'nowhere'"),
                            ({"dialogue": [{"typed": "Y"}]}, "typed answer"),
                            ({"machine": {"regs": []}}, "unknown field"),
                            ({"machine": {"links": {"C:\\a": 1}}}, "machine.links maps"),
                            ({"skip": {"win16": "x"}}, "skip names a build")]:
            with self.assertRaisesRegex(ScenarioError, words):
                Scenario.__new__(Scenario)._load(data, load_texts())

    def test_a_machine_adds_to_the_machine_it_extends(self):
        bases = {"a": {"reg": ["a.reg"], "files": {"C:\\f": "a", "C:\\g": "a"}, "restricted": True},
                 "b": {"extends": "a", "reg": ["b.reg"], "files": {"C:\\g": "b"},
                       "restricted": False},
                 "c": {"extends": "d"}, "d": {"extends": "c"}}
        with tempfile.TemporaryDirectory() as folder, \
                mock.patch.object(scenario, "SCENARIOS", folder):
            for name, machine in bases.items():
                with open(os.path.join(folder, name + ".json"), "w") as f:
                    json.dump({"machine": machine}, f)
            self.assertEqual(extended_machine({"extends": "b", "folders": ["C:\\x"]}), {
                "reg": ["a.reg", "b.reg"], "files": {"C:\\f": "a", "C:\\g": "b"},
                "restricted": False, "folders": ["C:\\x"]})
            for machine, words in [({"extends": "c"}, "goes round"),
                                   ({"extends": "e"}, "names no scenario"),
                                   ({"extends": "a", "reg": "x.reg"}, "another kind")]:
                with self.assertRaisesRegex(ScenarioError, words):
                    extended_machine(machine)


class ReadmeCommands(unittest.TestCase):
    def test_every_command_line_the_readme_gives_a_user_is_a_scenarios_command(self):
        readme = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..",
                              "README.md")
        with open(readme, encoding="utf-8") as f:
            blocks = re.findall(r"^```bat\n(.*?)^```", f.read(), re.M | re.S)
        lines = [line for block in blocks for line in block.splitlines() if line.strip()]
        played = {Scenario(n).command["line"] for n in names() if Scenario(n).command}
        self.assertGreaterEqual(len(lines), 2)
        self.assertEqual([line for line in lines if line not in played], [])


class WiringTest(unittest.TestCase):
    """Run by each build's e2e.<build>.wiring test, with OV_E2E_PLAY the command line (split at
    "|") its scenarios are played with: a wrong expectation must fail the run, and a right one
    beside it pass, so that a failing scenario can never be reported as passed."""

    WRONG = os.path.join(os.path.dirname(os.path.abspath(__file__)), "wiring",
                         "wrong_transcript.json")

    def test_a_wrong_expectation_fails_and_a_right_one_passes(self):
        command = os.environ.get("OV_E2E_PLAY")
        if not command:
            self.skipTest("needs OV_E2E_PLAY, set by the build's e2e.<build>.wiring test")
        done = subprocess.run(command.split("|") + [self.WRONG, "answer_N"],
                              stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                              stderr=subprocess.STDOUT, timeout=170)
        output = done.stdout.decode("utf-8", "replace")
        self.assertEqual(1, done.returncode, output)
        self.assertRegex(output, r"FAIL \w+\.wrong_transcript ", output)
        self.assertIn("the transcript differs", output)
        self.assertIn("a line the program never prints", output)
        self.assertRegex(output, r"PASS \w+\.answer_N ", output)
        self.assertIn("1 passed, 1 failed", output)


if __name__ == "__main__":
    unittest.main()
