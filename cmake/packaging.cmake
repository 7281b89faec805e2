# The Debian packages, made by cpack in a Release build configured with the prefix /usr
# (scripts/package.sh), one per install component, in build/package:
#
# - libquillet1: the library, named after its SONAME as Debian's policy for shared libraries asks;
# - libquillet-dev: what other programs build with: header, the .so link, pkg-config file, CMake
#   package;
# - tagdesk: the editor and the quillet command, depending on libquillet1 of the same version;
# - libquilletc1 and libquilletc-dev: the C interface's library, and what other programs build
#   with against it (any language may call it; a symbols file lists its C functions).
#
# Each holds the licence as /usr/share/doc/<package>/copyright (machine-readable) and the
# changelog, and each library's package the shlibs file and the ldconfig trigger. What lintian reports below
# warnings and is kept on purpose is overridden in cmake/debian/<package>.lintian-overrides.

set(TAGDESK_DEBIAN_PACKAGES tagdesk libquillet1 libquillet-dev libquilletc1 libquilletc-dev)
set(TAGDESK_MAINTAINER "TagDesk maintainers <tagdesk@tarnwick.example>")

# The changelog's one entry, dated at the release.
execute_process(COMMAND date -u -R -d "${TAGDESK_RELEASE_DATE} 00:00:00"
    OUTPUT_VARIABLE TAGDESK_CHANGELOG_DATE OUTPUT_STRIP_TRAILING_WHITESPACE)
configure_file(cmake/debian/changelog.in "${CMAKE_BINARY_DIR}/debian/changelog" @ONLY)
tagdesk_gzipped("${CMAKE_BINARY_DIR}/debian/changelog" tagdesk_changelog)
foreach(package IN LISTS TAGDESK_DEBIAN_PACKAGES)
    install(FILES cmake/debian/copyright "${tagdesk_changelog}"
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/${package} COMPONENT ${package})
    if(EXISTS "${CMAKE_CURRENT_SOURCE_DIR}/cmake/debian/${package}.lintian-overrides")
        install(FILES cmake/debian/${package}.lintian-overrides
            DESTINATION ${CMAKE_INSTALL_DATADIR}/lintian/overrides RENAME ${package}
            COMPONENT ${package})
    endif()
endforeach()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tagdesk)
# Each package's description below starts with its own summary; an empty common one keeps cpack
# from putting the project's before it.
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "")
set(CPACK_PACKAGE_VENDOR Tarnwick)
set(CPACK_PACKAGE_HOMEPAGE_URL "http://tarnwick.example/tagdesk/")
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${TAGDESK_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL ${TAGDESK_DEBIAN_PACKAGES})
set(CPACK_STRIP_FILES ON)
# Control files with the modes dpkg expects (0644, scripts 0755).
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)

set(CPACK_DEBIAN_TAGDESK_PACKAGE_NAME tagdesk)
set(CPACK_DEBIAN_TAGDESK_PACKAGE_SECTION sound)
set(CPACK_DEBIAN_TAGDESK_DESCRIPTION [[
editor for the tags and cover pictures of audio files
TagDesk edits the tags of audio files, one file or a whole album at a time:
a folder opens as a list, and the form edits the title, artist, album, year,
comment, track number, genre and cover picture of every selected file at
once, with a report of all of a file's tag and audio properties. It numbers
tracks, renames files from their tags and fills tags from file names, and
saves only what changed. It reads MP3, FLAC, Ogg, Opus, MP4, WMA, WAV, AIFF,
APE and more through TagLib.
.
The package also holds the command quillet, which shows and changes the tags
of many files at once through the same library, and measures their loudness
for ReplayGain (EBU R128, through FFmpeg and libebur128).]])

set(CPACK_DEBIAN_LIBQUILLET1_PACKAGE_NAME libquillet1)
set(CPACK_DEBIAN_LIBQUILLET1_PACKAGE_SECTION libs)
set(CPACK_DEBIAN_LIBQUILLET1_DESCRIPTION [[
library to read and save the tags of audio files
libquillet reads the common tags and the cover picture of an audio file into
one record, and saves such a record back into the file, through TagLib. A
save never leaves a torn file: it writes in place under a rollback journal or
renames a complete copy over the file, and a save cut off is rolled back the
next time the file is read.
.
This package holds the shared library used by TagDesk and quillet.]])

set(CPACK_DEBIAN_LIBQUILLET-DEV_PACKAGE_NAME libquillet-dev)
set(CPACK_DEBIAN_LIBQUILLET-DEV_PACKAGE_SECTION libdevel)
set(CPACK_DEBIAN_LIBQUILLET-DEV_DESCRIPTION [[
library to read and save the tags of audio files - development files
libquillet reads the common tags and the cover picture of an audio file into
one record, and saves such a record back into the file, through TagLib.
.
This package holds what other programs build with: the header quillet.h, the
pkg-config file and the CMake package (find_package(quillet)).]])

set(CPACK_DEBIAN_LIBQUILLETC1_PACKAGE_NAME libquilletc1)
set(CPACK_DEBIAN_LIBQUILLETC1_PACKAGE_SECTION libs)
set(CPACK_DEBIAN_LIBQUILLETC1_DESCRIPTION [[
library to read and change every tag of audio files, as a C interface
libquilletc reads every item of an audio file's tags (each key with all its
values), its pictures and its audio properties, and saves change sets: keys
set or removed, pictures put or removed, everything else kept. Its interface
is plain C (opaque handles, UTF-8 text), callable from any language. It saves
as libquillet does, never leaving a torn file.
.
This package holds the shared library.]])

set(CPACK_DEBIAN_LIBQUILLETC-DEV_PACKAGE_NAME libquilletc-dev)
set(CPACK_DEBIAN_LIBQUILLETC-DEV_PACKAGE_SECTION libdevel)
set(CPACK_DEBIAN_LIBQUILLETC-DEV_DESCRIPTION [[
library to read and change every tag of audio files - development files
libquilletc reads every item of an audio file's tags, its pictures and its
audio properties, and saves change sets, through a plain C interface.
.
This package holds what other programs build with: the header quilletc.h, the
pkg-config file and the CMake package (find_package(quilletc)).]])

# The libraries the binaries link come from dpkg-shlibdeps (package dpkg-dev); libquillet.so.1 is
# found in the build, and named below with its exact version. FFmpeg's libraries and libebur128,
# which the programs measure loudness with, are among them: their packages carry the SONAME in
# their names (libavformat59 on Debian 12, libavformat61 on 13), so only shlibdeps names them
# right for the release that builds the package. Qt's SQLite driver is a plug-in
# that no binary links, so it is named here too.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS "${CMAKE_BINARY_DIR}/taglibrary")
set(CPACK_DEBIAN_TAGDESK_PACKAGE_DEPENDS
    "libquillet1 (= ${PROJECT_VERSION}), libqt6sql6-sqlite")
set(CPACK_DEBIAN_LIBQUILLET-DEV_PACKAGE_DEPENDS "libquillet1 (= ${PROJECT_VERSION})")
set(CPACK_DEBIAN_LIBQUILLETC-DEV_PACKAGE_DEPENDS "libquilletc1 (= ${PROJECT_VERSION})")
# The shlibs file names libquillet1 for libquillet.so.1; programs built against this version
# need at least it. The ldconfig trigger replaces the maintainer scripts cpack writes for a
# library (they are taken out again after packaging, cmake/debian/ldconfigtrigger.cmake).
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS_POLICY ">=")
set(CPACK_DEBIAN_LIBQUILLET1_PACKAGE_CONTROL_EXTRA
    "${CMAKE_CURRENT_LIST_DIR}/debian/libquillet1/triggers")
# libquilletc1's symbols file: every function its header declares, each since this version (the
# first of the library). Written from the header, which the exports are checked against.
set(_quilletc_header "${PROJECT_SOURCE_DIR}/taglibrary/quilletc.h")
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS "${_quilletc_header}")
file(STRINGS "${_quilletc_header}" _quilletc_declarations REGEX "^QUILLETC_EXPORT ")
set(_quilletc_symbols "libquilletc.so.1 libquilletc1 #MINVER#\n")
string(APPEND _quilletc_symbols "* Build-Depends-Package: libquilletc-dev\n")
foreach(_declaration IN LISTS _quilletc_declarations)
    string(REGEX MATCH "quillet_[a-z0-9_]+\\(" _function "${_declaration}")
    string(REPLACE "(" "" _function "${_function}")
    string(APPEND _quilletc_symbols " ${_function}@Base 1.0.0\n")
endforeach()
file(WRITE "${CMAKE_BINARY_DIR}/debian/libquilletc1/symbols" "${_quilletc_symbols}")
# Its trigger is libquillet1's.
set(CPACK_DEBIAN_LIBQUILLETC1_PACKAGE_CONTROL_EXTRA
    "${CMAKE_CURRENT_LIST_DIR}/debian/libquillet1/triggers"
    "${CMAKE_BINARY_DIR}/debian/libquilletc1/symbols")
set(CPACK_POST_BUILD_SCRIPTS "${CMAKE_CURRENT_LIST_DIR}/debian/ldconfigtrigger.cmake")

# The install is run with DESTDIR, so CMAKE_INSTALL_PREFIX stays the real prefix (/usr) for the
# files written at install time: the desktop entry and quillet.pc name it.
set(CPACK_SET_DESTDIR ON)
set(CPACK_PACKAGING_INSTALL_PREFIX "${CMAKE_INSTALL_PREFIX}")

include(CPack)
