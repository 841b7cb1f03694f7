#!/usr/bin/env python3
"""Plants single-line faults in the sources, one at a time, and reports which the tests catch.

The faults live in scripts/faults/<area>.tsv, one per line, tab-separated:

    id  file  original text  replacement text  build targets  ctest regex

`original` must occur exactly once in `file`. Each fault is applied, its targets rebuilt in the
build folder (the release build by default), the selected tests run, and the file restored,
whatever happens. A fault counts as caught when the tests fail; a fault that does not compile is
reported apart (it says nothing about the tests). Run from the repository root after a build.
Exit status 1 when a fault is missed or cannot be applied.
"""
import argparse
import pathlib
import os
import signal
import subprocess
import sys
import time

ROOT = pathlib.Path(__file__).resolve().parent.parent


def read_faults(areas):
    faults = []
    for path in sorted((ROOT / "scripts" / "faults").glob("*.tsv")):
        if areas and path.stem not in areas:
            continue
        for number, line in enumerate(path.read_text().splitlines(), 1):
            if not line.strip() or line.lstrip().startswith("#"):
                continue
            fields = line.split("\t")
            if len(fields) != 6:
                sys.exit(f"{path.name}:{number}: expected 6 tab-separated fields, found {len(fields)}")
            faults.append(dict(zip(("id", "file", "original", "replacement", "targets", "tests"),
                                   fields), where=f"{path.name}:{number}"))
    return faults


def run(command, timeout):
    # A session of its own: a planted fault can make a test's program hang, and on a timeout the
    # whole group goes, not only ctest (its children would otherwise run on into later faults).
    with subprocess.Popen(command, cwd=ROOT, stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                          text=True, start_new_session=True) as process:
        try:
            output, _ = process.communicate(timeout=timeout)
            return process.returncode, output
        except subprocess.TimeoutExpired:
            os.killpg(process.pid, signal.SIGKILL)
            process.communicate()
            return None, "timed out"


def check(fault, build_dir, jobs, timeout):
    source = ROOT / fault["file"]
    if not source.is_file():
        return "UNAPPLIED", f"no file {fault['file']}"
    text = source.read_text()
    if text.count(fault["original"]) != 1:
        return "UNAPPLIED", f"original text found {text.count(fault['original'])} times"
    try:
        source.write_text(text.replace(fault["original"], fault["replacement"]))
        status, output = run(["cmake", "--build", build_dir, "-j", str(jobs), "--target",
                              *fault["targets"].split()], timeout)
        if status != 0:
            return "NO-COMPILE", output[-400:]
        status, output = run(["ctest", "--test-dir", build_dir, "-R", fault["tests"], "-j",
                              str(jobs), "--timeout", str(timeout)], timeout)
        if status is None:
            return "caught", "tests timed out"
        if "No tests were found" in output:
            return "UNAPPLIED", f"no test matches {fault['tests']!r}"
        return ("caught", "") if status != 0 else ("MISSED", "")
    finally:
        source.write_text(text)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--build-dir", default="build/release")
    parser.add_argument("--area", nargs="*", default=[], help="areas (file stems) to check")
    parser.add_argument("--id", nargs="*", default=[], help="fault ids to check")
    parser.add_argument("--jobs", type=int, default=2)
    parser.add_argument("--timeout", type=int, default=900, help="seconds per build or test run")
    args = parser.parse_args()

    faults = [f for f in read_faults(set(args.area)) if not args.id or f["id"] in args.id]
    if not faults:
        sys.exit("no faults selected")
    counts = {}
    try:
        for fault in faults:
            started = time.monotonic()
            result, detail = check(fault, args.build_dir, args.jobs, args.timeout)
            counts[result] = counts.get(result, 0) + 1
            print(f"{fault['id']:<22} {result:<10} {time.monotonic() - started:6.1f} s  "
                  f"{fault['file']}" + (f"\n    {detail.strip()}" if detail else ""), flush=True)
    finally:
        # Leave the build matching the restored sources.
        targets = sorted({t for f in faults for t in f["targets"].split()})
        run(["cmake", "--build", args.build_dir, "-j", str(args.jobs), "--target", *targets],
            args.timeout)
    total = sum(counts.values())
    print(f"\n{counts.get('caught', 0)} of {total} faults caught; " +
          ", ".join(f"{n} {k}" for k, n in sorted(counts.items()) if k != "caught"))
    return 0 if counts.get("caught", 0) == total else 1


if __name__ == "__main__":
    sys.exit(main())
