#!/usr/bin/env python3
"""Runs clang-tidy over the .cpp files of a compile database, skipping a file
whose exact input was already found clean. Called by scripts/tidy.sh.

A file's key is a hash of everything its result depends on: clang-tidy's
version, the .clang-tidy files above it, its compile command, its
preprocessed text (every header, at the version it is now) and the raw text
of each of our own files in it (comments hold NOLINT, and -E drops them).
Only clean keys are stored, so a finding shows again on every run until fixed.
Paths of the source and build folders are left out of the key, so a new clone
reuses the results of the last one.

usage: tidy-cache.py BUILD_DIR FILE_REGEX   (run from the source folder)
clang-tidy's output goes to stdout; the exit code is 1 on any finding.
"""
import concurrent.futures
import hashlib
import json
import os
import re
import shlex
import shutil
import subprocess
import sys
import time

TIDY = "clang-tidy-14"
CLANG = "clang++-14"  # clang-tidy's own front end, so #ifdef __clang__ is seen alike
JOBS = 2
KEEP_DAYS = 60  # entries unused for this long are removed

root = os.path.realpath(os.getcwd())
build = os.path.realpath(sys.argv[1])
pattern = re.compile(sys.argv[2])
cache = os.environ.get("BOOTLINE_TIDY_CACHE") or os.path.join(
    os.environ.get("XDG_CACHE_HOME") or os.path.expanduser("~/.cache"), "bootline-tidy")
use_cache = cache != "off"


def plain(text):
    """The text with the build and source folders' paths replaced by markers."""
    return text.replace(build, "@BUILD").replace(root, "@SRC")


def version(program):
    """Its --version, and the size and time of its file and of its clang and LLVM
    libraries: a package update may keep the version."""
    path = shutil.which(program)
    text = subprocess.run([program, "--version"], capture_output=True, text=True).stdout
    libraries = subprocess.run(["ldd", path], capture_output=True, text=True).stdout
    for name in [path] + re.findall(r"=> (\S*(?:clang|LLVM)\S*)", libraries):
        stat = os.stat(os.path.realpath(name))
        text += f"{os.path.realpath(name)} {stat.st_size} {stat.st_mtime_ns}\n"
    return text


def preprocess_command(entry):
    args = entry["arguments"] if "arguments" in entry else shlex.split(entry["command"])
    out = [CLANG]
    skip = False
    for arg in args[1:]:
        if skip:
            skip = False
        elif arg in ("-o", "-MF", "-MT", "-MQ"):
            skip = True
        elif arg in ("-c", "-MD", "-MMD") or arg.startswith("-o"):
            pass
        else:
            out.append(arg)
    return args, out + ["-E", "-Wno-unused-command-line-argument"]


def key_of(path, entry, common):
    """The file's key, or None when it cannot be made (then clang-tidy runs)."""
    args, command = preprocess_command(entry)
    directory = entry["directory"]
    run = subprocess.run(command, cwd=directory, capture_output=True)
    if run.returncode != 0:
        return None
    text = run.stdout.decode("utf-8", "surrogateescape")
    h = hashlib.sha256(common)
    h.update(plain(" ".join(args) + "\n" + directory).encode())
    h.update(plain(text).encode("utf-8", "surrogateescape"))
    ours = set()
    for match in re.finditer(r'^# \d+ "([^"]+)"', text, re.M):
        if match.group(1).startswith("<"):  # <built-in>, <command line>
            continue
        name = os.path.normpath(os.path.join(directory, match.group(1)))
        if name.startswith(root + os.sep):
            ours.add(name)
    for name in sorted(ours):
        with open(name, "rb") as f:
            h.update(plain(name).encode() + b"\0" + f.read())
    folder = os.path.dirname(path)
    while True:
        config = os.path.join(folder, ".clang-tidy")
        if os.path.isfile(config):
            with open(config, "rb") as f:
                h.update(plain(config).encode() + b"\0" + f.read())
        if folder == root or os.path.dirname(folder) == folder:
            break
        folder = os.path.dirname(folder)
    return h.hexdigest()


def check(path, entry, common):
    """(path, from cache?, exit code, output)"""
    key = key_of(path, entry, common) if use_cache else None
    stored = key and os.path.join(cache, key[:2], key)
    if stored and os.path.exists(stored):
        os.utime(stored)
        return path, True, 0, ""
    run = subprocess.run([TIDY, "-p", build, "-quiet", path], capture_output=True, text=True)
    if run.returncode == 0 and stored:
        os.makedirs(os.path.dirname(stored), exist_ok=True)
        open(stored, "w").close()
    return path, False, run.returncode, run.stdout + run.stderr


def main():
    with open(os.path.join(build, "compile_commands.json")) as f:
        entries = json.load(f)
    files = {}
    for entry in entries:
        path = os.path.normpath(os.path.join(entry["directory"], entry["file"]))
        if pattern.search(path):
            files.setdefault(path, entry)
    with open(__file__, "rb") as f:
        common = (version(TIDY) + version(CLANG)).encode() + f.read()
    status, cached = 0, 0
    with concurrent.futures.ThreadPoolExecutor(JOBS) as pool:
        jobs = [pool.submit(check, p, e, common) for p, e in sorted(files.items())]
        for job in concurrent.futures.as_completed(jobs):
            path, hit, code, output = job.result()
            cached += hit
            if not hit:
                print(f"{TIDY} {path}\n{output}", end="", flush=True)
            if code != 0:
                status = 1
    print(f"clang-tidy: {len(files)} files, {cached} unchanged since a clean run and skipped",
          file=sys.stderr)
    if use_cache and os.path.isdir(cache):
        old = time.time() - KEEP_DAYS * 86400
        for folder, _, names in os.walk(cache):
            for name in names:
                entry = os.path.join(folder, name)
                if os.path.getmtime(entry) < old:
                    os.remove(entry)
    return status


if __name__ == "__main__":
    sys.exit(main())
