"""Seeds for the tag fuzz targets: ID3v2 tags of versions 2.2 to 2.4 with the
usual frames, unsynchronisation, extended headers and footers, 2.4 tags with
plain frame sizes, described comments and links, 2.2 frames outside the
standard's table, compressed and encrypted 2.4 frames, chapters; ID3v1
records."""
import struct
import zlib


def synchsafe(n):
    return bytes([(n >> 21) & 0x7F, (n >> 14) & 0x7F, (n >> 7) & 0x7F, n & 0x7F])


def frame(fid, content, major=3, flags=b"\0\0"):
    if major == 2:
        return fid.encode() + struct.pack(">I", len(content))[1:] + content
    size = synchsafe(len(content)) if major == 4 else struct.pack(">I", len(content))
    return fid.encode() + size + flags + content


def tag(major, body, flags=0, padding=16, footer=False):
    size = len(body) + padding
    head = b"ID3" + bytes([major, 0, flags]) + synchsafe(size)
    out = head + body + b"\0" * padding
    if footer:
        out += b"3DI" + bytes([major, 0, flags]) + synchsafe(size)
    return out


def unsync(data):
    return data.replace(b"\xff", b"\xff\x00")


def text(value, encoding=0):
    codecs = {0: "latin-1", 1: "utf-16", 2: "utf-16-be", 3: "utf-8"}
    return bytes([encoding]) + value.encode(codecs[encoding])


def seeds_v2():
    common = (frame("TIT2", text("Title")) + frame("TPE1", text("Artist", 1)) +
              frame("COMM", b"\0eng\0A comment") + frame("WXXX", b"\0\0http://x") +
              frame("TCON", text("(17)")) + frame("APIC", b"\0image/png\0\x03\0\x89PNG" + b"\xff" * 40) +
              frame("TXXX", b"\0REPLAYGAIN\0-6 dB"))
    yield "v23", tag(3, common)
    yield "v23_unsync", tag(3, unsync(common), flags=0x80)
    yield "v23_ext", tag(3, b"\0\0\0\x06\0\0\0\0\0\0" + common, flags=0x40)
    v24 = (frame("TIT2", text("Tïtle €", 3), 4) + frame("TALB", text("Album", 2), 4) +
           frame("TDRC", text("2004-05-06"), 4) + frame("TPE1", b"\0\0\0\x05" + unsync(text("\xffA")), 4, b"\0\x03") +
           frame("TXXX", text("k", 3) + b"\0" + "v".encode(), 4))
    yield "v24", tag(4, v24)
    yield "v24_footer", tag(4, v24, flags=0x10, padding=0, footer=True)
    yield "v24_ext", tag(4, b"\0\0\0\x06\x01\0" + v24, flags=0x40)
    v22 = (frame("TT2", text("Title22"), 2) + frame("TP1", text("Artist22", 1), 2) +
           frame("COM", b"\0eng\0c22", 2) + frame("PIC", b"\0PNG\x03\0" + b"\x89PNG", 2))
    yield "v22", tag(2, v22)
    yield from seeds_kept_frames()
    yield "v23_big_frame", tag(3, frame("APIC", b"\0" * 64001), padding=0)
    yield "v23_bad_size", tag(3, frame("TIT2", text("x"))[:4] + b"\x7f\xff\xff\xff\0\0x")


def comm(lang, desc, value, fid="COMM", major=3):
    return frame(fid, b"\0" + lang + desc + b"\0" + value, major)


def chapter(element, title, major=4):
    subs = frame("TIT2", text(title, 3), 4) + frame("TIT3", text("sub", 3), 4)
    return frame("CHAP", element + b"\0" + struct.pack(">IIII", 0, 1000, 0xFFFFFFFF, 0xFFFFFFFF) + subs, major)


def seeds_kept_frames():
    # 2.4 with plain frame sizes (a size byte above 0x7F; a size of 0x100)
    plain = (frame("TIT2", text("Plain")) + frame("APIC", b"\0image/png\0\x03\0" + b"\xa5" * 200) +
             frame("TXXX", text("k", 3) + b"\0" + b"v" * 253) + frame("TPE1", text("A", 3)))
    yield "v24_plain_sizes", tag(4, plain)
    yield "described_comments", tag(3, comm(b"eng", b"iTunNORM", b" 0000021A") + comm(b"eng", b"", b"mine") +
                                    comm(b"fra", b"", b"autre") + frame("WXXX", b"\0shop\0http://s") +
                                    frame("WXXX", b"\0\0http://h"))
    v22 = b"".join(frame(fid, text(fid), 2) for fid in ("TCP", "TST", "TSA", "TSP", "TS2", "TSC", "GP1"))
    v22 += frame("RVA", b"\x03\x10" + b"\0" * 8, 2) + comm(b"eng", b"iTunNORM", b" 1", "COM", 2)
    v22 += frame("LNK", b"TT2http://l\0id", 2)
    yield "v22_extra_frames", tag(2, v22)
    yield "v22_no_equivalent", tag(2, frame("TT2", text("t"), 2) + frame("CRM", b"owner\0xy", 2))
    zipped = zlib.compress(text("zipped"))
    packed = (frame("TXXX", synchsafe(7) + zipped, 4, b"\0\x09") +
              frame("TIT3", b"\x80" + synchsafe(6) + b"secret", 4, b"\0\x05") +
              frame("TPE2", b"\x07" + synchsafe(7) + zipped, 4, b"\0\x49"))
    yield "v24_compressed_encrypted", tag(4, frame("TIT2", text("t"), 4) + packed)
    toc = frame("CTOC", b"toc\0\x03\x02ch0\0ch1\0" + frame("TIT2", text("Contents", 3), 4), 4)
    yield "v24_chapters", tag(4, chapter(b"ch0", "Kapitel \u7ae0 " + "c" * 200) + chapter(b"ch1", "Zwei") + toc)
    yield "v23_ext_flag_no_ext_header", tag(3, frame("TIT2", text("t")), flags=0x40)


def seeds_v1():
    def field(value, width):
        return value.encode("latin-1").ljust(width, b"\0")[:width]
    base = b"TAG" + field("Title", 30) + field("Artist", 30) + field("Album", 30) + field("1999", 4)
    yield "v1", base + field("Comment of thirty characters!!", 30) + b"\x11"
    yield "v11", base + field("Comment", 28) + b"\0\x07\xff"


def generate(root):
    targets = {
        "fuzz_id3v2_reader": seeds_v2(),
        "fuzz_id3v2_writer_walk": seeds_v2(),
        "fuzz_id3v2_tag_length": ((name, data[:10]) for name, data in seeds_v2()),
        "fuzz_id3v1_reader": seeds_v1(),
    }
    for target, seeds in targets.items():
        folder = root / target
        folder.mkdir(parents=True, exist_ok=True)
        for name, data in seeds:
            (folder / name).write_bytes(data)
