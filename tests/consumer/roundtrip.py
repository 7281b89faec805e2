#!/usr/bin/env python3
"""Another program using libquilletc, from Python through ctypes alone: copies the audio file
FIXTURE to COPY, then reads the copy, sets and removes keys and pictures, saves, reads back and
checks how failures are told. Exit status 0 when all held, 1 otherwise.

Usage: roundtrip.py LIBRARY FIXTURE COPY   (LIBRARY: a path, or a name such as libquilletc.so.1)
"""
import ctypes
import errno
import os
import shutil
import sys

P, S, I = ctypes.c_void_p, ctypes.c_size_t, ctypes.c_int
TEXT, BYTES = ctypes.c_char_p, ctypes.POINTER(ctypes.c_ubyte)
FRONT_COVER, BACK_COVER = 3, 4

# name: (result, arguments)
FUNCTIONS = {
    "quillet_version": (TEXT, []),
    "quillet_strerror": (TEXT, [I]),
    "quillet_read": (P, [TEXT, ctypes.POINTER(I)]),
    "quillet_tag_free": (None, [P]),
    "quillet_tag_key_count": (S, [P]),
    "quillet_tag_key": (TEXT, [P, S]),
    "quillet_tag_value_count": (S, [P, S]),
    "quillet_tag_value": (TEXT, [P, S, S]),
    "quillet_tag_count_of": (S, [P, TEXT]),
    "quillet_tag_value_of": (TEXT, [P, TEXT, S]),
    "quillet_tag_picture_count": (S, [P]),
    "quillet_tag_picture_type": (I, [P, S]),
    "quillet_tag_picture_mime": (TEXT, [P, S]),
    "quillet_tag_picture_description": (TEXT, [P, S]),
    "quillet_tag_picture_data": (BYTES, [P, S]),
    "quillet_tag_picture_size": (S, [P, S]),
    "quillet_tag_has_audio": (I, [P]),
    "quillet_tag_length_ms": (ctypes.c_longlong, [P]),
    "quillet_tag_format": (TEXT, [P]),
    "quillet_changes_new": (P, []),
    "quillet_changes_free": (None, [P]),
    "quillet_changes_set": (I, [P, TEXT, ctypes.POINTER(TEXT), S]),
    "quillet_changes_remove": (I, [P, TEXT]),
    "quillet_changes_put_picture_described": (I, [P, I, TEXT, TEXT, ctypes.c_char_p, S]),
    "quillet_changes_remove_pictures_described": (I, [P, I, TEXT]),
    "quillet_save": (I, [TEXT, P]),
}


class Quillet:
    def __init__(self, library):
        self.lib = ctypes.CDLL(library, use_errno=True)
        for name, (result, arguments) in FUNCTIONS.items():
            function = getattr(self.lib, name)
            function.restype, function.argtypes = result, arguments

    def read(self, path):
        """A dict of every key's values and a list of (type, mime, description, bytes), or the
        error value."""
        error = I(-1)
        tag = self.lib.quillet_read(os.fsencode(path), ctypes.byref(error))
        if not tag:
            return error.value
        try:
            lib = self.lib
            keys = {}
            for i in range(lib.quillet_tag_key_count(tag)):
                key = lib.quillet_tag_key(tag, i).decode()
                keys[key] = [lib.quillet_tag_value(tag, i, v).decode()
                             for v in range(lib.quillet_tag_value_count(tag, i))]
                assert lib.quillet_tag_count_of(tag, key.lower().encode()) == len(keys[key])
            pictures = [(lib.quillet_tag_picture_type(tag, i),
                         lib.quillet_tag_picture_mime(tag, i).decode(),
                         lib.quillet_tag_picture_description(tag, i).decode(),
                         ctypes.string_at(lib.quillet_tag_picture_data(tag, i),
                                          lib.quillet_tag_picture_size(tag, i)))
                        for i in range(lib.quillet_tag_picture_count(tag))]
            audio = (lib.quillet_tag_has_audio(tag), lib.quillet_tag_length_ms(tag),
                     lib.quillet_tag_format(tag).decode())
            return keys, pictures, audio
        finally:
            lib.quillet_tag_free(tag)

    def save(self, path, set_keys=(), remove=(), put=(), unput=()):
        lib = self.lib
        changes = lib.quillet_changes_new()
        try:
            for key, values in set_keys:
                array = (TEXT * len(values))(*[v.encode() for v in values])
                assert lib.quillet_changes_set(changes, key.encode(), array, len(values)) == 0
            for key in remove:
                assert lib.quillet_changes_remove(changes, key.encode()) == 0
            for kind, mime, description, data in put:
                assert lib.quillet_changes_put_picture_described(
                    changes, kind, mime.encode(), description.encode(), data, len(data)) == 0
            for kind, description in unput:
                assert lib.quillet_changes_remove_pictures_described(
                    changes, kind, description.encode()) == 0
            return lib.quillet_save(os.fsencode(path), changes)
        finally:
            lib.quillet_changes_free(changes)


def main():
    if len(sys.argv) != 4:
        print(__doc__.strip().splitlines()[-1], file=sys.stderr)
        return 2
    library, fixture, copy = sys.argv[1:]
    shutil.copyfile(fixture, copy)
    q = Quillet(library)
    print("libquilletc", q.lib.quillet_version().decode(), "through ctypes")
    keys, pictures, audio = q.read(copy)
    assert audio[0] == 1 and audio[1] > 0 and audio[2], audio

    cover, booklet = b"\xFF\xD8\xFF\xE0front", b"\xFF\xD8\xFF\xE0page 1"
    title = "Gr\u00fc\u00dfe \u6b4c \U0001F3B5"
    assert q.save(copy, set_keys=[("TITLE", [title]), ("COMPOSER", ["A", "B"])],
                  put=[(FRONT_COVER, "image/jpeg", "", cover),
                       (BACK_COVER, "image/jpeg", "booklet", booklet),
                       (BACK_COVER, "image/jpeg", "other", cover)]) == 0
    keys, pictures, _ = q.read(copy)
    assert keys["TITLE"] == [title], keys
    assert keys["COMPOSER"] == ["A", "B"], keys
    assert (FRONT_COVER, "image/jpeg", "", cover) in pictures, pictures
    assert (BACK_COVER, "image/jpeg", "booklet", booklet) in pictures, pictures

    assert q.save(copy, remove=["composer"], unput=[(BACK_COVER, "booklet")]) == 0
    keys, pictures, _ = q.read(copy)
    assert "COMPOSER" not in keys and keys["TITLE"] == [title], keys
    assert [p[2] for p in pictures if p[0] == BACK_COVER] == ["other"], pictures
    assert any(p[0] == FRONT_COVER for p in pictures), pictures

    # Failures: the error value, errno beside it; a name's bytes need not be UTF-8.
    assert q.read(copy + ".missing") == errno.ENOENT
    assert ctypes.get_errno() == errno.ENOENT
    assert q.lib.quillet_save(None, None) == errno.EINVAL
    if os.name == "posix":
        odd = os.path.join(os.path.dirname(copy) or ".", os.fsdecode(b"caf\xe9-\xff.tmp"))
        shutil.copyfile(copy, odd)
        assert q.read(odd)[0]["TITLE"] == [title]
        os.remove(odd)
    print("round trip: ok")
    return 0


if __name__ == "__main__":
    sys.exit(main())
