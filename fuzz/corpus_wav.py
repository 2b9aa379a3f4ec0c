"""Seeds for the WAV reader's fuzz target: canonical files, chunks before and
after the samples (bext, LIST with "data" in a text, odd sizes), data sizes 0
and 0xFFFFFFFF, other formats, short files."""
import struct


def chunk(tag, body):
    return tag + struct.pack("<I", len(body)) + body


def wav(channels=2, rate=44100, bits=16, tag=1, before=b"", after=b"", frames=64, size=None):
    align = channels * bits // 8
    fmt = struct.pack("<HHIIHH", tag, channels, rate, rate * align, align, bits)
    samples = bytes(i % 251 for i in range(frames * align))
    data = b"data" + struct.pack("<I", len(samples) if size is None else size) + samples
    body = b"WAVE" + chunk(b"fmt ", fmt) + before + data + after
    return b"RIFF" + struct.pack("<I", len(body)) + body


SEEDS = {
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
    "bext_and_list": wav(before=chunk(b"bext", b"\0" * 602) + chunk(b"LIST", b"INFOINAM" + struct.pack("<I", 9) + b"metadata\0\0")),
    "odd_chunk": wav(before=chunk(b"LIST", b"INFOISFTabc") + b"\0"),
}


def generate(root):
    folder = root / "fuzz_wav_input"
    folder.mkdir(parents=True, exist_ok=True)
    for name, data in SEEDS.items():
        (folder / f"{name}.wav").write_bytes(data)
