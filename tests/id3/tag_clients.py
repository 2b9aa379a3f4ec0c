"""Reads and writes ID3 tags with mutagen and eyeD3 for the tag tests.

  read-mutagen FILE          JSON: {"version": "2.3.0", "frames": {ID: value}}
  read-eyed3 FILE [1|2]      JSON: {"version": "2.3.0", "frames": {ID: value}}
  frames-mutagen FILE        JSON: {"version": ..., "frames": {HashKey: every
                             attribute but the encoding}}, frames of version 2.2
                             under their 2.3 identifiers, chapters with their
                             embedded frames, frames mutagen does not parse
                             under "?ID" (the bytes after the frame header)
  write-mutagen FILE VERSION ENCODING JSON_FIELDS [IMAGE]

Frame values: text frames their (first) text, COMM its text, WXXX its URL,
TXXX:<description> its text, APIC the hex SHA-256 of the picture. In
JSON_FIELDS, "CHAP:<id>" takes {"start", "end", "title", ["subtitle"]} and "CTOC:<id>"
{"children", "title"}: a chapter and a table of contents with an embedded
TIT2 (and TIT3).
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


def summary(value):
    from mutagen.id3._tags import ID3Tags
    if isinstance(value, ID3Tags):
        return frame_summaries(value)
    if isinstance(value, bytes):
        return "sha256:" + hashlib.sha256(value).hexdigest()
    if isinstance(value, (list, tuple)):
        return [summary(v) for v in value]
    if isinstance(value, (int, float, str)) or value is None:
        return value
    return str(value)


def frame_summaries(tags):
    from mutagen.id3 import Frames_2_2
    out = {}
    for frame in tags.values():
        key = frame.HashKey
        if type(frame).__name__ in Frames_2_2:
            key = type(frame).__base__.__name__ + key[3:]
        specs = frame._framespec + frame._optionalspec
        out[key] = {spec.name: summary(getattr(frame, spec.name, None)) for spec in specs if spec.name != "encoding"}
    return out


def frames_mutagen(path):
    from mutagen.id3 import ID3
    tags = ID3(path, translate=False)
    frames = frame_summaries(tags)
    header = 6 if tags.version < (2, 3, 0) else 10
    for raw in tags.unknown_frames:
        name = raw[:3 if header == 6 else 4].decode("latin-1")
        frames["?" + name] = "sha256:" + hashlib.sha256(raw[header:]).hexdigest()
    return {"version": ".".join(map(str, tags.version)), "frames": frames}


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
        elif key.startswith("CHAP:"):
            sub_frames = [id3.TIT2(encoding=encoding, text=[value["title"]])]
            if "subtitle" in value:
                sub_frames.append(id3.TIT3(encoding=encoding, text=[value["subtitle"]]))
            tags.add(id3.CHAP(element_id=key[5:], start_time=value["start"], end_time=value["end"],
                              start_offset=0xFFFFFFFF, end_offset=0xFFFFFFFF, sub_frames=sub_frames))
        elif key.startswith("CTOC:"):
            tags.add(id3.CTOC(element_id=key[5:], flags=id3.CTOCFlags.TOP_LEVEL | id3.CTOCFlags.ORDERED,
                              child_element_ids=value["children"],
                              sub_frames=[id3.TIT2(encoding=encoding, text=[value["title"]])]))
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
    elif command == "frames-mutagen":
        print(json.dumps(frames_mutagen(argv[2])))
    elif command == "read-eyed3":
        print(json.dumps(read_eyed3(argv[2], argv[3])))
    elif command == "write-mutagen":
        write_mutagen(argv[2], int(argv[3]), int(argv[4]), json.loads(argv[5]), argv[6] if len(argv) > 6 else None)
    else:
        raise SystemExit("unknown command " + command)


if __name__ == "__main__":
    main(sys.argv)
