#!/usr/bin/env python3
"""Speed and peak memory of an ID3v2 write through the zubmp3 command against
`cp` of the same file and the `id3v2` tool writing the same title, on MP3
files of 5, 50 and 500 MB whose old tag has no padding (so that every tool
rewrites the whole file). Every run works on a fresh copy made and synced
before it is timed; the tools alternate in each round, the ratio is taken
per round and the median of the rounds is printed (targets at 500 MB:
ours/cp <= 1.3, ours/id3v2 <= 1.0, peak memory a few MiB). `cp` and `id3v2`
do not flush what they write to disk, ours does (the new file must be on
disk before it replaces the old one), so `cp` followed by `sync` of the copy
is printed as well.

Usage: bench/tag_bench.py [--build build] [--runs 5] [--sizes 5,50,500] [--dir bench/out/tags]
"""
import argparse
import os
import pathlib
import shutil
import statistics
import subprocess
import sys
import time

ROOT = pathlib.Path(__file__).resolve().parent.parent
MB = 1000 * 1000
NEW_TITLE = "A new title, longer than the old one"


def make_song(path, size):
    """An ID3v2.3 tag with one title frame and no padding, then `size` bytes
    of stand-in audio (random, so that no file system can share its blocks)."""
    title = b"\x00Old"
    frame = b"TIT2" + len(title).to_bytes(4, "big") + b"\x00\x00" + title
    tag_size = len(frame)
    synchsafe = bytes((tag_size >> shift) & 0x7F for shift in (21, 14, 7, 0))
    with open(path, "wb") as out:
        out.write(b"ID3\x03\x00\x00" + synchsafe + frame)
        left = size
        while left > 0:
            block = min(left, 8 * 1024 * 1024)
            out.write(os.urandom(block))
            left -= block


def measure(command, report):
    """Wall time in seconds and peak resident memory in KiB of one run. GNU
    time starts the command, so that its memory high-water mark is its own."""
    start = time.perf_counter()
    result = subprocess.run(["/usr/bin/time", "-f", "%M", "-o", str(report)] + command,
                            stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
    elapsed = time.perf_counter() - start
    if result.returncode != 0:
        sys.exit(f"failed: {' '.join(command)}\n{result.stderr.decode(errors='replace')}")
    return elapsed, int(report.read_text().split()[-1])


def fresh_copy(master, work):
    """A copy of the master that is on disk and in the page cache, as a file
    that has been played before."""
    if work.exists():
        work.unlink()
    shutil.copyfile(master, work)
    os.sync()


def run_round(commands, master, work, report, reverse):
    results = {}
    for name in (list(commands)[::-1] if reverse else list(commands)):
        fresh_copy(master, work)
        results[name] = measure(commands[name], report)
        if name.startswith("cp"):
            (work.parent / "copy.mp3").unlink()
    return results


def bench_size(size_mb, args, zubmp3, folder):
    master = folder / f"song_{size_mb}MB.mp3"
    if not master.exists() or master.stat().st_size < size_mb * MB:
        make_song(master, size_mb * MB)
    work, copy = folder / "work.mp3", folder / "copy.mp3"
    commands = {
        # --force: the stand-in audio is random bytes, not MPEG frames.
        "ours": [str(zubmp3), "tag-v2", "--force", str(work), "--title", NEW_TITLE],
        "cp": ["cp", str(work), str(copy)],
        "id3v2": ["id3v2", "-2", "-t", NEW_TITLE, str(work)],
        "cp+sync": ["sh", "-c", f'cp "$1" "$2" && sync "$2"', "cp", str(work), str(copy)],
    }
    rounds = [run_round(commands, master, work, folder / "time.txt", run % 2 == 1) for run in range(args.runs)]
    work.unlink()
    median = {name: statistics.median(r[name][0] for r in rounds) for name in commands}
    peak = {name: max(r[name][1] for r in rounds) for name in commands}
    print(f"{size_mb} MB: ours {median['ours']:.3f} s, peak memory {peak['ours'] / 1024:.1f} MiB")
    ratios = {}
    for name in ("cp", "id3v2", "cp+sync"):
        ratios[name] = statistics.median(r["ours"][0] / r[name][0] for r in rounds)
        print(f"  vs {name:8} {median[name]:.3f} s, peak memory {peak[name] / 1024:.1f} MiB: "
              f"ratio ours/{name} {ratios[name]:.2f} (median of {args.runs} rounds)")
    return ratios, peak["ours"]


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--build", default=str(ROOT / "build"))
    parser.add_argument("--runs", type=int, default=5)
    parser.add_argument("--sizes", default="5,50,500")
    parser.add_argument("--dir", default=str(ROOT / "bench" / "out" / "tags"))
    args = parser.parse_args()

    zubmp3 = pathlib.Path(args.build).resolve() / "bin" / "zubmp3"
    if not zubmp3.exists():
        sys.exit(f"{zubmp3} is missing: build the project first")
    for tool in ("id3v2", "cp", "/usr/bin/time"):
        if shutil.which(tool) is None:
            sys.exit(f"{tool} is missing")
    folder = pathlib.Path(args.dir)
    folder.mkdir(parents=True, exist_ok=True)

    failed = False
    for size_mb in (int(size) for size in args.sizes.split(",")):
        ratios, peak = bench_size(size_mb, args, zubmp3, folder)
        if size_mb >= 500:
            failed |= ratios["cp"] > 1.3 or ratios["id3v2"] > 1.0 or peak > 16 * 1024
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
