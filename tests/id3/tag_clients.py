"""Reads and writes ID3 tags with mutagen and eyeD3 for the tag tests.

  read-mutagen FILE          JSON: {"version": "2.3.0", "frames": {ID: value}}
  read-eyed3 FILE [1|2]      JSON: {"version": "2.3.0", "frames": {ID: value}}
  write-mutagen FILE VERSION ENCODING JSON_FIELDS [IMAGE]

Frame values: text frames their (first) text, COMM its text, WXXX its URL,
TXXX:<description> its text, APIC the hex SHA-256 of the picture.
"""
import hashlib
import json
import sys


def mutagen_frames(tags):
    out = {}
    for frame in tags.values():
        fid = frame.FrameID
        if fid == "APIC":
            out["APIC"] = hashlib.sha256(frame.data).hexdigest()
        elif fid == "TXXX":
            out["TXXX:" + frame.desc] = str(frame.text[0])
        elif fid == "WXXX":
            out["WXXX"] = frame.url
        elif fid == "TCON":
            out["TCON"] = frame.genres[0] if frame.genres else ""
        elif fid == "COMM":
            out["COMM"] = str(frame.text[0]) if frame.text else ""
        elif hasattr(frame, "text"):
            out[fid] = str(frame.text[0]) if frame.text else ""
    return out


def read_mutagen(path):
    from mutagen.id3 import ID3
    tags = ID3(path, translate=False)
    return {"version": ".".join(map(str, tags.version)), "frames": mutagen_frames(tags)}


def read_eyed3(path, which):
    import eyed3
    import eyed3.id3
    eyed3.log.setLevel("ERROR")
    version = eyed3.id3.ID3_V1 if which == "1" else eyed3.id3.ID3_V2
    tag = eyed3.load(path, tag_version=version).tag
    frames = {}
    if which == "1":
        frames = {"title": tag.title, "artist": tag.artist, "album": tag.album,
                  "year": str(tag.getBestDate()), "comment": tag.comments[0].text if tag.comments else "",
                  "track": tag.track_num[0], "genre": tag.genre.name if tag.genre else None}
    else:
        for fid, items in tag.frame_set.items():
            frame = items[0]
            key = fid.decode()
            if hasattr(frame, "url"):
                frames[key] = frame.url
            elif hasattr(frame, "image_data"):
                frames[key] = hashlib.sha256(frame.image_data).hexdigest()
            elif hasattr(frame, "text"):
                frames[key] = frame.text
    return {"version": ".".join(map(str, tag.version)), "frames": frames}


def write_mutagen(path, version, encoding, fields, image):
    from mutagen import id3
    tags = id3.ID3()
    for key, value in fields.items():
        if key == "COMM":
            tags.add(id3.COMM(encoding=encoding, lang="eng", desc="", text=[value]))
        elif key == "WXXX":
            tags.add(id3.WXXX(encoding=encoding, desc="", url=value))
        elif key.startswith("TXXX:"):
            tags.add(id3.TXXX(encoding=encoding, desc=key[5:], text=[value]))
        else:
            tags.add(getattr(id3, key)(encoding=encoding, text=[value]))
    if image:
        with open(image, "rb") as f:
            tags.add(id3.APIC(encoding=encoding, mime="image/png", type=3, desc="cover", data=f.read()))
    tags.save(path, v2_version=version)


def main(argv):
    command = argv[1]
    if command == "read-mutagen":
        print(json.dumps(read_mutagen(argv[2])))
    elif command == "read-eyed3":
        print(json.dumps(read_eyed3(argv[2], argv[3])))
    elif command == "write-mutagen":
        write_mutagen(argv[2], int(argv[3]), int(argv[4]), json.loads(argv[5]), argv[6] if len(argv) > 6 else None)
    else:
        raise SystemExit("unknown command " + command)


if __name__ == "__main__":
    main(sys.argv)
