#!/usr/bin/env python3
"""Plants the realistic faults of faults.json one at a time in a scratch copy of the tree,
builds it, runs the offscreen tests and reports which faults they catch. Usage:
tests/faults/plant.py [NAME...] (default: every fault). About a minute a fault on two cores;
the copy lives in a temporary folder and is removed at the end. A fault is one or more edits
(file, text, replacement), each text found exactly once."""
import json
import os
import shutil
import subprocess
import sys
import tempfile

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))


def load_faults():
    with open(os.path.join(os.path.dirname(os.path.abspath(__file__)), "faults.json")) as f:
        return json.load(f)


def run(command, cwd, quiet=True):
    return subprocess.run(command, cwd=cwd, stdout=subprocess.PIPE if quiet else None,
                          stderr=subprocess.STDOUT if quiet else None, text=True)


def failed_tests(output):
    marker = "The following tests FAILED:"
    if marker not in output:
        return []
    lines = output.split(marker, 1)[1].splitlines()
    return [line.split("-", 1)[1].split("(")[0].strip() for line in lines if " - " in line]


def main():
    faults = load_faults()
    wanted = set(sys.argv[1:])
    if wanted:
        faults = [f for f in faults if f["name"] in wanted]
    scratch = tempfile.mkdtemp(prefix="brenno-faults-")
    try:
        tree = os.path.join(scratch, "tree")
        files = run(["git", "ls-files", "-co", "--exclude-standard"], ROOT).stdout.split()
        for name in files:
            target = os.path.join(tree, name)
            os.makedirs(os.path.dirname(target), exist_ok=True)
            if os.path.isfile(os.path.join(ROOT, name)):
                shutil.copy2(os.path.join(ROOT, name), target)
        build = os.path.join(scratch, "build")
        launcher = ["-DCMAKE_CXX_COMPILER_LAUNCHER=ccache"] if shutil.which("ccache") else []
        if run(["cmake", "-S", tree, "-B", build, "-G", "Ninja", "-DCMAKE_BUILD_TYPE=Debug"]
               + launcher, ROOT).returncode != 0 or run(["ninja"], build).returncode != 0:
            print("the unchanged tree does not build", file=sys.stderr)
            return 2
        env = dict(os.environ, QT_QPA_PLATFORM="offscreen")
        rows = []
        for fault in faults:
            originals = {}
            planted = True
            for file, old, new in fault["edits"]:
                path = os.path.join(tree, file)
                if not os.path.isfile(path):
                    planted = False
                    break
                if path not in originals:
                    with open(path, encoding="utf-8") as f:
                        originals[path] = f.read()
                with open(path, encoding="utf-8") as f:
                    text = f.read()
                if text.count(old) != 1:
                    planted = False
                    break
                with open(path, "w", encoding="utf-8") as f:
                    f.write(text.replace(old, new))
            if not planted:
                verdict = "NOT PLANTED: a text to change is not there exactly once"
            elif run(["ninja"], build).returncode != 0:
                verdict = "does not build"
            else:
                tested = subprocess.run(["ctest", "-LE", "x11", "-j", str(os.cpu_count() or 2),
                                         "--timeout", "300"], cwd=build, env=env,
                                        stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                                        text=True)
                caught = failed_tests(tested.stdout)
                verdict = ("caught by " + ", ".join(caught)) if caught else "MISSED"
            for path, text in originals.items():
                with open(path, "w", encoding="utf-8") as f:
                    f.write(text)
            rows.append((fault["name"], verdict))
            print(f"{fault['name']}: {verdict}", flush=True)
        width = max(len(name) for name, _ in rows)
        print()
        print(f"| {'fault'.ljust(width)} | verdict |")
        print(f"|{'-' * (width + 2)}|---------|")
        for name, verdict in rows:
            print(f"| {name.ljust(width)} | {verdict} |")
        missed = sum(1 for _, v in rows if not v.startswith("caught"))
        print(f"\n{len(rows) - missed} of {len(rows)} caught")
        return 1 if missed else 0
    finally:
        shutil.rmtree(scratch, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
