"""tamsel.exe under Wine, driven like a user: real boxes, a real clipboard, real pipes and files,
keys typed at a real console, and the real start-up splitting the command line that
CreateProcessA hands it.

Every start of the 32-bit tamsel.exe costs seconds where the machine emulates 32-bit code, so
one run checks as much as it can: one command line carries many splitting rules at once.

Usage: e2e_test.py TAMSEL_EXE PROBE_EXE TEMPLATE_PREFIX WORK_DIR dialogs|streams
"""
import os
import subprocess
import sys
import tempfile
import unittest

import pefile
from wine_session import WineSession, command_line, windows_path

TAMSEL = PROBE = TEMPLATE = WORK_DIR = None
session = None

HELP = b"Copies all arguments to clipboard.\nKopiert alle Parameter in die Zwischenablage.\n"
STDIN_PROMPT = b"Copy STDIN to clipboard?\nSTDIN in die Zwischenablage kopieren?\n"
EARLIER = b"earlier text\r\n"
PIPED = bytes(1 + i % 255 for i in range(10000))  # what the probe writes into a named pipe


def args_prompt(n):
    text = b"Copy %d arguments to clipboard?\n%d Parameter in die Zwischenablage kopieren?\n"
    return text % (n, n)


def locale_env(name):
    """name: one locale, or SYSTEM/USER. Wine takes its system locale, and with it the code pages,
    from LC_CTYPE, and its user locale from LC_MESSAGES."""
    system, _, user = name.partition("/")
    env = {key: value for key, value in session.env.items() if not key.startswith("LC_")}
    return dict(env, LOCPATH=os.path.join(WORK_DIR, "locales"), LANG=system + ".UTF-8",
                LC_MESSAGES=(user or system) + ".UTF-8")


def setUpModule():
    global session
    # Before Wine starts: Wine closes its desktop, and the clipboard with it, a few seconds
    # after its last process, so a slow step between two runs would lose the clipboard.
    for name in ("ja_JP", "de_DE", "ru_RU"):
        made = os.path.join(WORK_DIR, "locales", name + ".UTF-8")
        if not os.path.isdir(made):
            os.makedirs(os.path.dirname(made), exist_ok=True)
            subprocess.run(["localedef", "-i", name, "-f", "UTF-8", made], check=True)
    session = WineSession(TAMSEL, PROBE, WORK_DIR, template=TEMPLATE).start()


def tearDownModule():
    session.stop()


def run_tamsel(args, answer, data=None, source="pipe", hold_ms=0, shot=None, env=None):
    """Runs tamsel.exe as `(tamsel ARGS; cat) < input`, answers its box (after taking its
    picture, named shot, when asked to).

    Returns (box, exit code, the input bytes Tamsel left for the next reader)."""
    with tempfile.TemporaryFile() as f:
        stdin = subprocess.DEVNULL
        if data is not None and source == "file":
            f.write(data)
            f.seek(0)
            stdin = f
        elif data is not None:
            stdin = subprocess.PIPE
        shell = subprocess.Popen(["sh", "-c", 'WINEDEBUG=+actctx wine "$@"; echo exit $? >&2; cat',
                                  "sh", TAMSEL] + list(args), env=env or session.env, stdin=stdin,
                                 stdout=subprocess.PIPE, stderr=subprocess.PIPE)
        if stdin == subprocess.PIPE:
            shell.stdin.write(data)  # fits the pipe: Tamsel reads only after the answer
            shell.stdin.close()
        if shot:
            seen = session.answer_box("none")
            shots = os.path.join(WORK_DIR, "screenshots")
            os.makedirs(shots, exist_ok=True)
            session.screenshot(seen["rect"], os.path.join(shots, shot + ".png"))
        box = session.answer_box(answer, hold_ms=hold_ms)
        rest = shell.stdout.read()
        err = shell.stderr.read()
        shell.wait(timeout=300)
    code = int(err.decode().rsplit("exit ", 1)[1])
    # Wine's trace shows it parsed the manifest: dpiAware, dpiAwareness, the x86 common controls 6.
    manifest = (b'dpiAware" L"true"', b'dpiAwareness" L"PerMonitorV2, PerMonitor"',
                b"\\x86_microsoft.windows.common-controls_6595b64144ccf1df_6.0")
    assert all(line in err for line in manifest), "Wine parsed no manifest of tamsel.exe"
    return box, code, rest


class Case(unittest.TestCase):
    def check_box(self, box, text, buttons):
        """buttons: their labels, or just how many where Wine labels them in another language."""
        self.assertIsNotNone(box, "no box appeared")
        self.assertEqual(box["text"], text)
        if isinstance(buttons, int):
            self.assertEqual(len(box["buttons"]), buttons)
        else:
            self.assertEqual([b.replace("&", "") for b in box["buttons"]], buttons)
        self.assertTrue(box["icon"])

    def check_clipboard(self, expected, unicode=None):
        """None: the earlier contents, all formats kept; else exactly these bytes alone (read as
        Unicode text, when given, that text); a str: that text, and in code page 1252 as bytes."""
        if isinstance(expected, str):
            expected, unicode = expected.encode("cp1252"), expected
        text, formats, wide = session.clipboard()
        if expected is None:
            self.assertEqual(text, EARLIER)
            self.assertIn("private", formats)
        else:
            self.assertEqual(text, expected)
            self.assertNotIn("private", formats, "every earlier format is gone")
            if unicode is not None:
                self.assertEqual(wide, unicode)


class Dialogs(Case):
    """Each kind of box with its exact text, buttons and icon, and what each answer does."""

    ROWS = [  # name, args, stdin, answer, box text, buttons, exit code, unread stdin
        ("help", ["/?"], None, "ok", HELP, ["OK"], 0, b""),
        ("arguments_cancel", ["alpha", "beta gamma"], None, "cancel", args_prompt(2),
         ["OK", "Cancel"], 0, b""),
        ("arguments_closed", ["alpha"], None, "close", args_prompt(1), ["OK", "Cancel"], 0, b""),
    ]

    def test_boxes_leave_the_clipboard_alone(self):
        for name, args, data, answer, text, buttons, code, rest in self.ROWS:
            with self.subTest(name):
                session.set_clipboard(EARLIER)
                shot = {"help": "help", "arguments_cancel": "arguments"}.get(name)  # pictures
                box, exit_code, unread = run_tamsel(args, answer, data, shot=shot)
                self.check_box(box, text, buttons)
                self.assertEqual((exit_code, unread), (code, rest))
                self.check_clipboard(None)

    def launch(self, line, env=None, child_input=None):
        session.set_clipboard(EARLIER)
        launcher = session.launch(line, env=env, child_input=child_input)
        box = session.answer_box("ok", 60000)  # a program that crashed shows none: fail in a minute
        out = launcher.stdout.read()
        launcher.wait(timeout=300)
        return box, out.strip()

    def test_command_line_split_by_the_start_up(self):
        # One line of 32,000 characters, the most CreateProcessA passes on, carrying every rule:
        # a quoted program name touching the first argument, quoted pieces joining, an empty
        # argument, backslash-quote, doubled backslashes, tabs, wildcards, bytes above 0x7F,
        # and a quote left open to the end.
        exe = session.tamsel_windows_path().encode()
        head = (b'"' + exe + b'"first a"b c"d "" x\\"y \\\\z e\\\\"f g\\" h\t*.txt ?\t'
                b"\xe4\xf6\xfc\xdf ")
        tail = b' "unclosed  '
        padding = b"p" * (32000 - len(head) - len(tail))
        every_rule = [b"first", b"ab cd", b"", b'x"y', b"\\\\z", b'e\\"f', b'g"', b"h", b"*.txt",
                      b"?", b"\xe4\xf6\xfc\xdf", padding, b"unclosed  "]
        # What scripts/run writes for arguments that the C runtime's quoting, which wine uses,
        # would mangle: trailing backslashes, backslash-quote, quotes, empty, blanks and tabs.
        as_given = [b"a b\\", b"next", b'x\\"y', b"", b"t\tab", b'"', b"\\\\", b'q\\"\\ ']
        rows = [("every_rule", head + padding + tail, every_rule),
                ("scripts_run", command_line(exe, as_given), as_given)]
        for name, line, args in rows:
            with self.subTest(name):
                box, out = self.launch(line)
                self.check_box(box, args_prompt(len(args)), ["OK", "Cancel"])
                self.assertEqual(out, b"exit 0")
                self.check_clipboard(b"".join(a + b"\r\n" for a in args))

    def test_locales_and_standard_input_handles(self):
        exe = session.tamsel_windows_path().encode()
        # A copy rebased as a loader places it, every fix-up applied (pefile's relocate_image also
        # rewrites import thunks): one missing from the table crashes it or changes the bytes.
        pe = pefile.PE(TAMSEL)
        delta, pe.OPTIONAL_HEADER.ImageBase = 0x10000000 - pe.OPTIONAL_HEADER.ImageBase, 0x10000000
        for f in (e for b in pe.DIRECTORY_ENTRY_BASERELOC for e in b.entries if e.type == 3):
            pe.set_dword_at_rva(f.rva, pe.get_dword_at_rva(f.rva) + delta)
        pe.write(os.path.join(WORK_DIR, "relocated.exe"))
        relocated = windows_path(os.path.join(WORK_DIR, "relocated.exe")).encode()
        unreadable = windows_path(os.path.join(WORK_DIR, "write-only"))
        rows = [  # name, arguments, locale, standard input (see the probe's launch), box text,
            # exit code, clipboard (None: as before), as Unicode (None: not checked)
            # Under code page 932, 0x95 0x5C is one character whose second byte is a backslash:
            # it must not turn the quote after it into a literal one.
            ("double_byte_code_page", b' \x95\\" x', "ja_JP", None, args_prompt(1), 0,
             b"\x95\\ x\r\n", None),
            # Text without CF_LOCALE would be taken as the user's (Russian), in its code page.
            ("system_locale_not_the_users", b" Gr\xfc\xdfe", "de_DE/ru_RU", None, args_prompt(1),
             0, b"Gr\xfc\xdfe\r\n", "Grüße\r\n"),
            # A failed read is no end of the input: the text so far might not be the whole.
            ("unreadable_input_is_exit_1", b"", None, unreadable, STDIN_PROMPT, 1, None, None),
            ("no_input_handle_copies_nothing", b"", None, "none", STDIN_PROMPT, 0, b"", None),
            # Git Bash's pipes: an empty one fails a read (232) while its writer is still there.
            ("non_blocking_pipe_read_to_its_end", b"", None, "nowait", STDIN_PROMPT, 0,
             PIPED[:6000], None),
            # A read shorter than the message fails (234), yet delivers the bytes it had room for.
            ("message_pipe_cut_at_the_limit", b"", None, "message", STDIN_PROMPT, 0, PIPED[:8192],
             None),
            ("relocated_copy_arguments", b" x", None, None, args_prompt(1), 0, b"x\r\n", None),
            ("relocated_copy_stdin", b"", None, "message", STDIN_PROMPT, 0, PIPED[:8192], None),
            # Started by CreateProcessW: the ANSI command line (1252) has a ? for each character.
            ("unicode_command_line", " Привет ☃".encode(), "de_DE", "unicode", args_prompt(2), 0,
             b"??????\r\n?\r\n", "Привет\r\n☃\r\n"),
        ]
        for name, args, locale, child_input, text, code, clipboard, unicode in rows:
            with self.subTest(name):
                program = relocated if name.startswith("relocated") else exe
                box, out = self.launch(program + args, locale and locale_env(locale), child_input)
                self.check_box(box, text, 2)  # Wine labels buttons in the locale's words
                self.assertEqual(out, b"exit %d" % code)
                self.check_clipboard(clipboard, unicode)


class Streams(Case):
    """Real pipes, files and consoles, and a clipboard that another program holds open."""

    # Line ends and zero bytes first, then more than 8192 bytes in all.
    long_input = b"a\r\nb\nc\0d\0\0e\r" + bytes((i * 7 + 1) % 256 or 1 for i in range(10000))
    ROWS = [  # name, source, locale, input, answer, clipboard (None: as before; see
        # check_clipboard), left for the next reader
        ("cancel_reads_nothing", "pipe", None, b"kept\r\n", "cancel", None, b"kept\r\n"),
        ("pipe", "pipe", None, long_input, "ok", long_input[:8192].replace(b"\0", b""),
         long_input[8192:]),
        ("file", "file", None, long_input, "ok", long_input[:8192].replace(b"\0", b""),
         long_input[8192:]),
        ("empty_file", "file", None, b"", "ok", b"", b""),
        # Text proving UTF-8, or UTF-16 or UTF-32 by its mark, goes as Unicode text only, of which
        # Wine makes CF_TEXT in the system's code page.
        ("utf8_pipe", "pipe", "de_DE", "Grüße — ½ €".encode(), "ok", "Grüße — ½ €", b""),
        ("utf16_file", "file", "de_DE", "\ufeffGrüße — ½ €".encode("utf-16-le"), "ok", "Grüße — ½ €",
         b""),
        ("utf32_file", "file", "de_DE", "\ufeffGrüße — ½ €".encode("utf-32-le"), "ok", "Grüße — ½ €",
         b""),
    ]

    def test_standard_input(self):
        for name, source, locale, data, answer, clipboard, rest in self.ROWS:
            with self.subTest(name):
                session.set_clipboard(EARLIER)
                shot = "stdin" if name == "cancel_reads_nothing" else None  # a picture
                box, code, unread = run_tamsel([], answer, data, source, shot=shot,
                                               env=locale and locale_env(locale))
                self.check_box(box, STDIN_PROMPT, 2 if locale else ["OK", "Cancel"])
                self.assertEqual((code, unread), (0, rest))
                self.check_clipboard(clipboard)

    # Typed at a console of Tamsel's own. The paste's 8192nd byte falls inside its 82nd line.
    paste = "".join(f"line {i:3} " + "abcdefghij" * 9 + "\r" for i in range(85))
    pasted = paste.replace("\r", "\r\n")[:8192]
    # Unix line ends: the console keeps every LF inside one line, whose first read, cut at 8192
    # bytes, ends with one. That LF ends no line: the rest of the line, up to CR LF, is no one's.
    unix_paste = "".join(f"{i:127}\n" for i in range(70)) + "\r"
    CONSOLE = [  # name, typed while the box is up, then each once the input is empty, locale,
        # the probe's options (p: processed input off, a number: the code page), clipboard as
        # text (None: as before; CF_TEXT holds it in 1252), exit codes, what the console's next
        # reader gets (None: not checked)
        ("ctrl_z_ends_the_input", "", ["one\r", "two\r", "\x1a\r"], None, "",
         "one\r\ntwo\r\n", [0], b"next\r\n"),
        ("long_paste_cut_and_left_to_no_one", paste, [], None, "", pasted, [0], b"next\r\n"),
        ("lone_lf_at_the_limit_ends_no_line", unix_paste, [], None, "", unix_paste[:8192], [0],
         b"next\r\n"),
        # A paste that arrives in pieces (Windows Terminal's way): a piece after the flush goes too.
        ("long_paste_rest_after_the_flush", paste, [paste[:505]], None, "", pasted, [0],
         b"next\r\n"),
        # Windows then ends a line with CR alone; Wine still with CR LF, so here the row only
        # shows that the cut line's end is still seen (waiting for a lone CR would hang).
        ("long_paste_processed_input_off", paste, [], None, "p", pasted, [0], b"next\r\n"),
        # The console reads in code page 850 here; ANSI is 1252. Code page 437, the C locale's,
        # has no ø: it shows that the locale took effect. Without CF_LOCALE the text would be
        # taken as the user's (Russian), in code page 866.
        ("umlauts_as_oem_text", "", ["Grüße, Søren\r", "\x1a\r"], "de_DE/ru_RU", "",
         "Grüße, Søren\r\n", [0], b"next\r\n"),
        # After chcp 65001 or chcp 437 (on OEM 850, where ¢ would be ø) no 8-bit format fits:
        # the text goes as Unicode, of which Wine makes CF_TEXT. The limit cuts no character.
        ("utf8_console_as_unicode_text", "", ["Grüße\r", "\x1a\r"], None, "65001", "Grüße\r\n",
         [0], b"next\r\n"),
        ("cp437_console_as_unicode_text", "", ["Grüße ¢\r", "\x1a\r"], "de_DE", "437",
         "Grüße ¢\r\n", [0], b"next\r\n"),
        ("utf8_paste_cut_between_characters", "a" + "ü" * 4096 + "\r", [], None, "65001",
         "a" + "ü" * 4095, [0], b"next\r\n"),
        # Windows ends the program with 0xC000013A. Wine's own handler ends it with 0, and keeps
        # the interrupted read, which then takes the next line typed at that console.
        ("ctrl_c_copies_nothing", "", ["half", "\x03"], None, "", None, [0, 0xC000013A], None),
    ]

    def test_console(self):
        for name, paste, lines, locale, options, clipboard, codes, next_line in self.CONSOLE:
            with self.subTest(name):
                session.set_clipboard(EARLIER)
                options = options + ("" if next_line is None else "n") or "-"
                box, ran = session.console(paste, lines, env=locale and locale_env(locale),
                                           options=options)
                self.check_box(box, STDIN_PROMPT, 2)  # Wine labels buttons in the locale's words
                self.assertTrue(ran["ended"], "Tamsel was still running")
                self.assertIn(ran["exit"], codes)
                self.assertEqual(ran["events"], 0, "input left for the shell")
                if next_line is not None:
                    self.assertEqual(ran["next"], next_line)
                self.check_clipboard(clipboard)

    BUSY = [  # name, clipboard held open after the answer for ms, exit code, clipboard after
        ("held_briefly_is_waited_out", 150, 0, b"new\r\n"),  # wide margins: Tamsel tries for 0.9 s
        ("held_too_long_is_exit_1", 5000, 1, None),
    ]

    def test_busy_clipboard(self):
        for name, hold_ms, code, clipboard in self.BUSY:
            with self.subTest(name):
                session.set_clipboard(EARLIER)
                _, exit_code, _ = run_tamsel(["new"], "ok", hold_ms=hold_ms)
                self.assertEqual(exit_code, code)
                self.check_clipboard(clipboard)


if __name__ == "__main__":
    TAMSEL, PROBE, TEMPLATE, WORK_DIR = (os.path.abspath(a) for a in sys.argv[1:5])
    part = {"dialogs": Dialogs, "streams": Streams}[sys.argv[5]]
    suite = unittest.defaultTestLoader.loadTestsFromTestCase(part)
    result = unittest.TextTestRunner(verbosity=2).run(suite)
    sys.exit(0 if result.wasSuccessful() else 1)
