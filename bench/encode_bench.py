#!/usr/bin/env python3
"""Encoding speed and peak memory of a job through interface1 against the
`lame` command line doing the same work: a 3-minute stereo 44.1 kHz WAV at
128 kbit/s constant bitrate, joint stereo, normal quality, and at variable
bitrate (best quality, 128 to 320 kbit/s). Runs alternate; prints the median
wall-time ratio ours/lame (target: at most 1.03) and the peak resident memory
of each process (target: ours within 2 MiB of lame's). The job encodes with
the bit reservoir off, so the ratios against `lame --nores` are printed too.

Usage: bench/encode_bench.py [--build build] [--runs 7] [--seconds 180]
"""
import argparse
import pathlib
import statistics
import subprocess
import sys
import time

ROOT = pathlib.Path(__file__).resolve().parent.parent


def make_input(path, seconds):
    # Tones with a slow vibrato and some noise, different in each channel.
    expr = ("0.25*sin(2*PI*440*t+3*sin(2*PI*0.5*t))+0.15*sin(2*PI*1320*t)+0.05*random(0)"
            "|0.25*sin(2*PI*554*t+2*sin(2*PI*0.3*t))+0.1*sin(2*PI*3000*t)+0.05*random(1)")
    subprocess.run(["ffmpeg", "-nostdin", "-v", "error", "-y", "-f", "lavfi",
                    "-i", f"aevalsrc={expr}:s=44100:d={seconds}", "-fflags", "+bitexact",
                    "-map_metadata", "-1", "-c:a", "pcm_s16le", str(path)], check=True)


def measure(command, report):
    """Wall time in seconds and peak resident memory in KiB of one run. GNU
    time starts the command: a child of this interpreter would inherit its
    memory high-water mark across exec."""
    start = time.perf_counter()
    result = subprocess.run(["/usr/bin/time", "-f", "%M", "-o", str(report)] + command,
                            stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
    elapsed = time.perf_counter() - start
    if result.returncode != 0:
        sys.exit(f"failed: {' '.join(command)}\n{result.stderr.decode(errors='replace')}")
    return elapsed, int(report.read_text().split()[-1])


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--build", default=str(ROOT / "build"))
    parser.add_argument("--runs", type=int, default=7)
    parser.add_argument("--seconds", type=int, default=180)
    args = parser.parse_args()

    build = pathlib.Path(args.build).resolve()
    driver = build / "bench" / "encode_driver"
    if not driver.exists():
        sys.exit(f"{driver} is missing: build the project first")
    out = ROOT / "bench" / "out"
    out.mkdir(exist_ok=True)
    wav = out / "input.wav"
    if not wav.exists() or wav.stat().st_size != 44 + args.seconds * 44100 * 4:
        make_input(wav, args.seconds)

    cases = {
        "cbr": ["lame", "--quiet", "--noreplaygain", "-b", "128", "-m", "j"],
        "vbr": ["lame", "--quiet", "--noreplaygain", "-V", "0", "-b", "128", "-B", "320"],
    }
    # The job turns the bit reservoir off; lame with --nores does exactly that work.
    peers = {"lame": [], "lame --nores": ["--nores"]}
    report = out / "time.txt"
    failed = False
    for mode, lame in cases.items():
        ours = [str(driver), str(build / "lib"), str(wav), str(out / f"ours_{mode}.mp3"), mode]
        commands = {"ours": ours}
        for name, extra in peers.items():
            commands[name] = lame[:3] + extra + lame[3:] + [str(wav), str(out / f"lame_{mode}.mp3")]
        runs = {name: [] for name in commands}
        order = list(commands)
        for run in range(args.runs):
            for name in (order if run % 2 == 0 else order[::-1]):
                runs[name].append(measure(commands[name], report))
        time_of = {name: statistics.median(t for t, _ in r) for name, r in runs.items()}
        rss_of = {name: max(m for _, m in r) for name, r in runs.items()}
        print(f"{mode}: ours {time_of['ours']:.3f} s, peak memory {rss_of['ours'] / 1024:.1f} MiB")
        for name in peers:
            ratio = time_of["ours"] / time_of[name]
            delta = (rss_of["ours"] - rss_of[name]) / 1024
            print(f"  vs {name:13} {time_of[name]:.3f} s: time ratio ours/{name} {ratio:.3f} (target <= 1.03); "
                  f"peak memory {rss_of[name] / 1024:.1f} MiB, ours {delta:+.1f} MiB (target <= +2)")
            failed |= ratio > 1.03 or delta > 2
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
