/* Another program using libquilletc from C: copies the audio file FIXTURE to COPY, sets a title,
 * two artists and two pictures in the copy, removes a key and a picture again, reads each save
 * back, and checks how failures are told. Exit status 0 when all held, else 1 with a message for
 * each check that failed. */
#include <quilletc.h>

#include <stdio.h>
#include <string.h>

static int failures = 0;
#define CHECK(condition)                                                                           \
    ((condition)                                                                                   \
             ? (void)0                                                                             \
             : (void)(fprintf(stderr, "%s:%d: %s\n", __FILE__, __LINE__, #condition), ++failures))

static int copyFile(const char *from, const char *to)
{
    FILE *in = fopen(from, "rb");
    FILE *out = fopen(to, "wb");
    char buffer[65536];
    size_t got;
    int ok = in && out;
    while (ok && (got = fread(buffer, 1, sizeof buffer, in)) > 0)
        ok = fwrite(buffer, 1, got, out) == got;
    if (in)
        fclose(in);
    return out && fclose(out) == 0 && ok;
}

/* A PNG's signature and header chunk, 2 by 3 pixels. */
static const unsigned char png[]
        = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n', 0, 0, 0, 13, 'I',  'H',  'D',  'R', 0,
           0,    0,   2,   0,   0,    0,    3,    8,    6, 0, 0, 0,  0x0B, 0x3E, 0x9C, 0x8F};
static const unsigned char jpeg[] = {0xFF, 0xD8, 0xFF, 0xE0, 'b', 'a', 'c', 'k'};

static long pictureOf(const quillet_tag *tag, int type)
{
    size_t i;
    for (i = 0; i < quillet_tag_picture_count(tag); ++i) {
        if (quillet_tag_picture_type(tag, i) == type)
            return (long)i;
    }
    return -1;
}

static int same(const char *text, const char *expected)
{
    return text && strcmp(text, expected) == 0;
}

int main(int argc, char **argv)
{
    const char *title = "Pi\xC3\xB1"
                        "a \xE2\x98\x83",
               *artists[] = {"One", "Two"};
    const char *bad = "\xC3(";
    quillet_changes *changes = quillet_changes_new();
    quillet_tag *tag;
    long front;
    int error = -1;
    if (argc != 3 || !copyFile(argv[1], argv[2]) || !changes) {
        fprintf(stderr, "usage: quilletc_consumer FIXTURE COPY (a copy it can write)\n");
        return 1;
    }
    printf("libquilletc %s\n", quillet_version());
    CHECK(quillet_changes_set(changes, "title", &title, 1) == 0);
    CHECK(quillet_changes_set(changes, "ARTIST", artists, 2) == 0);
    CHECK(quillet_changes_put_picture(changes, QUILLET_PICTURE_FRONT_COVER, NULL, "", png,
                                      sizeof png)
          == 0);
    CHECK(quillet_changes_put_picture(changes, QUILLET_PICTURE_BACK_COVER, "image/jpeg", "back",
                                      jpeg, sizeof jpeg)
          == 0);
    CHECK(quillet_save(argv[2], changes) == 0);
    quillet_changes_free(changes);

    tag = quillet_read(argv[2], &error);
    CHECK(tag && error == 0);
    CHECK(quillet_tag_has_audio(tag) && quillet_tag_length_ms(tag) > 0);
    CHECK(quillet_tag_sample_rate(tag) > 0 && quillet_tag_channels(tag) > 0);
    CHECK(strlen(quillet_tag_format(tag)) > 0);
    CHECK(quillet_tag_count_of(tag, "Title") == 1
          && same(quillet_tag_value_of(tag, "TITLE", 0), title));
    CHECK(quillet_tag_count_of(tag, "artist") == 2
          && same(quillet_tag_value_of(tag, "artist", 1), "Two"));
    CHECK(same(quillet_tag_value_of(tag, "artist", 0), "One")
          && !quillet_tag_value_of(tag, "artist", 2));
    front = pictureOf(tag, QUILLET_PICTURE_FRONT_COVER);
    CHECK(front >= 0 && quillet_tag_picture_size(tag, (size_t)front) == sizeof png);
    CHECK(front >= 0 && memcmp(quillet_tag_picture_data(tag, (size_t)front), png, sizeof png) == 0);
    CHECK(same(quillet_tag_picture_mime(tag, (size_t)front), "image/png"));
    CHECK(quillet_tag_picture_width(tag, (size_t)front) == 2);
    CHECK(quillet_tag_picture_height(tag, (size_t)front) == 3);
    CHECK(same(quillet_tag_picture_description(tag,
                                               (size_t)pictureOf(tag, QUILLET_PICTURE_BACK_COVER)),
               "back"));
    CHECK(!quillet_tag_key(tag, quillet_tag_key_count(tag)));
    CHECK(quillet_tag_picture_type(tag, quillet_tag_picture_count(tag)) == -1);
    quillet_tag_free(tag);

    changes = quillet_changes_new();
    CHECK(quillet_changes_remove(changes, "Artist") == 0);
    CHECK(quillet_changes_remove_pictures(changes, QUILLET_PICTURE_BACK_COVER) == 0);
    CHECK(quillet_save(argv[2], changes) == 0);
    tag = quillet_read(argv[2], NULL);
    CHECK(quillet_tag_count_of(tag, "ARTIST") == 0 && quillet_tag_count_of(tag, "TITLE") == 1);
    CHECK(pictureOf(tag, QUILLET_PICTURE_BACK_COVER) == -1);
    CHECK(pictureOf(tag, QUILLET_PICTURE_FRONT_COVER) >= 0);
    quillet_tag_free(tag);

    /* Failures are results: an error value, in errno too. */
    CHECK(!quillet_read("no such file.mp3", &error) && error == ENOENT && errno == ENOENT);
    CHECK(!quillet_read(".", &error) && error == EISDIR);
    CHECK(quillet_save(argv[2], NULL) == EINVAL && !quillet_read(NULL, NULL) && errno == EINVAL);
    CHECK(quillet_tag_key_count(NULL) == 0 && !quillet_tag_value_of(NULL, "TITLE", 0));
    CHECK(quillet_changes_set(changes, "TITLE", &bad, 1) == EILSEQ);
    CHECK(quillet_changes_set(changes, "", &title, 1) == EINVAL);
    CHECK(quillet_changes_put_picture(changes, 21, NULL, NULL, png, sizeof png) == EINVAL);
    CHECK(strlen(quillet_strerror(QUILLET_EDAMAGED)) > 0);
    quillet_changes_free(changes);
    if (failures != 0)
        fprintf(stderr, "quilletc_consumer: %d checks failed\n", failures);
    else
        printf("round trip: ok\n");
    return failures != 0;
}
