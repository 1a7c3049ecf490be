#!/usr/bin/env python3
"""Plants each fault of faults.json (edits: file, text found exactly once, replacement) alone in
a scratch copy of the tree and reports which offscreen tests catch it: about a minute a fault.
Usage: tests/faults/plant.py [NAME...], every fault by default."""
import json
import os
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(os.path.dirname(HERE))


def run(command, cwd):
    return subprocess.run(command, cwd=cwd, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                          env=dict(os.environ, QT_QPA_PLATFORM="offscreen")).returncode


def write(texts):
    for path, text in texts.items():
        with open(path, "w", encoding="utf-8") as f:
            f.write(text)


def plant(tree, edits):
    """Makes the edits and gives the files' texts before them; None, nothing changed, when a text
    is not there exactly once."""
    originals, texts = {}, {}
    for file, old, new in edits:
        path = os.path.join(tree, file)
        if path not in texts and os.path.isfile(path):
            with open(path, encoding="utf-8") as f:
                originals[path] = texts[path] = f.read()
        if texts.get(path, "").count(old) != 1:
            return None
        texts[path] = texts[path].replace(old, new)
    write(texts)
    return originals


def verdict(build):
    if run(["ninja"], build):
        return "does not build"
    failed = os.path.join(build, "Testing", "Temporary", "LastTestsFailed.log")  # "number:name"
    if os.path.exists(failed):
        os.remove(failed)
    # The release test builds a tree of its own in Release, minutes for each fault; it proves the
    # packaging, which no fault here touches.
    run(["ctest", "-LE", "x11", "-E", "release_package", "-j", str(os.cpu_count() or 2),
         "--timeout", "300"], build)
    if not os.path.exists(failed):
        return "MISSED"
    with open(failed) as f:
        return "caught by " + ", ".join(line.strip().split(":", 1)[1] for line in f)


def main():
    with open(os.path.join(HERE, "faults.json")) as f:
        faults = [x for x in json.load(f) if len(sys.argv) == 1 or x["name"] in sys.argv[1:]]
    rows = []
    with tempfile.TemporaryDirectory(prefix="brenno-faults-") as scratch:
        tree, build = os.path.join(scratch, "tree"), os.path.join(scratch, "build")
        os.mkdir(tree)
        # The tree as it stands, uncommitted changes included.
        subprocess.run(f"git ls-files -co --exclude-standard -z | tar --null -T - -c | tar -x -C "
                       f"'{tree}'", shell=True, cwd=ROOT, check=True)
        if run(["cmake", "-S", tree, "-B", build, "-G", "Ninja", "-DCMAKE_BUILD_TYPE=Debug",
                "-DCMAKE_CXX_COMPILER_LAUNCHER=ccache"], tree) or run(["ninja"], build):
            sys.exit("the unchanged tree does not build")
        for fault in faults:
            originals = plant(tree, fault["edits"])
            rows.append((fault["name"], "NOT PLANTED: a text is not there exactly once"
                         if originals is None else verdict(build)))
            write(originals or {})
            print("%s: %s" % rows[-1], flush=True)
    missed = sum(not said.startswith("caught") for _, said in rows)
    print(f"\n{len(rows) - missed} of {len(rows)} caught")
    return 1 if missed else 0


if __name__ == "__main__":
    sys.exit(main())
