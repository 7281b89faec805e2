/* Another program using libquilletc from C: copies the audio file FIXTURE to COPY, then reads the
 * copy, sets a title and two artists, puts two pictures, saves, reads back, removes a key and a
 * picture, saves and reads back again, and checks how failures are told. Exit status 0 when all
 * held, 1 with a message for each that did not, 2 for a wrong command line. */
#include <quilletc.h>

#include <stdio.h>
#include <string.h>

static int failures = 0;

#define CHECK(condition)                                                                           \
    do {                                                                                           \
        if (!(condition)) {                                                                        \
            fprintf(stderr, "%s:%d: %s\n", __FILE__, __LINE__, #condition);                        \
            ++failures;                                                                            \
        }                                                                                          \
    } while (0)

static int copyFile(const char *from, const char *to)
{
    FILE *in = fopen(from, "rb");
    FILE *out = in ? fopen(to, "wb") : NULL;
    char buffer[65536];
    size_t got;
    int ok = in && out;
    while (ok && (got = fread(buffer, 1, sizeof buffer, in)) > 0)
        ok = fwrite(buffer, 1, got, out) == got;
    if (in)
        fclose(in);
    if (out && fclose(out) != 0)
        ok = 0;
    return ok;
}

/* A PNG's signature and header chunk: 2 by 3 pixels, enough for its size to be read. */
static const unsigned char png[] = { 0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n', 0, 0, 0, 13, 'I',
    'H', 'D', 'R', 0, 0, 0, 2, 0, 0, 0, 3, 8, 6, 0, 0, 0, 0x0B, 0x3E, 0x9C, 0x8F };
static const unsigned char jpeg[] = { 0xFF, 0xD8, 0xFF, 0xE0, 'b', 'a', 'c', 'k' };

static long pictureOf(const quillet_tag *tag, int type)
{
    size_t i;
    for (i = 0; i < quillet_tag_picture_count(tag); ++i) {
        if (quillet_tag_picture_type(tag, i) == type)
            return (long)i;
    }
    return -1;
}

static quillet_tag *readBack(const char *path)
{
    int error = -1;
    quillet_tag *tag = quillet_read(path, &error);
    if (!tag)
        fprintf(stderr, "cannot read %s: %s\n", path, quillet_strerror(error));
    CHECK(tag && error == 0);
    return tag;
}

int main(int argc, char **argv)
{
    const char *title = "Pi\xC3\xB1" "a \xE2\x98\x83"; /* "Piña ☃" */
    const char *artists[] = { "One", "Two" };
    quillet_changes *changes;
    quillet_tag *tag;
    long front, back;
    int error = 0;
    if (argc != 3) {
        fprintf(stderr, "usage: quilletc_consumer FIXTURE COPY\n");
        return 2;
    }
    if (!copyFile(argv[1], argv[2])) {
        fprintf(stderr, "cannot copy %s to %s\n", argv[1], argv[2]);
        return 1;
    }
    printf("libquilletc %s\n", quillet_version());

    tag = readBack(argv[2]);
    if (!tag)
        return 1;
    CHECK(quillet_tag_has_audio(tag) == 1);
    CHECK(quillet_tag_length_ms(tag) > 0 && quillet_tag_sample_rate(tag) > 0);
    CHECK(quillet_tag_channels(tag) > 0 && strlen(quillet_tag_format(tag)) > 0);
    printf("%s: %s, %lld ms, %d keys\n", argv[2], quillet_tag_format(tag),
            quillet_tag_length_ms(tag), (int)quillet_tag_key_count(tag));
    quillet_tag_free(tag);

    changes = quillet_changes_new();
    CHECK(changes != NULL);
    CHECK(quillet_changes_set(changes, "title", &title, 1) == 0);
    CHECK(quillet_changes_set(changes, "ARTIST", artists, 2) == 0);
    CHECK(quillet_changes_put_picture(
                  changes, QUILLET_PICTURE_FRONT_COVER, NULL, "", png, sizeof png) == 0);
    CHECK(quillet_changes_put_picture(
                  changes, QUILLET_PICTURE_BACK_COVER, "image/jpeg", "back", jpeg, sizeof jpeg)
            == 0);
    CHECK(quillet_save(argv[2], changes) == 0);
    quillet_changes_free(changes);

    tag = readBack(argv[2]);
    if (!tag)
        return 1;
    CHECK(quillet_tag_count_of(tag, "Title") == 1);
    CHECK(strcmp(quillet_tag_value_of(tag, "TITLE", 0), title) == 0);
    CHECK(quillet_tag_count_of(tag, "artist") == 2);
    CHECK(strcmp(quillet_tag_value_of(tag, "artist", 0), "One") == 0);
    CHECK(strcmp(quillet_tag_value_of(tag, "artist", 1), "Two") == 0);
    CHECK(quillet_tag_value_of(tag, "artist", 2) == NULL);
    front = pictureOf(tag, QUILLET_PICTURE_FRONT_COVER);
    back = pictureOf(tag, QUILLET_PICTURE_BACK_COVER);
    CHECK(front >= 0 && back >= 0);
    if (front >= 0) {
        CHECK(quillet_tag_picture_size(tag, (size_t)front) == sizeof png);
        CHECK(memcmp(quillet_tag_picture_data(tag, (size_t)front), png, sizeof png) == 0);
        CHECK(strcmp(quillet_tag_picture_mime(tag, (size_t)front), "image/png") == 0);
        CHECK(quillet_tag_picture_width(tag, (size_t)front) == 2);
        CHECK(quillet_tag_picture_height(tag, (size_t)front) == 3);
    }
    if (back >= 0)
        CHECK(strcmp(quillet_tag_picture_description(tag, (size_t)back), "back") == 0);
    CHECK(quillet_tag_key(tag, quillet_tag_key_count(tag)) == NULL);
    CHECK(quillet_tag_picture_type(tag, quillet_tag_picture_count(tag)) == -1);
    quillet_tag_free(tag);

    changes = quillet_changes_new();
    CHECK(quillet_changes_remove(changes, "Artist") == 0);
    CHECK(quillet_changes_remove_pictures(changes, QUILLET_PICTURE_BACK_COVER) == 0);
    CHECK(quillet_save(argv[2], changes) == 0);
    tag = readBack(argv[2]);
    if (!tag)
        return 1;
    CHECK(quillet_tag_count_of(tag, "ARTIST") == 0);
    CHECK(quillet_tag_count_of(tag, "TITLE") == 1);
    CHECK(pictureOf(tag, QUILLET_PICTURE_BACK_COVER) == -1);
    CHECK(pictureOf(tag, QUILLET_PICTURE_FRONT_COVER) >= 0);
    quillet_tag_free(tag);

    /* Failures are results: an error value, in errno too, and the file untouched. */
    CHECK(quillet_read("no such file.mp3", &error) == NULL && error == ENOENT && errno == ENOENT);
    CHECK(quillet_save("no such file.mp3", changes) == ENOENT);
    CHECK(quillet_save(argv[2], NULL) == EINVAL);
    CHECK(quillet_changes_set(changes, "TITLE", NULL, 1) == EINVAL);
    CHECK(quillet_changes_put_picture(changes, 21, NULL, NULL, png, sizeof png) == EINVAL);
    CHECK(strlen(quillet_strerror(QUILLET_ENOTAUDIO)) > 0);
    quillet_changes_free(changes);

    if (failures != 0) {
        fprintf(stderr, "quilletc_consumer: %d checks failed\n", failures);
        return 1;
    }
    printf("round trip: ok\n");
    return 0;
}
