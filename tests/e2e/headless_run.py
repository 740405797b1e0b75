"""scripts/run without a desktop: tamsel.exe on a virtual display, its box answered by the probe,
then the clipboard's bytes and the exit code printed.

Usage: headless_run.py BUILD_DIR WORK_DIR ok|cancel|close [ARGUMENT ...]  (standard input passes on)
"""
import subprocess
import sys

from wine_session import WineSession

build_dir, work_dir, answer, args = sys.argv[1], sys.argv[2], sys.argv[3], sys.argv[4:]
with WineSession(build_dir, work_dir) as session:
    # Without arguments Tamsel reads this script's standard input, just as `wine tamsel.exe` would.
    stdin = None if not args else subprocess.DEVNULL
    tamsel = subprocess.Popen(["wine", session.exe("tamsel.exe")] + args, env=session.env,
                              stdin=stdin)
    box = session.answer_box(answer)
    code = tamsel.wait()
    if box:
        print("box:", box["text"].decode("latin-1").replace("\n", "\n     ").rstrip())
        print("answered:", answer)
    text, _ = session.clipboard()
    print("clipboard:", "nothing" if text is None else f"{len(text)} bytes: {text!r}")
    print("exit code:", code)
    sys.exit(code)
