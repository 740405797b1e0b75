"""scripts/run without a desktop: tamsel.exe on a virtual display, its box answered by the probe,
then the clipboard's bytes and the exit code printed.

Usage: headless_run.py TAMSEL_EXE PROBE_EXE WORK_DIR ok|cancel|close [ARGUMENT ...]
The arguments reach Tamsel exactly: the probe starts it with a command line written by Tamsel's
own splitting rules (`wine` would quote them by other rules). Without arguments Tamsel reads this
program's standard input, as `wine tamsel.exe` would, which then starts it.
"""
import os
import subprocess
import sys

from wine_session import WineSession, command_line

tamsel, probe, work_dir, answer = sys.argv[1:5]
args = [os.fsencode(a) for a in sys.argv[5:]]
with WineSession(tamsel, probe, work_dir) as session:
    if args:
        run = session.launch(command_line(session.tamsel_windows_path().encode(), args))
    else:
        run = subprocess.Popen(["wine", session.tamsel], env=session.env)
    box = session.answer_box(answer)
    code = run.wait()
    if args:  # the probe tells the whole exit code; its own is cut to a byte
        said = run.stdout.read().decode("latin-1").split()
        if said[:1] != ["exit"]:
            sys.exit("run: the probe could not start tamsel.exe: " + " ".join(said))
        code = int(said[1])
    if box:
        print("box:", box["text"].decode("latin-1").rstrip("\n").replace("\n", "\n     "))
        print("answered:", answer)
    text, _, _ = session.clipboard()
    print("clipboard:", "nothing" if text is None else f"{len(text)} bytes: {text!r}")
    print("exit code:", code)
sys.exit(code)
