"""A Wine session of our own: a virtual display, a prefix, and a warm wineserver.

Everything it starts it also stops; nothing else is touched. Used by the end-to-end suite and
by scripts/run. tamsel.exe is 32-bit and runs through `wine`; the probe is 64-bit and runs
through the 64-bit loader directly, so that it starts in a fraction of a second even where the
machine has to emulate 32-bit code.

Usage: wine_session.py make-prefix PREFIX_DIR PROBE_EXE   (a ready prefix for sessions to copy)
       wine_session.py launch PROBE_EXE TAMSEL_EXE ARGUMENT...
                              (tamsel.exe with exactly these arguments, in the environment's
                              Wine prefix and display: scripts/run with a desktop)
"""
import json
import os
import shutil
import subprocess
import time

DEVNULL = subprocess.DEVNULL


class WineError(RuntimeError):
    pass


def wait_until(condition, timeout, what):
    deadline = time.monotonic() + timeout
    while not condition():
        if time.monotonic() > deadline:
            raise WineError(f"timed out after {timeout} s waiting for {what}")
        time.sleep(0.02)


WINE64 = "/usr/lib/wine/wine64"


def command_line(program, args):
    r"""The command line that Tamsel's start-up splits into exactly these arguments (bytes).

    Tamsel's rules: blanks and tabs separate; a double quote opens or closes a quoted stretch
    and is dropped; a backslash directly before a double quote is a literal quote, anywhere, and
    never opens or closes; every other byte is itself. A quoted program name ends at the next
    quote, and what touches that quote belongs to the first argument.

    So the program name is quoted and followed by a blank, and each argument is one quoted
    stretch, its quotes written \", everything else as itself: inside the stretch blanks and
    tabs separate nothing, and a backslash is itself unless a quote follows it. Two kinds of
    backslash meet a quote. One before a quote of the argument gives \\", whose first
    backslash is followed by a backslash and so stays itself. The argument's trailing
    backslashes would meet the closing quote, so they follow it, outside the stretch, where the
    blank before the next argument or the end of the line follows them. An empty argument is "".

    Every byte string can be written but one holding a zero byte, which ends a command line.
    These rules leave out that in a double-byte code page the byte after a lead byte is never a
    quote or a backslash to Tamsel: there an argument whose lead byte meets a quote of this
    writing comes out changed.
    """
    args = list(args)
    if b'"' in program or any(b"\0" in a for a in [program] + args):
        raise ValueError("no command line holds a zero byte, nor a program name a quote")
    line = b'"' + program + b'"'
    for arg in args:
        inside = arg.rstrip(b"\\")
        line += b' "' + inside.replace(b'"', b'\\"') + b'"' + arg[len(inside):]
    return line


def windows_path(path):
    return "Z:" + os.path.abspath(path).replace("/", "\\")


def launch(probe, env, line, stdout=subprocess.PIPE, child_input=None):
    """Starts a program through CreateProcessA with exactly this command line, by the probe,
    which prints "exit N" and exits with N. child_input: see the probe's launch."""
    launcher = subprocess.Popen([WINE64, probe, "launch"] + ([child_input] if child_input else []),
                                env=env, stdin=subprocess.PIPE, stdout=stdout, stderr=DEVNULL)
    launcher.stdin.write(line)
    launcher.stdin.close()
    return launcher


def wine_env(prefix):
    # No winedbg: its crash dialog would keep a crashed program running until answered.
    env = dict(os.environ, WINEDEBUG="-all", WINEPREFIX=os.path.abspath(prefix),
               WINEDLLOVERRIDES="winemenubuilder.exe,winedbg.exe,mscoree,mshtml=d")
    env.pop("DISPLAY", None)
    return env


def make_prefix(prefix, probe):
    """Creates a prefix once; copying it is much quicker than creating another."""
    if os.path.exists(os.path.join(prefix, "system.reg")):
        return
    env = wine_env(prefix)
    done = subprocess.run([WINE64, probe, "clip-get"], env=env, stdin=DEVNULL, stdout=DEVNULL,
                          stderr=DEVNULL, timeout=900)
    subprocess.run(["wineserver", "-w"], env=env, stdin=DEVNULL, stdout=DEVNULL, stderr=DEVNULL,
                   timeout=300)
    if done.returncode != 0:
        raise WineError(f"wine could not create a prefix (exit {done.returncode}); "
                        "run scripts/setup wine")


def box_seen(box):
    return {"text": bytes.fromhex(box["text"]),
            "buttons": [bytes.fromhex(b).decode("latin-1") for b in box["buttons"]],
            "icon": bool(box["icon"]), "rect": box["rect"]}


class WineSession:
    def __init__(self, tamsel, probe, work_dir, template=None):
        self.tamsel = os.path.abspath(tamsel)
        self.probe_exe = os.path.abspath(probe)
        self.work_dir = os.path.abspath(work_dir)
        self.template = template
        self.env = wine_env(os.path.join(self.work_dir, "prefix"))
        self.xvfb = None

    def tamsel_windows_path(self):
        return windows_path(self.tamsel)

    def start(self):
        if shutil.which("wine") is None or not os.path.exists(WINE64):
            raise WineError("wine is not installed: run scripts/setup wine")
        os.makedirs(self.work_dir, exist_ok=True)
        prefix = self.env["WINEPREFIX"]
        if self.template and not os.path.exists(prefix):
            subprocess.run(["cp", "-a", self.template, prefix], check=True)
        make_prefix(prefix, self.probe_exe)
        # Xvfb picks a free display number itself and tells it, so that sessions started
        # side by side never race for the same one.
        read_end, write_end = os.pipe()
        self.xvfb = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write_end), "-screen", "0", "1024x768x24",
             "-nolisten", "tcp"],
            pass_fds=(write_end,), stdin=DEVNULL, stdout=DEVNULL, stderr=DEVNULL)
        os.close(write_end)
        with os.fdopen(read_end) as told:
            number = told.readline().strip()
        if not number:
            raise WineError("Xvfb did not start")
        self.env["DISPLAY"] = ":" + number
        # A persistent wineserver keeps every run warm. Wine's daemons inherit the standard
        # handles of the call that starts them, so that call reads and writes nothing of ours.
        subprocess.run(["wineserver", "-p"], env=self.env, stdin=DEVNULL, stdout=DEVNULL,
                       stderr=DEVNULL, check=False)
        warm = subprocess.run([WINE64, self.probe_exe, "clip-get"], env=self.env,
                              stdin=DEVNULL, stdout=DEVNULL, stderr=DEVNULL, timeout=600)
        if warm.returncode != 0:
            raise WineError(f"wine could not run the probe (exit {warm.returncode})")
        return self

    def stop(self):
        subprocess.run(["wineserver", "-k"], env=self.env, stdin=DEVNULL, stdout=DEVNULL,
                       stderr=DEVNULL, check=False)
        if self.xvfb:
            self.xvfb.terminate()
            self.xvfb.wait()

    def __enter__(self):
        return self.start()

    def __exit__(self, *exc):
        self.stop()

    def launch(self, line, env=None, child_input=None):
        """Starts tamsel.exe through CreateProcessA with exactly this command line."""
        return launch(self.probe_exe, env or self.env, line, child_input=child_input)

    def probe(self, *args, timeout=60, check=True, env=None):
        done = subprocess.run([WINE64, self.probe_exe] + list(args), env=env or self.env,
                              stdin=DEVNULL, capture_output=True, timeout=timeout)
        if check and done.returncode != 0:
            raise WineError(f"probe {args[0]} failed ({done.returncode}): {done.stdout!r}")
        return done

    def answer_box(self, answer, timeout_ms=300000, hold_ms=0):
        """Waits for Tamsel's box, answers it, and returns what it showed (None: no box).

        With hold_ms the clipboard is held open from just before the answer for that long."""
        done = self.probe("box", answer, str(timeout_ms), str(hold_ms), check=False,
                          timeout=timeout_ms / 1000 + hold_ms / 1000 + 30)
        return None if done.returncode == 2 else box_seen(json.loads(done.stdout))

    def console(self, paste, lines, timeout_ms=30000, env=None, options="-"):
        """Starts tamsel.exe in a console of its own, types the paste while its box is up,
        answers OK, then types each line once the input is empty; options as the probe's.

        Returns (the box as answer_box does, {"exit", "ended" in time, input "events" left,
        the bytes the console's "next" reader got, or None when not read or not returned})."""
        done = self.probe("console", self.tamsel_windows_path(), "ok", str(timeout_ms), options,
                          paste.encode().hex(), *(line.encode().hex() for line in lines),
                          env=env, timeout=3 * timeout_ms / 1000 + 30)
        box, after = (json.loads(line) for line in done.stdout.splitlines())
        if after["next"] is not None:
            after["next"] = bytes.fromhex(after["next"])
        return box and box_seen(box), after

    def clipboard(self):
        """Returns (CF_TEXT bytes, the formats, CF_UNICODETEXT as str); None for a text absent."""
        got = json.loads(self.probe("clip-get").stdout)
        text = None if got["text"] is None else bytes.fromhex(got["text"])
        wide = None if got["unicode"] is None else bytes.fromhex(got["unicode"]).decode("utf-16le")
        return text, got["formats"], wide

    def set_clipboard(self, data):
        self.probe("clip-set", data.hex())

    def screenshot(self, rect, path):
        """Saves the screen's rect as a PNG once the window there has been painted."""
        left, top, right, bottom = rect

        def painted():
            subprocess.run(["/usr/bin/import", "-display", self.env["DISPLAY"], "-window",
                            "root", "-crop", f"{right - left}x{bottom - top}+{left}+{top}",
                            "+repage", path], check=True, stdin=DEVNULL, stdout=DEVNULL,
                           stderr=DEVNULL)
            colours = subprocess.run(["/usr/bin/convert", path, "-format", "%k", "info:"],
                                     check=True, capture_output=True).stdout
            return int(colours) > 2  # more than a blank frame

        wait_until(painted, 20, "the box to be painted")


if __name__ == "__main__":
    import sys
    if len(sys.argv) == 4 and sys.argv[1] == "make-prefix":
        make_prefix(sys.argv[2], sys.argv[3])
    elif len(sys.argv) > 4 and sys.argv[1] == "launch":
        line = command_line(windows_path(sys.argv[3]).encode(), map(os.fsencode, sys.argv[4:]))
        sys.exit(launch(sys.argv[2], os.environ, line, stdout=None).wait())
    else:
        sys.exit(__doc__)
