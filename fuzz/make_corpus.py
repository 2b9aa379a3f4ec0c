#!/usr/bin/env python3
"""Writes the seed corpus of each fuzz target into ROOT/<target>/."""
import pathlib
import struct
import sys


def chunk(tag, body):
    return tag + struct.pack("<I", len(body)) + body


def wav(channels=2, rate=44100, bits=16, tag=1, before=b"", after=b"", frames=64, size=None):
    align = channels * bits // 8
    fmt = struct.pack("<HHIIHH", tag, channels, rate, rate * align, align, bits)
    samples = bytes(i % 251 for i in range(frames * align))
    data = b"data" + struct.pack("<I", len(samples) if size is None else size) + samples
    body = b"WAVE" + chunk(b"fmt ", fmt) + before + data + after
    return b"RIFF" + struct.pack("<I", len(body)) + body


WAV_SEEDS = {
    "canonical": wav(),
    "mono8k": wav(channels=1, rate=8000),
    "list_before": wav(before=chunk(b"LIST", b"INFOISFT" + b"x" * 20)),
    "list_after": wav(after=chunk(b"LIST", b"y" * 40)),
    "data_at_96": wav(before=chunk(b"JUNK", b"\0" * 52)),
    "data_beyond_100": wav(before=chunk(b"JUNK", b"\0" * 80)),
    "size_zero": wav(size=0),
    "size_max": wav(size=0xFFFFFFFF),
    "float": wav(tag=3, bits=32),
    "short": wav()[:90],
}

SEEDS = {"fuzz_wav_input": WAV_SEEDS}

root = pathlib.Path(sys.argv[1] if len(sys.argv) > 1 else "corpus")
for target, seeds in SEEDS.items():
    folder = root / target
    folder.mkdir(parents=True, exist_ok=True)
    for name, data in seeds.items():
        (folder / name).write_bytes(data)
