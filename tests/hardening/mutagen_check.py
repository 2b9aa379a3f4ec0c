"""Reads MP3 files with mutagen: mutagen_check.py FILE...

Prints one JSON object keyed by path: {"seconds": audio length,
"v2": {frame ID: value} or null, "v1": {frame ID: value} or null}. Text
frames give their texts joined by "/", COMM its text, WXXX its URL. Exits
non-zero when mutagen cannot read a file.
"""
import json
import sys

from mutagen.id3 import ID3, ID3NoHeaderError, ParseID3v1
from mutagen.mp3 import MP3


def frame_values(frames):
    out = {}
    for frame in frames:
        if frame.FrameID == "WXXX":
            out["WXXX"] = frame.url
        elif hasattr(frame, "text"):
            out[frame.FrameID] = "/".join(str(t) for t in frame.text)
    return out


def check(path):
    entry = {"seconds": MP3(path).info.length}
    try:
        entry["v2"] = frame_values(ID3(path, translate=False, load_v1=False).values())
    except ID3NoHeaderError:
        entry["v2"] = None
    with open(path, "rb") as f:
        f.seek(-128, 2)
        v1 = ParseID3v1(f.read(128), v2_version=3)
    entry["v1"] = None if v1 is None else frame_values(v1.values())
    return entry


def main(paths):
    print(json.dumps({path: check(path) for path in paths}))


if __name__ == "__main__":
    main(sys.argv[1:])
