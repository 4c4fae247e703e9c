"""The command line of the POSIX program: whole-argument matching, --status, --dry-run and
--log on registry-form, .cui and .cuix hosts. Files are compared byte for byte.
Usage: command_line_e2e.py PROGRAM
"""
import errno
import os
import pwd
import re
import shutil
import stat
import subprocess
import sys
import tempfile
import unittest

PROGRAM = sys.argv.pop(1)
FIXTURES = os.environ.get("NVX_FIXTURES") or os.path.join(os.path.dirname(__file__), "..", "fixtures")
sys.path.insert(0, FIXTURES)
import cui_fixture  # noqa: E402
import cuix_fixture  # noqa: E402

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
from host_check import log_blocks, read, records, registry, registry_keys  # noqa: E402

OLD_PRODUCT = "Software\\Norvex Test\\Host LT\\R10\\HOSTLT-4001:405"
CUI_PRODUCT = "Software\\Norvex Test\\Host LT\\R12\\HOSTLT-7001:405"
CUIX_PRODUCT = "Software\\Norvex Test\\Host LT\\R20.0\\HOSTLT-9001:405"
DRY_WORDS = {"would add": "added", "would remove": "removed", "unchanged": "unchanged"}


def registry_form(product, profiles):
    """Registry text of an old release whose profiles keep their menu groups as values."""
    return registry_keys(product, "C:\\Roaming", [
        (name, {"Menus": [("Group%d" % i, g) for i, g in enumerate(groups, 1)]})
        for name, groups in profiles], platform=None)


class CommandLine(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.mkdtemp(prefix="nvx-cli-")
        self.addCleanup(shutil.rmtree, self.dir, True)
        self.tmp = os.path.join(self.dir, "tmp")
        os.mkdir(self.tmp)
        self.reg = os.path.join(self.dir, "registry.reg")
        self.env = dict(os.environ, NORVEX_EXPRESS_REGISTRY=self.reg, TMPDIR=self.tmp)

    def run_program(self, *args):
        done = subprocess.run([PROGRAM, *args], env=self.env, capture_output=True, timeout=120,
                              stdin=subprocess.DEVNULL)
        return done.returncode, done.stdout.decode("utf-8")

    def lines(self, *args):
        code, out = self.run_program(*args)
        return code, records(out)

    def snapshot(self):
        """Every file below the folder with its bytes, mode, inode and modification time, the
        temporary folder included."""
        files = {}
        for folder, _, names in os.walk(self.dir):
            for name in names:
                path = os.path.join(folder, name)
                info = os.stat(path)
                files[path] = (read(path), info.st_mode, info.st_ino, info.st_mtime_ns)
        return files

    def write(self, name, data):
        path = os.path.join(self.dir, name)
        with open(path, "wb") as f:
            f.write(data)
        return path

    def file_host(self, product, profiles):
        with open(self.reg, "w", encoding="utf-8") as f:
            f.write(registry(product, "C:\\Roaming", profiles))

    def hosts(self):
        """One host of each kind, each with two profiles the add can do."""
        yield "registry", lambda: self.write("registry.reg", registry_form(
            OLD_PRODUCT, [("A", ["ACLT C:\\aclt"]), ("Výkresy", [])]).encode())
        def cui():
            paths = [self.write("a.cui", cui_fixture.make_cui(seed=3, workspaces=2)),
                     self.write("Výkresy.cui", cui_fixture.make_cui(seed=4, bom=True, crlf=True))]
            self.file_host(CUI_PRODUCT, [("A", paths[0]), ("Výkresy", paths[1])])
        yield "cui", cui
        def cuix():
            paths = [os.path.join(self.dir, n) for n in ("a.cuix", "Výkresy.cuix")]
            for seed, path in enumerate(paths, 1):
                cuix_fixture.write_package(path, seed=seed)
            self.file_host(CUIX_PRODUCT, [("A", paths[0]), ("Výkresy", paths[1])])
        yield "cuix", cuix

    def test_status_and_dry_run_around_add_and_remove(self):
        for kind, make in self.hosts():
            with self.subTest(kind=kind):
                self.setUp()
                make()
                self.assertEqual(self.lines("--status")[0], 1)
                for action, word, state in (("-i", "would add", "present"),
                                            ("-r", "would remove", "absent")):
                    before = self.snapshot()
                    code, report = self.lines(action, "--dry-run")
                    self.assertEqual(code, 0)
                    self.assertEqual([r[:2] + r[3:] for r in report],
                                     [("", "A", word, ""), ("", "Výkresy", word, "")])
                    self.assertEqual(self.snapshot(), before)  # no file, backup or new file
                    self.assertEqual(self.run_program(action), (0, ""))
                    code, status = self.lines("--status")
                    self.assertEqual(code, 0 if state == "present" else 1)
                    self.assertEqual([(s.profile, s.result, s.text) for s in status],
                                     [("A", state, ""), ("Výkresy", state, "")])
                    self.assertTrue(all(s.target != "-" for s in status), status)
                    # Done once, the same run has nothing left to do, and says so.
                    before = self.snapshot()
                    code, report = self.lines(action, "--dry-run")
                    self.assertEqual((code, [r.result for r in report]), (0, ["unchanged"] * 2))
                    self.assertEqual(self.run_program(action), (0, ""))
                    self.assertEqual(self.snapshot(), before)  # not even written anew

    def test_partial_and_errors_with_their_reasons(self):
        added = self.write("added.cui", cui_fixture.make_cui(seed=5, workspaces=2))
        self.file_host(CUI_PRODUCT, [("P", added)])
        self.assertEqual(self.run_program("-i")[0], 0)
        # A named workspace without the toolbars: the add-on is there only in part.
        text = re.sub(rb"(<WorkspaceRoot[^>]*>)", b'\\1<Workspace UID="WS_N"><Name>Nov\xc3\xbd</Name>'
                      b"</Workspace>", read(added), count=1)
        # Complete, but naming the add-on in a folder it was moved from.
        moved = self.write("moved.cui", read(added).replace(
            b"c:\\roaming\\support\\norvex_express.CUI", b"D:/Star\xc3\xa1/NORVEX_EXPRESS.cui"))
        self.write("added.cui", text)
        read_only = self.write("ro.cui", cui_fixture.make_cui(seed=2))
        os.chmod(read_only, stat.S_IRUSR)
        cases = cuix_fixture.corrupt_cases()
        os.mkdir(os.path.join(self.tmp, "folder.cui"))
        profiles = [("P", added), ("Přesunutý", moved), ("Chybí", os.path.join(self.dir, "none.cui")),
                    ("Složka", os.path.join(self.tmp, "folder.cui")),
                    ("Rozbitý", self.write("broken.cui", b"<CustSection><Header>")),
                    ("Relativní", "relative/menu.cui"), ("ReadOnly", read_only)]
        self.file_host(CUI_PRODUCT, profiles)
        code, status = self.lines("--status")
        self.assertEqual(code, 1)
        self.assertEqual([(s.profile, s.result) for s in status],
                         [("P", "partial"), ("Přesunutý", "partial"), ("Chybí", "file-missing"),
                          ("Složka", "not-regular-file"), ("Rozbitý", "malformed-document"),
                          ("Relativní", "relative-path"), ("ReadOnly", "absent")])
        self.assertEqual(status[1].text, "moved-reference: odkaz na doplněk vede do jiné složky")
        self.assertEqual(status[0].text, "")
        self.assertTrue(all(s.text for s in status[2:6]), status)
        # The dry run foresees what the real run does, reason for reason.
        before = self.snapshot()
        log = os.path.join(self.dir, "x-install", "run-r.log")
        os.mkdir(os.path.dirname(log))
        code, report = self.lines("-i", "--dry-run")
        self.assertEqual(self.snapshot(), before)
        self.assertEqual(code, 1)
        foreseen = [(r.profile, DRY_WORDS.get(r.result) or r.result) for r in report]
        self.assertEqual(foreseen[:2], [("P", "added"), ("Přesunutý", "added")])
        self.assertEqual(foreseen[-1], ("ReadOnly", "read-only"))
        self.assertEqual(self.run_program("--log", log, "-i"), (1, ""))
        [(_, logged, code)] = log_blocks(read(log).decode("utf-8"))
        self.assertEqual([(l.profile, l.result) for l in logged], foreseen)
        self.assertEqual(code, 1)
        self.assertEqual(self.lines("--status")[1][0].result, "present")
        damaged = "balík nabídek je poškozený nebo neúplný"
        reasons = {"not_a_zip": ("damaged-archive", damaged),
                   "truncated": ("damaged-archive", damaged),
                   "wrong_crc": ("bad-crc",
                                 "balík nabídek je poškozený: kontrolní součet části nesouhlasí"),
                   "no_members": ("malformed-package", "balík nabídek je poškozený")}
        packages = [(name, self.write(name + ".cuix", cases[name])) for name in reasons]
        self.file_host(CUIX_PRODUCT, packages)
        code, status = self.lines("--status")
        self.assertEqual((code, [s[2:] for s in status]),
                         (1, [(p,) + reasons[name] for name, p in packages]))

    def test_arguments_are_matched_whole(self):
        path = self.write("m.cui", cui_fixture.make_cui(seed=6))
        self.file_host(CUI_PRODUCT, [("P", path)])
        before = self.snapshot()
        # The parser's own test covers every mistake; here each must leave everything as it was.
        # Each names its mistake on standard error, before the usage; nothing on standard output.
        for args, named in ((["--dry-run"], "--dry-run patří k akci"),
                            (["-install"], "Neznámý parametr: -install"),
                            (["-i", "--log"], "Za parametrem --log chybí název souboru."),
                            (["--log", "-r", "-i"], "--log chybí"),
                            (["-i", "-r"], "Dvě akce najednou: -i a -r"),
                            (["-i", "x\ty"], "Text navíc vedle akce: x\\ty")):
            with self.subTest(args=args):
                done = subprocess.run([PROGRAM, *args], env=self.env, capture_output=True,
                                      timeout=120)
                error = done.stderr.decode("utf-8").splitlines()
                self.assertEqual((done.returncode, done.stdout), (64, b""))
                self.assertIn(named, error[0])
                self.assertTrue(error[1].startswith("Použití:"), error)
                self.assertEqual(self.snapshot(), before)
        self.assertRegex(self.run_program("--version")[1], r"^Norvex Express \d+\.\d+\.\d+\n$")
        for args in (["-h"], ["--help"], ["/?"]):
            self.assertEqual(self.run_program(*args)[0], 0)
        # A log path holding "-r" and "-i" changes neither the action nor anything else.
        log = os.path.join(self.dir, "x-install", "run-r.log")
        os.mkdir(os.path.dirname(log))
        self.assertEqual(self.run_program("-i", "--log", log), (0, ""))
        self.assertEqual(self.lines("--status")[1][0].result, "present")
        self.assertEqual(self.run_program("/r", "--log", os.path.join(self.dir, "run-i.log"))[0], 0)
        self.assertEqual(self.lines("--status")[1][0].result, "absent")

    def test_log_appends_and_unwritable_logs_do_not_matter(self):
        path = self.write("m.cuix", cuix_fixture.zip_bytes(cuix_fixture.package_members(seed=7)))
        self.file_host(CUIX_PRODUCT, [("P", path), ("Q", os.path.join(self.dir, "gone.cuix"))])
        log = os.path.join(self.dir, "run.log")
        self.write("run.log", "starý řádek\n".encode())
        for args in (["-i"], ["-i"], ["--status"], ["-r", "--dry-run"], ["-r"]):
            self.run_program(*args, "--log", log)
        text = read(log).decode("utf-8").splitlines()
        self.assertEqual(text[0], "starý řádek")
        runs = [text[i:i + 4] for i in range(1, len(text), 4)]
        self.assertEqual(len(runs), 5)
        for run, action in zip(runs, ["-i", "-i", "--status", "-r --dry-run", "-r"]):
            # Who ran what, where and when.
            stamp, computer, account, pid, version, logged_action, product, command = \
                run[0].split("\t")
            self.assertRegex(stamp, r"^\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d[+-]\d\d:\d\d$")
            self.assertEqual((computer, account), (os.uname().nodename, "%s\\%s" % (
                os.uname().nodename, pwd.getpwuid(os.geteuid()).pw_name)))
            self.assertRegex(pid, r"^[1-9]\d*$")
            self.assertRegex(version, r"^Norvex Express \d+\.\d+\.\d+$")
            self.assertEqual((logged_action, product), (action, CUIX_PRODUCT))
            self.assertEqual(command, " ".join([PROGRAM] + action.split() + ["--log", log]))
            self.assertEqual(run[3], "exit 1")
        blocks = log_blocks("\n".join(text[1:]))
        for _, lines, code in blocks:
            self.assertEqual(lines[1][1:4], ("Q", path.replace("m.cuix", "gone.cuix"),
                                             "file-missing"))
            self.assertEqual(code, 1)
        self.assertEqual([lines[0].result for _, lines, _ in blocks],
                         ["added", "unchanged", "present", "would remove", "removed"])
        # A log that cannot be opened or is refused changes neither the run nor its exit code,
        # says so in one line on standard error, and writes nowhere else.
        secret = self.write("secret", b"root only\n")
        fifo = os.path.join(self.tmp, "fifo.log")
        os.mkfifo(fifo)
        linked, dangling, hard = (os.path.join(self.tmp, n) for n in ("l.log", "d.log", "h.log"))
        os.symlink(secret, linked)
        os.symlink(os.path.join(self.tmp, "made.log"), dangling)
        os.link(secret, hard)
        for bad, why in ((self.tmp, os.strerror(errno.EISDIR)),
                         (os.path.join(self.dir, "no", "such", "folder.log"),
                          os.strerror(errno.ENOENT)),
                         (fifo, "není to obyčejný soubor"), (linked, "je to odkaz"),
                         (dangling, "je to odkaz"), (hard, "soubor má více názvů")):
            for args in (["-i"], ["--status"]):
                done = subprocess.run([PROGRAM, *args, "--log", bad], env=self.env,
                                      capture_output=True, timeout=120, stdin=subprocess.DEVNULL)
                self.assertEqual(done.returncode, 1 if args == ["-i"] else 1, bad)
                # One line that names the file and why.
                self.assertEqual(done.stderr.decode().splitlines(),
                                 ["Norvex Express: do protokolu %s nelze zapisovat, běh pokračuje "
                                  "bez něj: %s" % (bad, why)])
            self.assertEqual(self.lines("--status")[1][0][1:4:2], ("P", "present"))
        self.assertEqual(read(secret), b"root only\n")
        self.assertFalse(os.path.exists(os.path.join(self.tmp, "made.log")))

        # A run cut off in mid-line: the next header begins on a line of its own.
        with open(log, "ab") as f:
            f.write(b"2024-01-01 00:00:00\tNorvex Ex")
        self.run_program("--status", "--log", log)
        self.assertRegex(read(log).decode().splitlines()[-4], r"^\d{4}-\d\d-\d\dT.*\t--status\t")

    def test_cmtrace_log_holds_the_same_lines(self):
        """Each line of a --log-format cmtrace log, read by a small reader, holds the text of the
        tab-separated log's line, and its type says how much it matters."""
        entry = re.compile(r'^<!\[LOG\[(.*)\]LOG\]!><time="\d\d:\d\d:\d\d\.\d{3}[+-]\d{3}" '
                           r'date="\d\d-\d\d-\d{4}" component="NorvexExpress" context="" '
                           r'type="([123])" thread="\d+" file="">$')
        path = self.write("m.cui", cui_fixture.make_cui(seed=6))
        self.file_host(CUI_PRODUCT, [("P", path), ("Q]LOG]!>", path + ".gone")])
        text, cmtrace = (os.path.join(self.dir, n) for n in ("text.log", "cm.log"))
        for args in (["-i", "--dry-run"], ["--status"]):
            self.run_program(*args, "--log", text)
            self.run_program(*args, "--log", cmtrace, "--log-format", "cmtrace")
        plain = read(text).decode().splitlines()
        entries = [entry.match(line) for line in read(cmtrace).decode().splitlines()]
        self.assertTrue(all(entries), read(cmtrace))
        self.assertEqual([e.group(2) for e in entries], ["1", "1", "3", "3"] * 2)
        for line, found in zip(plain, entries):
            if line[:4].isdigit():  # the headers differ in time, process and log
                same = lambda header: [header.split("\t")[i] for i in (1, 2, 4, 5, 6)]
                self.assertEqual(same(line), same(found.group(1)))
            else:
                self.assertEqual(line.replace("]LOG]!>", "]LOG]!\\x3E"), found.group(1))

    def test_user_text_cannot_forge_lines_or_columns(self):
        # A profile name with a tab and a MenuFile value with line breaks and an escape byte.
        path = self.write("m.cui", cui_fixture.make_cui(seed=6))
        forged = os.path.join(self.dir, "x\nexit 0\n\x1b.cui")
        self.file_host(CUI_PRODUCT, [("P", path), ("A\tadded", "@")])
        menu_file = ",".join("%02x" % b for b in forged.encode() + b"\0")
        with open(self.reg, encoding="utf-8") as f:
            text = f.read().replace('"MenuFile"="@"', '"MenuFile"=hex(1):' + menu_file)
        with open(self.reg, "w", encoding="utf-8") as f:
            f.write(text)
        log = os.path.join(self.dir, "run\n\x1b.log")  # in the header's command line too
        shown = forged.replace("\n", "\\n").replace("\x1b", "\\x1B")
        for args in (["--status"], ["-i", "--dry-run"], ["-i"]):
            code, out = self.run_program(*args, "--log", log)
            self.assertEqual(code, 1, out)
            lines = records(out)
            if out:
                self.assertIn(("", "A\\tadded", shown, "file-missing"), [l[:4] for l in lines])
        blocks = log_blocks(read(log).decode())
        self.assertEqual([(len(lines), code) for _, lines, code in blocks], [(2, 1)] * 3)
        self.assertEqual(blocks[0][0][-1], "%s --status --log '%s'" % (
            PROGRAM, log.replace("\n", "\\n").replace("\x1b", "\\x1B")))

    def test_one_writing_run_at_a_time(self):
        import fcntl
        path = self.write("m.cui", cui_fixture.make_cui(seed=8))
        self.file_host(CUI_PRODUCT, [("P", path)])
        log = os.path.join(self.dir, "run.log")
        # Another run in progress holds the lock beside the registry file.
        with open(self.reg + ".lock", "a") as held:
            fcntl.flock(held, fcntl.LOCK_EX)
            before = self.snapshot()
            self.env["NORVEX_EXPRESS_LOCK_WAIT"] = "0"
            for args in (["-i"], ["-r", "--all-users"]):
                self.assertEqual(self.run_program(*args), (3, ""))
            self.assertEqual(self.lines("-i", "--dry-run")[1][0][1:4:2], ("P", "would add"))
            self.assertEqual(self.lines("--status")[1][0][1:4:2], ("P", "absent"))
            self.assertEqual(self.snapshot(), before)
            self.assertEqual(self.run_program("-i", "--log", log), (3, ""))
        self.assertEqual(log_blocks(read(log).decode())[0][1:],
                         ([("", "-", "-", "another-run", "právě běží jiné spuštění Norvex Express")],
                          3))
        self.assertEqual(self.run_program("-i"), (0, ""))
        self.assertFalse(os.path.exists(self.reg + ".lock"), "the holder removes its lock file")

    def run_once(self):
        """The data of the RunOnce value the program leaves in the registry file, or None."""
        text = read(self.reg).decode("utf-8") if os.path.exists(self.reg) else ""
        found = re.search(r'\[HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion'
                          r'\\RunOnce\][^[]*"NorvexExpress"="((?:[^"\\]|\\.)*)"', text)
        return re.sub(r"\\(.)", r"\1", found.group(1)) if found else None

    def test_retry_at_logon(self):
        """--retry-at-logon: a RunOnce value after exit 2 (no host yet), none after 0, kept after
        1; never for missing settings of our own or in a dry run."""
        path = self.write("m.cui", cui_fixture.make_cui(seed=3))
        program = os.path.realpath(PROGRAM)
        settings_only = registry_keys(CUI_PRODUCT, "C:\\R", [])
        settings_only = settings_only[:settings_only.index("[HKEY_CURRENT_USER")]
        rows = [  # registry text, arguments, exit code, the value afterwards
            ("", ["-i", "--retry-at-logon"], 2, None),
            (settings_only, ["-i", "--retry-at-logon", "--dry-run"], 2, None),
            (settings_only, ["-r", "--retry-at-logon"], 2, '"%s" -r --retry-at-logon' % program),
            (None, ["-i", "--retry-at-logon", "--log", "x.log"], 2,
             '"%s" -i --retry-at-logon --log "%s"' % (program, os.path.join(self.dir, "x.log"))),
            (registry(CUI_PRODUCT, "C:\\R", [("P", path), ("Q", path + ".gone")]),
             ["-i", "--retry-at-logon"], 1, "kept"),
            (registry(CUI_PRODUCT, "C:\\R", [("P", path)]), ["-i", "--retry-at-logon"], 0, None),
        ]
        value = None
        for text, args, code, expected in rows:
            with self.subTest(args=args, code=code):
                if text is not None:
                    with open(self.reg, "w", encoding="utf-8") as f:
                        f.write(text + (self.run_once_text(value) if value else ""))
                done = subprocess.run([PROGRAM, *args], env=self.env, cwd=self.dir,
                                      capture_output=True, timeout=120)
                self.assertEqual(done.returncode, code, done.stdout)
                found = self.run_once()
                self.assertEqual(found, value if expected == "kept" else expected)
                value = found
        # SYSTEM's own registry is nobody's: no user would ever run the retry.
        with open(self.reg, "w", encoding="utf-8") as f:
            f.write(settings_only)
        self.env["NORVEX_EXPRESS_USER_SID"] = "S-1-5-18"
        code, lines = self.lines("-i", "--retry-at-logon")
        self.assertEqual((code, [l.result for l in lines], self.run_once()),
                         (2, ["system-account"], None))

    @staticmethod
    def run_once_text(value):
        return ('\r\n[HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce]'
                '\r\n"NorvexExpress"="%s"\r\n' % value.replace("\\", "\\\\").replace('"', '\\"'))

    @unittest.skipUnless(os.geteuid() == 0 and shutil.which("setpriv"), "needs root and setpriv")
    def test_a_file_that_would_change_hands_is_left_alone(self):
        """A run without root rights that may write a file only through its group cannot give
        the replacement the file's owner: owner-not-kept, foreseen by the dry run, nothing
        written. The file's owner may."""
        path = self.write("m.cui", cui_fixture.make_cui(seed=9))
        self.file_host(CUI_PRODUCT, [("P", path)])
        os.chown(path, 4321, 4322)
        os.chmod(path, 0o664)
        for folder in (self.dir, self.tmp):
            os.chmod(folder, 0o777)
        before = self.snapshot()
        for uid, word, code in ((4323, "error", 1), (4321, "would add", 0)):
            run = ["setpriv", "--reuid=%d" % uid, "--regid=4322", "--clear-groups", PROGRAM]
            done = subprocess.run(run + ["-i", "--dry-run"], env=self.env, capture_output=True,
                                  timeout=120)
            [line] = records(done.stdout.decode())
            self.assertEqual((done.returncode, line.result),
                             (code, "owner-not-kept" if code else word), done.stdout)
            done = subprocess.run(run + ["-i"], env=self.env, capture_output=True, timeout=120)
            self.assertEqual(done.returncode, code, done.stderr)
            if code:
                self.assertEqual(self.snapshot(), before)
        info = os.stat(path)
        self.assertEqual((info.st_uid, info.st_gid, info.st_mode & 0o777), (4321, 4322, 0o664))

    def test_nothing_found_says_why(self):
        """Exit 2 in every mode with one line, printed and logged: what was looked for."""
        settings = "HKEY_LOCAL_MACHINE\\Software\\Norvex Studio\\Norvex Express"
        host = "HKEY_CURRENT_USER\\" + CUI_PRODUCT
        full = registry_keys(CUI_PRODUCT, "C:\\R", [])
        settings_only = full[:full.index("[HKEY_CURRENT_USER")]
        rows = [  # registry text, the caller's SID, the target and reason of the line
            (None, None, settings, "settings-missing"),
            (settings_only, None, host, "host-not-found"),
            (full, None, host + "\\Profiles", "no-profiles"),
            (settings_only, "S-1-5-18", host, "system-account"),
            (full, "S-1-5-18", host + "\\Profiles", "system-account"),
            (full, "S-1-5-21-1-2-3-1001", host + "\\Profiles", "no-profiles"),
        ]
        log = os.path.join(self.dir, "run.log")
        for text, sid, target, reason in rows:
            with self.subTest(reason=reason, sid=sid):
                if text is not None:
                    with open(self.reg, "w", encoding="utf-8") as f:
                        f.write(text)
                self.env.pop("NORVEX_EXPRESS_USER_SID", None)
                if sid:
                    self.env["NORVEX_EXPRESS_USER_SID"] = sid
                for args in (["--status"], ["-i", "--dry-run"], ["-r"]):
                    code, lines = self.lines(*args, "--log", log)
                    self.assertEqual(code, 2)
                    self.assertEqual([l[:4] for l in lines], [("", "-", target, reason)])
                    self.assertTrue(lines[0].text)
                    self.assertEqual(log_blocks(read(log).decode())[-1][1:], (lines, 2))
        os.remove(self.reg)
        self.env.pop("NORVEX_EXPRESS_USER_SID")
        self.assertEqual(self.lines("-i", "--all-users")[1][0][2:4], (settings, "settings-missing"))
        self.assertFalse(os.path.exists(self.reg))


if __name__ == "__main__":
    unittest.main()
