#!/usr/bin/env python3
"""Another program using libquilletc, from Python through ctypes alone: copies the audio file
FIXTURE to COPY, sets and removes keys and pictures in the copy, reads each save back, and checks
how failures are told. Exit status 0 when all held.

Usage: roundtrip.py LIBRARY FIXTURE COPY   (LIBRARY: a path, or a name such as libquilletc.so.1)
"""
import ctypes
import errno
import os
import shutil
import sys
from ctypes import POINTER, c_char_p, c_int, c_size_t, c_void_p

FRONT, BACK = 3, 4
lib = ctypes.CDLL(sys.argv[1], use_errno=True)
for name, result, arguments in [
        ("quillet_version", c_char_p, []), ("quillet_read", c_void_p, [c_char_p, POINTER(c_int)]),
        ("quillet_tag_free", None, [c_void_p]), ("quillet_tag_key_count", c_size_t, [c_void_p]),
        ("quillet_tag_key", c_char_p, [c_void_p, c_size_t]),
        ("quillet_tag_value_count", c_size_t, [c_void_p, c_size_t]),
        ("quillet_tag_value", c_char_p, [c_void_p, c_size_t, c_size_t]),
        ("quillet_tag_count_of", c_size_t, [c_void_p, c_char_p]),
        ("quillet_tag_picture_count", c_size_t, [c_void_p]),
        ("quillet_tag_picture_type", c_int, [c_void_p, c_size_t]),
        ("quillet_tag_picture_description", c_char_p, [c_void_p, c_size_t]),
        ("quillet_tag_picture_data", c_void_p, [c_void_p, c_size_t]),
        ("quillet_tag_picture_size", c_size_t, [c_void_p, c_size_t]),
        ("quillet_changes_new", c_void_p, []), ("quillet_changes_free", None, [c_void_p]),
        ("quillet_changes_set", c_int, [c_void_p, c_char_p, POINTER(c_char_p), c_size_t]),
        ("quillet_changes_remove", c_int, [c_void_p, c_char_p]),
        ("quillet_changes_put_picture_described", c_int,
         [c_void_p, c_int, c_char_p, c_char_p, c_char_p, c_size_t]),
        ("quillet_changes_remove_pictures_described", c_int, [c_void_p, c_int, c_char_p]),
        ("quillet_save", c_int, [c_char_p, c_void_p])]:
    getattr(lib, name).restype, getattr(lib, name).argtypes = result, arguments


def read(path):
    """Every key with its values and the pictures as (type, description, bytes); or the error."""
    error = c_int(-1)
    tag = lib.quillet_read(os.fsencode(path), ctypes.byref(error))
    if not tag:
        return error.value
    keys = {lib.quillet_tag_key(tag, i).decode(): [
        lib.quillet_tag_value(tag, i, v).decode() for v in range(lib.quillet_tag_value_count(tag, i))]
        for i in range(lib.quillet_tag_key_count(tag))}
    assert all(lib.quillet_tag_count_of(tag, k.lower().encode()) == len(v) for k, v in keys.items())
    pictures = [(lib.quillet_tag_picture_type(tag, i),
                 lib.quillet_tag_picture_description(tag, i).decode(),
                 ctypes.string_at(lib.quillet_tag_picture_data(tag, i),
                                  lib.quillet_tag_picture_size(tag, i)))
                for i in range(lib.quillet_tag_picture_count(tag))]
    lib.quillet_tag_free(tag)
    return keys, pictures


def save(path, keys=(), remove=(), put=(), unput=()):
    changes = lib.quillet_changes_new()
    for key, values in keys:
        array = (c_char_p * len(values))(*[v.encode() for v in values])
        assert lib.quillet_changes_set(changes, key.encode(), array, len(values)) == 0
    for key in remove:
        assert lib.quillet_changes_remove(changes, key.encode()) == 0
    for kind, description, data in put:
        assert lib.quillet_changes_put_picture_described(
            changes, kind, None, description.encode(), data, len(data)) == 0
    for kind, description in unput:
        assert lib.quillet_changes_remove_pictures_described(
            changes, kind, description.encode()) == 0
    result = lib.quillet_save(os.fsencode(path), changes)
    lib.quillet_changes_free(changes)
    return result


copy = sys.argv[3]
shutil.copyfile(sys.argv[2], copy)
print("libquilletc", lib.quillet_version().decode(), "through ctypes")
cover, page = b"\xFF\xD8\xFF\xE0front", b"\xFF\xD8\xFF\xE0page 1"
title = "Gr\u00fc\u00dfe \u6b4c \U0001F3B5"
assert save(copy, keys=[("TITLE", [title]), ("Composer", ["A", "B"])],
            put=[(FRONT, "", cover), (BACK, "booklet", page), (BACK, "other", cover)]) == 0
keys, pictures = read(copy)
assert keys["TITLE"] == [title] and keys["COMPOSER"] == ["A", "B"], keys
assert (FRONT, "", cover) in pictures and (BACK, "booklet", page) in pictures, pictures

assert save(copy, remove=["composer"], unput=[(BACK, "booklet")]) == 0
keys, pictures = read(copy)
assert "COMPOSER" not in keys and keys["TITLE"] == [title], keys
assert sorted(p[1] for p in pictures if p[0] in (FRONT, BACK)) == ["", "other"], pictures

# Failures are the error value, errno beside it; a name's bytes need not be UTF-8.
assert read(copy + ".missing") == errno.ENOENT and ctypes.get_errno() == errno.ENOENT
assert lib.quillet_save(None, None) == errno.EINVAL
with open(copy + ".txt", "w") as text:
    text.write("not audio\n")
assert read(copy + ".txt") == save(copy + ".txt", remove=["TITLE"]) == errno.ENOEXEC
if os.name == "posix":
    odd = os.path.join(os.path.dirname(copy), os.fsdecode(b"caf\xe9-\xff.tmp"))
    shutil.copyfile(copy, odd)
    assert read(odd)[0]["TITLE"] == [title]
    os.remove(odd)
print("round trip: ok")
