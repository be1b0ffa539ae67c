#!/usr/bin/env python3
"""Checks that clang compiles every translation unit of src, tests, bench and
fuzz: a syntax-only pass (no code made), so that what GCC takes and clang
refuses is found without a second full build.

    scripts/check-clang.py [--build build-clang] [--jobs N]

It configures a tree of its own with clang (the fuzz targets on), makes the
files the sources include that the build writes (the headers from the web
pages' contracts and what moc makes for each target), and runs
`clang++ -fsyntax-only` with each file's own compile command from the tree's
compile_commands.json, N at a time. Any error fails the pass; warnings are
shown but do not fail it (the GCC builds hold the warnings to errors).
"""

import argparse
import json
import os
import shlex
import subprocess
import sys
import time
from concurrent.futures import ThreadPoolExecutor
from pathlib import Path

SOURCE = Path(__file__).resolve().parent.parent
FOLDERS = ("src", "tests", "bench", "fuzz")
CONFIG = "RelWithDebInfo"


def run(command, **kwargs):
    return subprocess.run(command, check=True, **kwargs)


def configure(tree):
    env = dict(os.environ, CC="clang", CXX="clang++")
    run(["cmake", "-S", str(SOURCE), "-B", str(tree), "-G", "Ninja", f"-DCMAKE_BUILD_TYPE={CONFIG}",
         "-DFOLVAN_BUILD_FUZZ=ON", "-DCMAKE_COMPILE_WARNING_AS_ERROR=OFF"],
        env=env, stdout=subprocess.DEVNULL)


def generate(tree, jobs):
    # The contract headers are made by commands of their own, which need
    # nothing built.
    targets = run(["ninja", "-C", str(tree), "-t", "targets", "rule", "CUSTOM_COMMAND"],
                  capture_output=True, text=True).stdout.split()
    contracts = [t for t in targets if t.startswith("contract/")]
    if contracts:
        run(["ninja", "-C", str(tree), *contracts], stdout=subprocess.DEVNULL)
    # moc's output, without the libraries a target's own autogen step waits
    # for in the build.
    infos = sorted(tree.glob("**/CMakeFiles/*_autogen.dir/AutogenInfo.json"))

    def autogen(info):
        return subprocess.run(["cmake", "-E", "cmake_autogen", str(info), CONFIG], cwd=info.parents[2],
                              capture_output=True, text=True)

    with ThreadPoolExecutor(jobs) as pool:
        for info, done in zip(infos, pool.map(autogen, infos)):
            if done.returncode != 0:
                sys.stderr.write(done.stdout + done.stderr)
                raise SystemExit(f"moc failed for {info}")


def syntax_command(entry):
    args = shlex.split(entry["command"])
    kept = []
    skip = False
    for arg in args:
        if skip:
            skip = False
        elif arg in ("-o", "-MF", "-MT", "-MQ"):
            skip = True
        elif arg not in ("-c", "-MD", "-MMD"):
            kept.append(arg)
    return kept + ["-fsyntax-only"]


def units(tree):
    entries = json.loads((tree / "compile_commands.json").read_text())
    roots = tuple(str(SOURCE / folder) + os.sep for folder in FOLDERS)
    chosen = {}
    for entry in entries:
        path = str(Path(entry["directory"], entry["file"]).resolve())
        if path.startswith(roots):
            chosen.setdefault(path, entry)
    return sorted(chosen.items())


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--build", default="build-clang", help="the clang tree (made if missing)")
    parser.add_argument("--jobs", type=int, default=os.cpu_count() or 2)
    options = parser.parse_args()
    tree = Path(options.build)
    if not tree.is_absolute():
        tree = SOURCE / tree

    start = time.monotonic()
    configure(tree)
    generate(tree, options.jobs)
    chosen = units(tree)
    if not chosen:
        raise SystemExit("no translation unit of src, tests, bench or fuzz in the compile commands")

    def check(item):
        path, entry = item
        return path, subprocess.run(syntax_command(entry), cwd=entry["directory"], capture_output=True, text=True)

    failed = []
    with ThreadPoolExecutor(options.jobs) as pool:
        for path, done in pool.map(check, chosen):
            if done.stdout or done.stderr:
                sys.stdout.write(done.stdout + done.stderr)
            if done.returncode != 0:
                failed.append(os.path.relpath(path, SOURCE))
    seconds = time.monotonic() - start
    print(f"clang syntax pass: {len(chosen)} files, {len(failed)} with errors, {seconds:.0f} s")
    for path in failed:
        print(f"  error in {path}")
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
