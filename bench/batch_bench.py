#!/usr/bin/env python3
"""Encoding a folder of files on every core: `zubmp3 encode -j 2` against
`xargs -P2 lame` on the same 20 one-minute stereo 44.1 kHz WAV files, 128
kbit/s joint stereo (`lame --noreplaygain -b 128 -m j`), each writing its MP3s
beside its own copy of the inputs.

Runs come in pairs, ours and lame's back to back, in alternating order; the
time ratio ours/lame is taken per pair and the median of the pairs is printed
with the smallest and largest pair (target: at most 1.0).

Usage: bench/batch_bench.py [--build build] [--pairs 5] [--files 20] [--seconds 60] [--jobs 2]
"""
import argparse
import pathlib
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

ROOT = pathlib.Path(__file__).resolve().parent.parent


def make_inputs(folder, files, seconds):
    """One generated file (tones, vibrato, noise, different in each channel),
    copied under `files` names."""
    expr = ("0.25*sin(2*PI*440*t+3*sin(2*PI*0.5*t))+0.15*sin(2*PI*1320*t)+0.05*random(0)"
            "|0.25*sin(2*PI*554*t+2*sin(2*PI*0.3*t))+0.1*sin(2*PI*3000*t)+0.05*random(1)")
    first = folder / "f01.wav"
    subprocess.run(["ffmpeg", "-nostdin", "-v", "error", "-y", "-f", "lavfi", "-i",
                    f"aevalsrc={expr}:s=44100:d={seconds}", "-fflags", "+bitexact", "-c:a", "pcm_s16le", str(first)],
                   check=True)
    for n in range(2, files + 1):
        shutil.copyfile(first, folder / f"f{n:02d}.wav")
    return sorted(folder.glob("*.wav"))


def timed(command):
    start = time.perf_counter()
    result = subprocess.run(command, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, stdin=subprocess.DEVNULL)
    if result.returncode != 0:
        sys.exit(f"failed: {' '.join(map(str, command))}\n{result.stderr.decode(errors='replace')}")
    return time.perf_counter() - start


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--build", default=str(ROOT / "build"))
    parser.add_argument("--pairs", type=int, default=5)
    parser.add_argument("--files", type=int, default=20)
    parser.add_argument("--seconds", type=int, default=60)
    parser.add_argument("--jobs", type=int, default=2)
    args = parser.parse_args()
    zubmp3 = pathlib.Path(args.build) / "bin" / "zubmp3"
    if not zubmp3.exists():
        sys.exit(f"{zubmp3} not found: build first")

    with tempfile.TemporaryDirectory(prefix="zubmp3-batch-bench-") as tmp:
        ours_dir, lame_dir = pathlib.Path(tmp) / "ours", pathlib.Path(tmp) / "lame"
        ours_dir.mkdir()
        lame_dir.mkdir()
        ours_files = make_inputs(ours_dir, args.files, args.seconds)
        lame_files = [lame_dir / f.name for f in ours_files]
        for source, copy in zip(ours_files, lame_files):
            shutil.copyfile(source, copy)
        ours = [str(zubmp3), "encode", "-j", str(args.jobs), "--bitrate", "128", "--mode", "joint"] + list(map(str, ours_files))
        # lame names each output after its input, beside it, as zubmp3 does.
        lame = ["xargs", "-P", str(args.jobs), "-n", "1", "lame", "--quiet", "--noreplaygain", "-b", "128", "-m", "j"]
        lame_list = "\n".join(map(str, lame_files)).encode()

        def run_lame():
            start = time.perf_counter()
            subprocess.run(lame, input=lame_list, stdout=subprocess.DEVNULL, check=True)
            return time.perf_counter() - start

        ratios, times = [], []
        for pair in range(args.pairs):
            if pair % 2 == 0:
                mine, theirs = timed(ours), run_lame()
            else:
                theirs, mine = run_lame(), timed(ours)
            ratios.append(mine / theirs)
            times.append((mine, theirs))
        ratio = statistics.median(ratios)
        print(f"{args.files} files of {args.seconds} s, {args.jobs} jobs, {args.pairs} pairs: "
              f"zubmp3 {statistics.median(t[0] for t in times):.2f} s, "
              f"xargs -P{args.jobs} lame {statistics.median(t[1] for t in times):.2f} s; "
              f"ratio median {ratio:.3f} (smallest {min(ratios):.3f}, largest {max(ratios):.3f}) "
              f"[target <= 1.0: {'met' if ratio <= 1.0 else 'NOT met'}]")
        return 0 if ratio <= 1.0 else 1


if __name__ == "__main__":
    sys.exit(main())
