/* quilletc: every item of an audio file's tags, read and changed through a plain C interface that
 * any language can call (C, C++, Python's ctypes, anything with a foreign function interface).
 *
 * - Handles are opaque: quillet_tag holds what one file gave, quillet_changes a change set to
 *   save. Each is released by its own free function; NULL is accepted there and ignored.
 * - Text is UTF-8, in and out, terminated by a NUL byte. Strings and picture bytes returned by an
 *   accessor belong to the handle and stay valid until the handle is released.
 * - A file's name is its bytes on POSIX systems (any bytes but NUL, whatever the locale), and
 *   UTF-8 on Windows.
 * - Keys are TagLib's property keys ("TITLE", "ALBUMARTIST", "TRACKNUMBER", "MUSICBRAINZ_ALBUMID",
 *   free-form ones as the file names them); ASCII letters match in either case everywhere.
 * - Nothing aborts, throws or crashes: every failure is a result. A NULL handle or a NULL text
 *   argument is EINVAL; an index past the end gives NULL, 0 or -1 as each function says.
 * - The handles are not shared between threads while one is changed; different handles may be
 *   used from different threads at once.
 *
 * Error values are errno values, those of the C library of the platform, and are also left in
 * errno:
 *   ENOENT    no such file (an empty name too)
 *   EACCES    permission denied: the file or its folder may not be read or written
 *   EROFS     the file system is read-only
 *   EISDIR    the name is a folder's
 *   EBUSY     another save of the file is running, or a reader held it for too long
 *   ENOSPC    no room left on the device (EDQUOT: over the user's quota)
 *   EFBIG     too large: the file for the system, or the tag or a picture for the file's format
 *   EIO       the device failed to read or write
 *   EINVAL    a NULL argument, an empty key, no values, a picture type out of range
 *   EILSEQ    text that is not UTF-8, or a name no file can have
 *   ENOMEM    out of memory
 *   QUILLET_ENOTAUDIO (ENOEXEC)  not an audio file of a kind TagLib opens: another kind of
 *             content, no tag to write, or not a regular file (a device, a pipe)
 *   QUILLET_EDAMAGED (EBADMSG)   the file is damaged: it ends inside its tag, or saving would cut
 *             what is not tag; it is left as it is
 * Others come from the system as they are (ELOOP, ENAMETOOLONG, ENOTDIR, EPERM, ...).
 */
#ifndef QUILLETC_H
#define QUILLETC_H

#include <errno.h>
#include <stddef.h>

#if defined(_WIN32)
#    if defined(QUILLETC_BUILD)
#        define QUILLETC_EXPORT __declspec(dllexport)
#    else
#        define QUILLETC_EXPORT __declspec(dllimport)
#    endif
#else
#    define QUILLETC_EXPORT __attribute__((visibility("default")))
#endif

#ifndef QUILLET_ENOTAUDIO
#    define QUILLET_ENOTAUDIO ENOEXEC
#    define QUILLET_EDAMAGED EBADMSG
#endif

#ifdef __cplusplus
extern "C" {
#endif

typedef struct quillet_tag quillet_tag;
typedef struct quillet_changes quillet_changes;

/* Picture types, as ID3v2 numbers them; every format's pictures are given one. A format without
 * types has QUILLET_PICTURE_OTHER, except MP4, whose first picture counts as the front cover. */
enum {
    QUILLET_PICTURE_OTHER = 0,
    QUILLET_PICTURE_FILE_ICON = 1,
    QUILLET_PICTURE_OTHER_FILE_ICON = 2,
    QUILLET_PICTURE_FRONT_COVER = 3,
    QUILLET_PICTURE_BACK_COVER = 4,
    QUILLET_PICTURE_LEAFLET_PAGE = 5,
    QUILLET_PICTURE_MEDIA = 6,
    QUILLET_PICTURE_LEAD_ARTIST = 7,
    QUILLET_PICTURE_ARTIST = 8,
    QUILLET_PICTURE_CONDUCTOR = 9,
    QUILLET_PICTURE_BAND = 10,
    QUILLET_PICTURE_COMPOSER = 11,
    QUILLET_PICTURE_LYRICIST = 12,
    QUILLET_PICTURE_RECORDING_LOCATION = 13,
    QUILLET_PICTURE_DURING_RECORDING = 14,
    QUILLET_PICTURE_DURING_PERFORMANCE = 15,
    QUILLET_PICTURE_SCREEN_CAPTURE = 16,
    QUILLET_PICTURE_COLOURED_FISH = 17,
    QUILLET_PICTURE_ILLUSTRATION = 18,
    QUILLET_PICTURE_BAND_LOGO = 19,
    QUILLET_PICTURE_PUBLISHER_LOGO = 20
};

/* The library's version, "major.minor.patch"; the major number is the one of its SONAME. */
QUILLETC_EXPORT const char *quillet_version(void);

/* A sentence in English saying what an error value of this library means; never NULL. */
QUILLETC_EXPORT const char *quillet_strerror(int error);

/* ---- Reading ---------------------------------------------------------------------------- */

/* Reads every item of the file's tags, its pictures and its audio properties. Returns the handle,
 * or NULL with the reason in *error (when error is not NULL) and in errno; *error is 0 after a
 * success. Release the handle with quillet_tag_free. */
QUILLETC_EXPORT quillet_tag *quillet_read(const char *path, int *error);

QUILLETC_EXPORT void quillet_tag_free(quillet_tag *tag);

/* The keys, in TagLib's order, each with all its values in the file's order. An index past the
 * end gives NULL, a count of 0. */
QUILLETC_EXPORT size_t quillet_tag_key_count(const quillet_tag *tag);
QUILLETC_EXPORT const char *quillet_tag_key(const quillet_tag *tag, size_t index);
QUILLETC_EXPORT size_t quillet_tag_value_count(const quillet_tag *tag, size_t index);
QUILLETC_EXPORT const char *quillet_tag_value(const quillet_tag *tag, size_t index, size_t value);

/* The same found by the key: the number of its values (0 when the file has no such key), and its
 * value-th value (NULL when there is none). */
QUILLETC_EXPORT size_t quillet_tag_count_of(const quillet_tag *tag, const char *key);
QUILLETC_EXPORT const char *quillet_tag_value_of(const quillet_tag *tag, const char *key,
                                                 size_t value);

/* Items of the file that are no property (binary frames, for one); they are kept by every save.
 * Each is given by its name in the file's format ("APIC", "PRIV", ...). */
QUILLETC_EXPORT size_t quillet_tag_unsupported_count(const quillet_tag *tag);
QUILLETC_EXPORT const char *quillet_tag_unsupported(const quillet_tag *tag, size_t index);

/* The pictures, in the file's order. The type is a QUILLET_PICTURE_ value, -1 past the end. The
 * MIME type is what the file says, or what the bytes are where it says nothing ("image/png").
 * The data are the encoded image, size bytes; width and height come from the file or the image's
 * own header, 0 when neither says. */
QUILLETC_EXPORT size_t quillet_tag_picture_count(const quillet_tag *tag);
QUILLETC_EXPORT int quillet_tag_picture_type(const quillet_tag *tag, size_t index);
QUILLETC_EXPORT const char *quillet_tag_picture_mime(const quillet_tag *tag, size_t index);
QUILLETC_EXPORT const char *quillet_tag_picture_description(const quillet_tag *tag, size_t index);
QUILLETC_EXPORT const unsigned char *quillet_tag_picture_data(const quillet_tag *tag, size_t index);
QUILLETC_EXPORT size_t quillet_tag_picture_size(const quillet_tag *tag, size_t index);
QUILLETC_EXPORT int quillet_tag_picture_width(const quillet_tag *tag, size_t index);
QUILLETC_EXPORT int quillet_tag_picture_height(const quillet_tag *tag, size_t index);

/* The audio properties. quillet_tag_has_audio is 0 when TagLib gave none, and then the numbers
 * are 0 too. Length in milliseconds, bitrate in kbit/s, sample rate in Hz; bits per sample is 0
 * where the format does not say. The format is the kind's name ("MP3", "FLAC", "Ogg Vorbis",
 * "Opus", "MP4", ...), "" when unknown. */
QUILLETC_EXPORT int quillet_tag_has_audio(const quillet_tag *tag);
QUILLETC_EXPORT long long quillet_tag_length_ms(const quillet_tag *tag);
QUILLETC_EXPORT int quillet_tag_bitrate(const quillet_tag *tag);
QUILLETC_EXPORT int quillet_tag_sample_rate(const quillet_tag *tag);
QUILLETC_EXPORT int quillet_tag_channels(const quillet_tag *tag);
QUILLETC_EXPORT int quillet_tag_bits_per_sample(const quillet_tag *tag);
QUILLETC_EXPORT const char *quillet_tag_format(const quillet_tag *tag);

/* ---- Changing ---------------------------------------------------------------------------- */

/* A new, empty change set; NULL (errno ENOMEM) when out of memory. What a change set does not
 * name stays as the file has it at the moment of the save. Release it with
 * quillet_changes_free. */
QUILLETC_EXPORT quillet_changes *quillet_changes_new(void);
QUILLETC_EXPORT void quillet_changes_free(quillet_changes *changes);

/* The functions below return 0, or an error value (also left in errno): EINVAL, EILSEQ, ENOMEM.
 * Of the changes of one key the last one counts; picture changes apply in the order made. */

/* Sets the key to count values (at least one), replacing every value it had. TRACKNUMBER and
 * DISCNUMBER take "n", "n/N" or "/N"; "n" alone keeps the file's total. */
QUILLETC_EXPORT int quillet_changes_set(quillet_changes *changes, const char *key,
                                        const char *const *values, size_t count);

/* Removes the key with all its values. */
QUILLETC_EXPORT int quillet_changes_remove(quillet_changes *changes, const char *key);

/* Puts a picture of the type: it replaces every picture of that type, or is added when there is
 * none. mime may be NULL or "" for the type the bytes show; description may be NULL for "". The
 * size bytes at data are copied. */
QUILLETC_EXPORT int quillet_changes_put_picture(quillet_changes *changes, int type,
                                                const char *mime, const char *description,
                                                const void *data, size_t size);

/* The same, replacing only the picture of that type with that description (other pictures of the
 * type stay), or added beside them. */
QUILLETC_EXPORT int quillet_changes_put_picture_described(quillet_changes *changes, int type,
                                                          const char *mime, const char *description,
                                                          const void *data, size_t size);

/* Removes every picture of the type; or only those of the type with the description. */
QUILLETC_EXPORT int quillet_changes_remove_pictures(quillet_changes *changes, int type);
QUILLETC_EXPORT int quillet_changes_remove_pictures_described(quillet_changes *changes, int type,
                                                              const char *description);

/* Writes the change set into the file: in place under a journal or as a whole copy, never
 * leaving it torn. Returns 0, or the error value (also left in errno) with the file byte for
 * byte as it was. An empty change set succeeds without writing. The change set stays the
 * caller's, to save into other files or release. */
QUILLETC_EXPORT int quillet_save(const char *path, const quillet_changes *changes);

#ifdef __cplusplus
}
#endif

#endif /* QUILLETC_H */
