"""scripts/run without a desktop: tamsel.exe on a virtual display, its box answered by the probe,
then the clipboard's bytes and the exit code printed.

Usage: headless_run.py TAMSEL_EXE PROBE_EXE WORK_DIR ok|cancel|close [ARGUMENT ...]
Without arguments Tamsel reads this program's standard input, as `wine tamsel.exe` would.
"""
import subprocess
import sys

from wine_session import WineSession

tamsel, probe, work_dir, answer = sys.argv[1:5]
args = sys.argv[5:]
with WineSession(tamsel, probe, work_dir) as session:
    run = subprocess.Popen(["wine", session.tamsel] + args, env=session.env,
                           stdin=None if not args else subprocess.DEVNULL)
    box = session.answer_box(answer)
    code = run.wait()
    if box:
        print("box:", box["text"].decode("latin-1").rstrip("\n").replace("\n", "\n     "))
        print("answered:", answer)
    text, _, _ = session.clipboard()
    print("clipboard:", "nothing" if text is None else f"{len(text)} bytes: {text!r}")
    print("exit code:", code)
sys.exit(code)
