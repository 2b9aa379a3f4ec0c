#!/usr/bin/env python3
"""Segment-parallel encoding: speed, memory and quality of `zubmp3 encode`
with one encoder thread (ZUBMP3_ENCODER_THREADS=1) and with the default (one
per core, at most 16), against the `lame` command line, on the same generated
3-minute stereo 44.1 kHz file (zubmp3-demo-wav).

Speed: runs alternate (ours with 1 thread, ours with all cores, lame, in a
rotating order); each round gives a ratio ours/lame, the median of the rounds
is printed. Target on 2 cores: all cores at most 0.59 x lame (1.7 x faster),
for 128 kbit/s joint stereo (`lame --noreplaygain -b 128 -m j`) and VBR
(`lame --noreplaygain -V 0 -b 128 -B 320`). Peak memory (resident, per
process, from GNU time): target within 16 MiB of lame's.

Quality: for CBR and VBR at 128 and 320 kbit/s, stereo, joint stereo and
mono, the MP3 frames identical to the one-thread encode, the SNR of both
against the input (decoded by ffmpeg), and the largest difference between the
two in the frames after a segment boundary and elsewhere.

Usage: bench/segment_bench.py [--build build] [--runs 5] [--seconds 180] [--skip-quality]
"""
import argparse
import array
import math
import operator
import os
import pathlib
import statistics
import subprocess
import sys
import time

ROOT = pathlib.Path(__file__).resolve().parent.parent
RATE = 44100

# The library's segment layout, for locating the seams: about 3 s of frames,
# a multiple of the CBR padding period, the first segment longer by the
# 4 priming frames (modulo the period).
SEGMENT_SECONDS = 3.0
PRIMING_FRAMES = 4


def run(command, env=None, stdout=subprocess.DEVNULL):
    result = subprocess.run(command, env=env, stdout=stdout, stderr=subprocess.PIPE)
    if result.returncode != 0:
        sys.exit(f"failed: {' '.join(map(str, command))}\n{result.stderr.decode(errors='replace')}")
    return result


def measure(command, env, report):
    """Wall time in seconds, peak resident memory in KiB and processor time
    in seconds of one run. GNU time starts the command: a child of this
    interpreter would inherit its memory high-water mark across exec."""
    start = time.perf_counter()
    run(["/usr/bin/time", "-f", "%M %U %S", "-o", str(report)] + command, env=env)
    elapsed = time.perf_counter() - start
    rss, user, system = report.read_text().split()[-3:]
    return elapsed, int(rss), float(user) + float(system)


def environment(threads):
    env = dict(os.environ)
    env.pop("ZUBMP3_ENCODER_THREADS", None)
    env.pop("ZUBMP3_ENCODER_SEGMENT_FRAMES", None)
    if threads is not None:
        env["ZUBMP3_ENCODER_THREADS"] = str(threads)
    return env


def speed(args, zubmp3, wav, out):
    cases = {
        "cbr 128 joint": (["--bitrate", "128", "--mode", "joint"], ["-b", "128", "-m", "j"]),
        "vbr 128-320 joint": (["--bitrate", "128", "--mode", "joint", "--vbr", "--vbr-max", "320"],
                              ["-V", "0", "-b", "128", "-B", "320"]),
    }
    report = out / "time.txt"
    failed = False
    for name, (ours, lame) in cases.items():
        commands = {
            "1 thread": ([str(zubmp3), "encode", str(wav), str(out / "one.mp3")] + ours, environment(1)),
            "all cores": ([str(zubmp3), "encode", str(wav), str(out / "all.mp3")] + ours, environment(None)),
            "lame": (["lame", "--quiet", "--noreplaygain"] + lame + [str(wav), str(out / "lame.mp3")], environment(None)),
        }
        order = list(commands)
        rounds = []
        for round_number in range(args.runs):
            shift = round_number % len(order)
            rotated = order[shift:] + order[:shift]
            rounds.append({key: measure(*commands[key], report) for key in rotated})
        print(f"{name}:")
        for key in ("1 thread", "all cores"):
            ratio = statistics.median(r[key][0] / r["lame"][0] for r in rounds)
            rss = max(r[key][1] for r in rounds) / 1024
            lame_rss = max(r["lame"][1] for r in rounds) / 1024
            seconds = statistics.median(r[key][0] for r in rounds)
            lame_seconds = statistics.median(r["lame"][0] for r in rounds)
            cpu = statistics.median(r[key][2] for r in rounds)
            line = (f"  {key:9}: {seconds:.2f} s against lame's {lame_seconds:.2f} s, ratio {ratio:.3f}; "
                    f"processor time {cpu:.2f} s; "
                    f"peak memory {rss:.1f} MiB against {lame_rss:.1f} MiB ({rss - lame_rss:+.1f})")
            if key == "all cores":
                ok = ratio <= 0.59 and rss - lame_rss <= 16
                failed |= not ok
                line += " [target: ratio <= 0.59, memory <= +16 MiB: " + ("met" if ok else "NOT met") + "]"
            print(line)
    return failed


def frames(data):
    """Byte ranges of the MPEG-1 Layer III frames of `data`."""
    bitrates = [0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320]
    rates = [44100, 48000, 32000]
    spans, at = [], 0
    while at + 4 <= len(data) and data[at] == 0xFF:
        size = 144000 * bitrates[data[at + 2] >> 4] // rates[(data[at + 2] >> 2) & 3] + ((data[at + 2] >> 1) & 1)
        spans.append(data[at:at + size])
        at += size
    return spans


def decode(mp3, channels):
    raw = run(["ffmpeg", "-nostdin", "-v", "error", "-i", str(mp3), "-f", "s16le", "-ac", str(channels), "-"],
              stdout=subprocess.PIPE).stdout
    samples = array.array("h")
    samples.frombytes(raw)
    return samples


def energy(a, b=None):
    if b is None:
        return math.fsum(map(operator.mul, a, a))
    d = list(map(operator.sub, a, b))
    return math.fsum(map(operator.mul, d, d))


def seams(total_frames, vbr, kbps):
    """Frame indexes where segments start, as the library lays them out."""
    period = 1
    if not vbr:
        fraction = 144000 * kbps % RATE
        period = RATE // math.gcd(RATE, fraction) if fraction else 1
    wanted = round(SEGMENT_SECONDS * RATE / 1152)
    length = max(period, (wanted + period // 2) // period * period)
    while length <= PRIMING_FRAMES:
        length += period
    starts, at = [], length + PRIMING_FRAMES % period
    while at < total_frames:
        starts.append(at)
        at += length
    return starts


def quality(zubmp3, wav, out):
    cases = [
        ("cbr 128 joint", ["--bitrate", "128", "--mode", "joint"], 2, False, 128),
        ("cbr 320 stereo", ["--bitrate", "320", "--mode", "stereo"], 2, False, 320),
        ("cbr 128 mono", ["--bitrate", "128", "--mode", "mono"], 1, False, 128),
        ("vbr 128-320 joint", ["--bitrate", "128", "--vbr", "--vbr-max", "320"], 2, True, 128),
        ("vbr 320-320 stereo", ["--bitrate", "320", "--mode", "stereo", "--vbr", "--vbr-max", "320"], 2, True, 320),
    ]
    print("quality (against the 1-thread encode; SNR against the input, decoded by ffmpeg):")
    for name, options, channels, vbr, kbps in cases:
        files = {}
        for key, threads in (("one", 1), ("all", None)):
            files[key] = out / f"q_{key}.mp3"
            run([str(zubmp3), "encode", str(wav), str(files[key])] + options, env=environment(threads))
        one, all_ = (frames(files[k].read_bytes()) for k in ("one", "all"))
        same = sum(a == b for a, b in zip(one[1:], all_[1:]))
        reference = decode(wav, channels)
        a, b = decode(files["one"], channels), decode(files["all"], channels)
        signal = energy(reference)
        snr = [10 * math.log10(signal / max(energy(x, reference), 1e-9)) for x in (a, b)]
        difference = energy(a, b)
        overall = "none" if difference == 0 else f"{10 * math.log10(difference / signal):.1f} dB"
        # In each frame-long window, the difference between the two encodes
        # against the coding noise of the 1-thread encode there: in the 8
        # frames after a seam and elsewhere.
        window = 1152 * channels
        at_seams = {s + k for s in seams(len(one) - 1, vbr, kbps) for k in range(8)}
        worst = {True: 0.0, False: 0.0}
        for index in range(min(len(a), len(b), len(reference)) // window):
            part = slice(index * window, (index + 1) * window)
            d = energy(a[part], b[part])
            if d:
                noise = max(energy(a[part], reference[part]), window)  # at least 1 LSB
                worst[index in at_seams] = max(worst[index in at_seams], d / noise)

        def level(ratio):
            return "identical" if ratio == 0 else f"{10 * math.log10(ratio):+.1f} dB"

        print(f"  {name:19}: {same} of {len(one) - 1} frames identical; SNR {snr[0]:.2f} dB (1 thread), "
              f"{snr[1]:.2f} dB (all cores), {snr[1] - snr[0]:+.3f} dB; difference {overall} against the "
              f"signal; worst frame's difference against its coding noise: after a seam {level(worst[True])}, "
              f"elsewhere {level(worst[False])}")


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--build", default=str(ROOT / "build"))
    parser.add_argument("--runs", type=int, default=5)
    parser.add_argument("--seconds", type=int, default=180)
    parser.add_argument("--skip-quality", action="store_true")
    args = parser.parse_args()

    build = pathlib.Path(args.build).resolve()
    zubmp3, generator = build / "bin" / "zubmp3", build / "bin" / "zubmp3-demo-wav"
    for tool in (zubmp3, generator):
        if not tool.exists():
            sys.exit(f"{tool} is missing: build the project first")
    out = ROOT / "bench" / "out"
    out.mkdir(exist_ok=True)
    wav = out / f"demo_{args.seconds}s.wav"
    if not wav.exists():
        run([str(generator), str(wav), "--seconds", str(args.seconds)])
    print(f"{os.cpu_count()} cores; {args.seconds} s of generated music; {args.runs} rounds")
    failed = speed(args, zubmp3, wav, out)
    if not args.skip_quality:
        quality(zubmp3, wav, out)
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
