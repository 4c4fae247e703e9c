"""The POSIX program's run over every user of the machine (--all-users).

A machine of three real users: one signed in (the hive's keys under HKEY_USERS in the registry
file) and two whose hives are NTUSER.DAT files in their profile folders, one of them naming its
menu file with %USERPROFILE%. SYSTEM's entry in ProfileList is never touched. Each host form
(menu-group values, a .cui file, a .cuix package) is run through dry run, add, status and
remove; a damaged hive and a host running for one user fail only that user.

Usage: all_users_e2e.py PROGRAM
"""
import os
import random
import shutil
import subprocess
import sys
import tempfile
import unittest

PROGRAM = sys.argv.pop(1)
HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "fixtures"))
sys.path.insert(0, os.path.join(HERE, "..", "support"))
import random_hosts  # noqa: E402
from host_check import esc, log_blocks, records  # noqa: E402

PROFILE_LIST = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\ProfileList"
SHELL_FOLDERS = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders"
HEADER = "Windows Registry Editor Version 5.00"
SIGNED_IN, AWAY, VARIABLE = "S-1-5-21-7-7-7-1001", "S-1-5-21-7-7-7-1002", "S-1-5-21-7-7-7-1003"
RELEASES = {"registry": "R10.0", "cui": "R12.0", "cuix": "R19.1"}


def expand_sz(text):
    """A REG_EXPAND_SZ value as the registry editor exports it."""
    data = (text + "\0").encode("utf-16-le")
    return "hex(2):" + ",".join("%02x" % b for b in data)


def snapshot(folder):
    files = {}
    for root, _, names in os.walk(folder):
        for name in names:
            path = os.path.join(root, name)
            with open(path, "rb") as f:
                files[os.path.relpath(path, folder)] = f.read()
    return files


class Machine:
    """The registry file, the profile folders and their hives and menu files."""

    def __init__(self, folder, form, seed):
        self.folder, self.form = folder, form
        self.rnd = random.Random(seed)
        self.product = "Software\\Norvex Test\\Host LT\\%s\\HOSTLT-7001:405" % RELEASES[form]
        self.registry = os.path.join(folder, "registry.reg")
        self.users = {}  # SID: (folder, profile names)
        machine = [HEADER, "",
                   "[HKEY_LOCAL_MACHINE\\Software\\WOW6432Node\\Norvex Studio\\Norvex Express]",
                   '"AcadPathReg"="%s"' % esc(self.product), '"AcadPlatform"="1"', "",
                   "[%s\\S-1-5-18]" % PROFILE_LIST,
                   '"ProfileImagePath"=%s' % expand_sz("%systemroot%\\system32\\config"), ""]
        for sid, name in ((SIGNED_IN, "jana"), (AWAY, "petr"), (VARIABLE, "eva")):
            home = os.path.join(folder, "Users", name)
            os.makedirs(os.path.join(home, "Roaming"))
            machine += ["[%s\\%s]" % (PROFILE_LIST, sid),
                        '"ProfileImagePath"=%s' % expand_sz(home), ""]
            keys = self.user_keys(sid, home)
            if sid == SIGNED_IN:
                machine += [line.replace("[HKEY_CURRENT_USER", "[HKEY_USERS\\" + sid)
                            for line in keys]
            else:
                with open(os.path.join(home, "NTUSER.DAT"), "w", encoding="utf-8",
                          newline="\r\n") as f:
                    f.write("\n".join([HEADER, ""] + keys) + "\n")
        with open(self.registry, "w", encoding="utf-8", newline="\r\n") as f:
            f.write("\n".join(machine) + "\n")

    def user_keys(self, sid, home):
        base = "[HKEY_CURRENT_USER\\%s" % self.product
        keys = [base + "]", '"RoamableRootFolder"="%s"' % esc(home + "\\Roaming"), "",
                base + "\\Profiles]", "",
                "[HKEY_CURRENT_USER\\%s]" % SHELL_FOLDERS,
                '"AppData"=%s' % expand_sz("%USERPROFILE%/Roaming"), ""]
        names = ["<<Bez názvu>>", "Kreslení %d" % self.rnd.randrange(100)]
        for index, name in enumerate(names):
            profile = "%s\\Profiles\\%s" % (base, name)
            if self.form == "registry":
                keys += [profile + "\\Menus]", '"Group1"="ACLT %s"' % esc(home), "",
                         profile + "\\Toolbars]", ""]
                continue
            if self.form == "cui":
                data, _ = random_hosts.make_cui(self.rnd, True)
            else:
                data, _, _ = random_hosts.make_cuix(self.rnd, True)
            stem = "menu%d.%s" % (index, self.form)
            with open(os.path.join(home, stem), "wb") as f:
                f.write(data)
            menu_file = ("%USERPROFILE%/" if sid == VARIABLE else home + "/") + stem
            if sid == SIGNED_IN and index == 1:
                menu_file = "%APPDATA%/../" + stem  # the user's shell folder, not the caller's
            keys += [profile + "\\General Configuration]", '"MenuFile"="%s"' % esc(menu_file), ""]
        self.users[sid] = (home, names)
        return keys


class AllUsers(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.mkdtemp(prefix="nvx-users-")
        self.addCleanup(shutil.rmtree, self.dir, True)

    def machine(self, form, seed=1):
        machine = Machine(self.dir, form, seed)
        # The caller's own variables must not leak into another user's paths.
        self.env = dict(os.environ, NORVEX_EXPRESS_REGISTRY=machine.registry, TMPDIR=self.dir,
                        USERPROFILE="/nonexistent", APPDATA="/nonexistent")
        return machine

    def run_program(self, *args):
        done = subprocess.run([PROGRAM, *args], env=self.env, capture_output=True, timeout=120)
        return done.returncode, done.stdout.decode()

    def start_host(self, sid):
        """A copy of sleep under the host's name, running for the user sid."""
        host = os.path.join(self.dir, "bin", "acadlt.exe")
        os.makedirs(os.path.dirname(host))
        shutil.copy("/bin/sleep", host)
        running = subprocess.Popen([host, "3600"], env=dict(self.env, NORVEX_EXPRESS_USER_SID=sid))
        self.addCleanup(running.wait)
        self.addCleanup(running.kill)
        return running

    def states(self, output):
        """(user, profile) to the state or word of each line that names a profile."""
        return {(r.user, r.profile): r.result for r in records(output) if r.profile != "-"}

    def expect_all(self, machine, output, word):
        expected = {(os.path.basename(home), name): word
                    for home, names in machine.users.values() for name in names}
        self.assertEqual(self.states(output), expected, output)

    def test_each_form_through_dry_run_add_status_and_remove(self):
        for form in ("registry", "cui", "cuix"):
            with self.subTest(form=form):
                self.dir = tempfile.mkdtemp(prefix="nvx-users-%s-" % form)
                self.addCleanup(shutil.rmtree, self.dir, True)
                machine = self.machine(form, seed=len(form))
                before = snapshot(self.dir)
                code, output = self.run_program("-i", "--all-users", "--dry-run")
                self.assertEqual(code, 0, output)
                self.expect_all(machine, output, "would add")
                self.assertEqual(snapshot(self.dir), before, "a dry run writes nothing")

                log = os.path.join(self.dir, "run.log")
                self.assertEqual(self.run_program("-i", "--all-users", "--log", log), (0, ""))
                code, output = self.run_program("--status", "--all-users")
                self.assertEqual(code, 0, output)
                self.expect_all(machine, output, "present")
                with open(log, encoding="utf-8") as f:
                    [(header, logged, code)] = log_blocks(f.read())
                self.assertIn("-i --all-users", header)
                self.assertEqual(code, 0)
                self.assertEqual({r.result for r in logged}, {"added"})
                self.assertEqual(self.run_program("-i", "--all-users"), (0, ""), "a rerun")

                self.assertEqual(self.run_program("-r", "--all-users"), (0, ""))
                code, output = self.run_program("--status", "--all-users")
                self.assertEqual(code, 1, output)
                self.expect_all(machine, output, "absent")
                # Loaded hives are written back into their own files, never into the machine's.
                with open(machine.registry, encoding="utf-8") as f:
                    self.assertNotIn("NorvexExpress_", f.read())

    def test_a_damaged_hive_or_a_running_host_fails_only_its_user(self):
        machine = self.machine("cui")
        away_home = machine.users[AWAY][0]
        with open(os.path.join(away_home, "NTUSER.DAT"), "w") as f:
            f.write("not a registry\n")
        running = self.start_host(VARIABLE)
        eva_before = snapshot(machine.users[VARIABLE][0])

        code, output = self.run_program("-i", "--all-users", "--dry-run")
        self.assertEqual(code, 1, output)
        lines = records(output)
        self.assertIn(("petr", "-", away_home, "user-unreachable"), [r[:4] for r in lines])
        self.assertEqual({r.result for r in lines if r.user == "eva"}, {"host-running"})
        self.assertEqual({r.result for r in lines if r.user == "jana"}, {"would add"})

        self.assertEqual(self.run_program("-i", "--all-users"), (1, ""))
        self.assertEqual(snapshot(machine.users[VARIABLE][0]), eva_before)
        code, output = self.run_program("--status", "--all-users")
        self.assertEqual({r.result for r in records(output) if r.user == "jana"}, {"present"})

    def test_users_for_later_exit_3_and_get_a_retry_at_logon(self):
        """A user whose host runs, or who has no host yet, gets a RunOnce value in their own
        hive; a user who is done has it removed; exit 3 when only running hosts are left."""
        machine = self.machine("registry")
        petr = os.path.join(machine.users[AWAY][0], "NTUSER.DAT")
        with open(petr, "w") as f:
            f.write(HEADER + "\r\n\r\n[HKEY_CURRENT_USER\\Software]\r\n")
        running = self.start_host(VARIABLE)
        eva = os.path.join(machine.users[VARIABLE][0], "NTUSER.DAT")
        command = '"%s" -i --retry-at-logon' % os.path.realpath(PROGRAM)

        def run_once(path):
            with open(path, encoding="utf-8") as f:
                text = f.read().replace("\\\\", "\\").replace('\\"', '"')
            return ("[HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce]"
                    in text and '"NorvexExpress"="%s' % command in text)

        self.assertEqual(self.run_program("-i", "--all-users")[0], 3)
        log = os.path.join(self.dir, "retry.log")
        self.assertEqual(self.run_program("-i", "--all-users", "--retry-at-logon", "--log",
                                          log)[0], 3)
        with open(log, encoding="utf-8") as f:
            [(_, logged, _)] = log_blocks(f.read())
        self.assertEqual([(r.user, r.result) for r in logged if r.profile == "-"],
                         [("petr", "skipped"), ("petr", "retry-at-logon"),
                          ("eva", "retry-at-logon")])
        self.assertEqual((run_once(petr), run_once(eva), run_once(machine.registry)),
                         (True, True, False))
        running.kill()
        running.wait()
        self.assertEqual(self.run_program("-i", "--all-users", "--retry-at-logon")[0], 0)
        self.assertEqual((run_once(petr), run_once(eva)), (True, False))

    def test_users_without_the_host_are_skipped(self):
        machine = self.machine("cuix")
        for sid in (AWAY, VARIABLE):
            with open(os.path.join(machine.users[sid][0], "NTUSER.DAT"), "w") as f:
                f.write(HEADER + "\r\n\r\n[HKEY_CURRENT_USER\\Software]\r\n")
        code, output = self.run_program("-i", "--all-users", "--dry-run")
        self.assertEqual(code, 0, output)
        skipped = [(r.user, r.profile, r.result) for r in records(output) if r.result == "skipped"]
        self.assertEqual(skipped, [("petr", "-", "skipped"), ("eva", "-", "skipped")])
        # Without a user who has the host, the run says so in one line even when silent.
        with open(machine.registry, encoding="utf-8") as f:
            text = f.read()
        with open(machine.registry, "w", encoding="utf-8") as f:
            f.write(text.replace("Profiles\\<<Bez", "Gone\\<<Bez").replace(
                "Profiles\\Kreslení", "Gone\\Kreslení"))
        code, output = self.run_program("-i", "--all-users")
        self.assertEqual((code, [r.result for r in records(output)]), (2, ["host-not-found"]))
        with open(machine.registry, "w") as f:
            f.write(HEADER + "\r\n")
        code, output = self.run_program("-i", "--all-users")
        self.assertEqual((code, [r.result for r in records(output)]), (2, ["settings-missing"]),
                         "no settings, no users")

    def test_hostile_values_of_one_user_fail_only_that_user(self):
        """petr controls his hive and his folder; each row turns one value of his against the
        run, and nothing outside his folder may change."""
        def hex1(data):
            return "hex(1):" + ",".join("%02x" % b for b in data + b"\0")

        def menu_file(index):
            return lambda home: ('"MenuFile"="%s"' % esc(home + "/menu%d.cui" % index))

        def roaming(home):
            return '"RoamableRootFolder"="%s"' % esc(home + "\\Roaming")

        def profile_list(home):
            return '"ProfileImagePath"=%s' % expand_sz(home)

        unc = "\\\\192.0.2.1\\share\\acadlt.cui"
        victim = lambda home: os.path.join(os.path.dirname(os.path.dirname(home)), "victim.cui")
        rows = [
            ("another user's file", menu_file(0),
             lambda home: '"MenuFile"="%s"' % esc(victim(home)), "not-users-file", False),
            ("link to another user's file", menu_file(0),
             lambda home: '"MenuFile"="%s"' % esc(home + "/link.cui"), "not-users-file", False),  # the value replaced, its new line, the reason of petr's first or every profile
            ("UNC menu file", menu_file(0), lambda home: '"MenuFile"="%s"' % esc(unc),
             "network-path", False),
            ("device menu file", menu_file(0), lambda home: '"MenuFile"="//./pipe/x.cui"',
             "network-path", False),
            ("UNC support path", roaming, lambda home: '"RoamableRootFolder"="%s"' % esc(unc),
             "network-path", True),
            ("line break in support path", roaming,
             lambda home: '"RoamableRootFolder"=' + hex1((home + "\n</Header>").encode()),
             "invalid-path", True),
            ("invalid UTF-8 in support path", roaming,
             lambda home: '"RoamableRootFolder"=' + hex1(home.encode() + b"\xff"),
             "invalid-path", True),
            ("relative profile folder", profile_list,
             lambda home: '"ProfileImagePath"=%s' % expand_sz("Users\\petr"),
             "user-unreachable", None),
        ]
        for label, old, new, reason, every in rows:
            with self.subTest(label):
                self.dir = tempfile.mkdtemp(prefix="nvx-hostile-")
                self.addCleanup(shutil.rmtree, self.dir, True)
                machine = self.machine("cui", seed=5)
                home, names = machine.users[AWAY]
                # petr owns his folder; the victim's file beside it is not his.
                shutil.copy(os.path.join(machine.users[SIGNED_IN][0], "menu0.cui"), victim(home))
                os.symlink(victim(home), os.path.join(home, "link.cui"))
                for root, folders, files in os.walk(home):
                    for name in [root] + [os.path.join(root, n) for n in folders + files]:
                        os.lchown(name, 1002, 1002)
                source = machine.registry if every is None else os.path.join(home, "NTUSER.DAT")
                with open(source, encoding="utf-8") as f:
                    text = f.read()
                self.assertIn(old(home), text)
                with open(source, "w", encoding="utf-8") as f:
                    f.write(text.replace(old(home), new(home)))
                outside = {k: v for k, v in snapshot(self.dir).items()
                           if not k.startswith(os.path.join("Users", "petr"))
                           and not k.startswith("Users")}
                code, output = self.run_program("-i", "--all-users", "--dry-run")
                self.assertEqual(code, 1, output)
                lines = records(output)
                got = {r.profile: r.result for r in lines if r.user == "petr"}
                if every is None:
                    self.assertEqual(got, {"-": reason}, output)
                else:
                    self.assertEqual(got, {name: reason if every or i == 0 else "would add"
                                           for i, name in enumerate(names)}, output)
                self.assertEqual({r.result for r in lines if r.user != "petr"},
                                 {"would add"}, output)
                self.assertEqual(self.run_program("-i", "--all-users")[0], 1)
                self.assertEqual({k: v for k, v in snapshot(self.dir).items() if k in outside},
                                 outside)


if __name__ == "__main__":
    unittest.main()
