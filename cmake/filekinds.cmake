# Every list of the files the library opens, made from the rows of taglibrary/filekinds.def that
# the TagLib being built with opens by name (formats.cpp reads the same rows):
#   TAGDESK_AUDIO_EXTENSIONS   every extension, in the rows' order
#   TAGDESK_MIME_TYPES         every media type, once, as the desktop entry's MimeType line has them
#   TAGDESK_GENERATED_DIR      where filekindlists.h gives C++ the extensions and the fuzz
#                              targets' (the first of each row, and one that TagLib does not know,
#                              so that content decides)
set(_filekinds "${PROJECT_SOURCE_DIR}/taglibrary/filekinds.def")
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS "${_filekinds}")
string(REGEX MATCH "^[0-9]+" _taglib_major "${TagLib_VERSION}")

set(TAGDESK_AUDIO_EXTENSIONS)
set(_media_types)
set(_fuzz_extensions)
file(STRINGS "${_filekinds}" _rows REGEX "^QUILLET_FILE_NAMES\\(")
foreach(_row IN LISTS _rows)
    if(NOT _row MATCHES
            "^QUILLET_FILE_NAMES\\([A-Za-z0-9]+, *([0-9]+), *\"([a-z0-9 ]+)\", *\"([^\"]+)\"\\)$")
        message(FATAL_ERROR "taglibrary/filekinds.def: a row that cannot be read: ${_row}")
    endif()
    # Taken before the next regular expression clears them.
    set(_since "${CMAKE_MATCH_1}")
    set(_extension_text "${CMAKE_MATCH_2}")
    set(_type_text "${CMAKE_MATCH_3}")
    if(_since GREATER _taglib_major)
        continue()
    endif()
    string(REGEX MATCHALL "[^ ]+" _extensions "${_extension_text}")
    string(REGEX MATCHALL "[^ ]+" _types "${_type_text}")
    list(APPEND TAGDESK_AUDIO_EXTENSIONS ${_extensions})
    list(APPEND _media_types ${_types})
    list(GET _extensions 0 _first)
    list(APPEND _fuzz_extensions ${_first})
endforeach()
list(REMOVE_DUPLICATES _media_types)
list(APPEND _fuzz_extensions bin)

# "a;b;" as a desktop entry writes a list.
list(JOIN _media_types ";" TAGDESK_MIME_TYPES)
string(APPEND TAGDESK_MIME_TYPES ";")

function(_tagdesk_quoted out)
    list(TRANSFORM ARGN PREPEND "\"")
    list(TRANSFORM ARGN APPEND "\"")
    list(JOIN ARGN ", " joined)
    set(${out} "${joined}" PARENT_SCOPE)
endfunction()
_tagdesk_quoted(_quoted_extensions ${TAGDESK_AUDIO_EXTENSIONS})
_tagdesk_quoted(_quoted_fuzz ${_fuzz_extensions})
set(TAGDESK_GENERATED_DIR "${PROJECT_BINARY_DIR}/generated")
file(CONFIGURE OUTPUT "${TAGDESK_GENERATED_DIR}/filekindlists.h" CONTENT
"// Made by cmake/filekinds.cmake from taglibrary/filekinds.def for TagLib ${_taglib_major}.
#define TAGDESK_AUDIO_EXTENSIONS ${_quoted_extensions}
#define TAGDESK_FUZZ_EXTENSIONS ${_quoted_fuzz}
" @ONLY)
