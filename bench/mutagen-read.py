#!/usr/bin/python3
"""The reads of `quillet show --json` done in one Python process with mutagen, the baseline of
cli-vs-mutagen.sh: for every MP3 below the folders given (sorted by path), the seven fields, the
front cover's size and type, every tag frame and the audio properties, printed as JSON Lines."""
import json
import os
import sys

from mutagen.mp3 import MP3


def cover_type(data):
    for magic, name in ((b"\xff\xd8\xff", "jpeg"), (b"\x89PNG\r\n\x1a\n", "png"),
                        (b"GIF8", "gif"), (b"BM", "bmp")):
        if data.startswith(magic):
            return name
    return "unknown" if data else "none"


def first_text(tags, key):
    frame = tags.get(key)
    return str(frame.text[0]) if frame is not None and frame.text else ""


def describe(path):
    audio = MP3(path)
    tags = audio.tags or {}
    comments = tags.getall("COMM") if audio.tags else []
    pictures = tags.getall("APIC") if audio.tags else []
    front = next((p for p in pictures if p.type == 3), pictures[-1] if pictures else None)
    cover = front.data if front is not None else b""
    report = ["-- TAG (properties)"]
    report += ['%s - "%s"' % (key, frame) for key, frame in sorted(tags.items())
               if not key.startswith("APIC")]
    info = audio.info
    report += ["-- AUDIO --", "bitrate     - %d" % (info.bitrate // 1000),
               "sample rate - %d" % info.sample_rate, "channels    - %d" % info.channels,
               "length      - %d:%d" % divmod(int(info.length), 60)]
    return {
        "file": path,
        "title": first_text(tags, "TIT2"),
        "artist": first_text(tags, "TPE1"),
        "album": first_text(tags, "TALB"),
        "comment": str(comments[0].text[0]) if comments and comments[0].text else "",
        "year": first_text(tags, "TDRC") or "0",
        "track": first_text(tags, "TRCK") or "0",
        "genre": first_text(tags, "TCON"),
        "cover_bytes": len(cover),
        "cover_type": cover_type(cover),
        "report": "\n".join(report) + "\n",
    }


def main():
    paths = []
    for folder in sys.argv[1:]:
        for root, dirs, files in os.walk(folder):
            paths += [os.path.join(root, name) for name in files if name.lower().endswith(".mp3")]
    out = sys.stdout
    for path in sorted(paths):
        out.write(json.dumps(describe(path), ensure_ascii=False) + "\n")


if __name__ == "__main__":
    main()
