#!/usr/bin/env python3
"""Encoding time and peak memory of the zubmp3 command against the `lame`
command line doing the same work, on stereo 44.1 kHz WAV files of 1 second,
60 seconds and 3 minutes: 128 kbit/s constant bitrate, joint stereo, normal
quality, and variable bitrate (best quality, 128 to 320 kbit/s). The job
encodes with the bit reservoir off, so `lame --nores` is a second peer.

Runs come in pairs, ours and the peer's back to back, in alternating order;
the time ratio ours/peer is taken per pair and the median of the pairs is
printed (target: at most 1.03), with the smallest and largest pair. Peak
resident memory is the largest of the runs (target: ours within 2 MiB).

Usage: bench/encode_bench.py [--build build] [--pairs N] [--driver]
  --pairs N   pairs per file and peer (default: 15 for 1 s, 7 for 60 s, 5 for 3 min)
  --driver    time the engine alone through interface1 (bench/encode_driver)
              instead of the zubmp3 command
"""
import argparse
import pathlib
import statistics
import subprocess
import sys
import time

ROOT = pathlib.Path(__file__).resolve().parent.parent
LENGTHS = {1: 15, 60: 7, 180: 5}  # seconds of audio: default pairs
LAME = {
    "cbr": ["lame", "--quiet", "--noreplaygain", "-b", "128", "-m", "j"],
    "vbr": ["lame", "--quiet", "--noreplaygain", "-V", "0", "-b", "128", "-B", "320"],
}
ZUBMP3 = {"cbr": ["--bitrate", "128", "--mode", "joint"], "vbr": ["--bitrate", "128", "--vbr", "--vbr-max", "320"]}
PEERS = {"lame": [], "lame --nores": ["--nores"]}


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
                            stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
    elapsed = time.perf_counter() - start
    if result.returncode != 0:
        sys.exit(f"failed: {' '.join(command)}\n{result.stderr.decode(errors='replace')}")
    return elapsed, int(report.read_text().split()[-1])


def ours_command(args, build, mode, wav, mp3):
    if args.driver:
        return [str(build / "bench" / "encode_driver"), str(build / "lib"), str(wav), str(mp3), mode]
    return [str(build / "bin" / "zubmp3"), "encode", str(wav), str(mp3)] + ZUBMP3[mode]


def compare(ours, peer, pairs, report):
    """Per-pair ratios and peak memories of `ours` against `peer`."""
    ratios, times, memory = [], {"ours": [], "peer": []}, {"ours": 0, "peer": 0}
    for pair in range(pairs):
        order = [("ours", ours), ("peer", peer)]
        if pair % 2:
            order.reverse()
        took = {}
        for name, command in order:
            took[name], rss = measure(command, report)
            times[name].append(took[name])
            memory[name] = max(memory[name], rss)
        ratios.append(took["ours"] / took["peer"])
    return ratios, times, memory


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--build", default=str(ROOT / "build"))
    parser.add_argument("--pairs", type=int)
    parser.add_argument("--driver", action="store_true")
    args = parser.parse_args()

    build = pathlib.Path(args.build).resolve()
    program = build / ("bench/encode_driver" if args.driver else "bin/zubmp3")
    if not program.exists():
        sys.exit(f"{program} is missing: build the project first")
    out = ROOT / "bench" / "out"
    out.mkdir(exist_ok=True)
    report = out / "time.txt"
    failed = False
    print(f"{'file':>6} {'mode':4} {'peer':13} {'ours s':>8} {'peer s':>8} {'ratio':>6} {'range':>13} "
          f"{'ours MiB':>8} {'peer MiB':>8}")
    for seconds, default_pairs in LENGTHS.items():
        wav = out / f"input_{seconds}s.wav"
        if not wav.exists() or wav.stat().st_size != 44 + seconds * 44100 * 4:
            make_input(wav, seconds)
        for mode, lame in LAME.items():
            ours = ours_command(args, build, mode, wav, out / f"ours_{mode}.mp3")
            for name, extra in PEERS.items():
                peer = lame[:3] + extra + lame[3:] + [str(wav), str(out / f"peer_{mode}.mp3")]
                ratios, times, memory = compare(ours, peer, args.pairs or default_pairs, report)
                ratio = statistics.median(ratios)
                delta = (memory["ours"] - memory["peer"]) / 1024
                print(f"{seconds:>5}s {mode:4} {name:13} {statistics.median(times['ours']):8.3f} "
                      f"{statistics.median(times['peer']):8.3f} {ratio:6.3f} "
                      f"{min(ratios):6.3f}-{max(ratios):6.3f} {memory['ours'] / 1024:8.1f} "
                      f"{memory['peer'] / 1024:8.1f}", flush=True)
                failed |= ratio > 1.03 or delta > 2
    print("targets: ratio <= 1.03, ours at most 2 MiB above the peer")
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
