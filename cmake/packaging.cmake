# The Debian package, made by cpack in a Release build configured with the prefix /usr
# (scripts/package.sh): build/package/tagdesk_<version>_<arch>.deb.
#
# One package, tagdesk, holds the program, the quillet command, libquillet and what other
# programs need to build against it (header, pkg-config file, CMake package). libquillet's
# interface passes std::wstring and a cover buffer released with delete[] across its boundary,
# so its users must share one C++ runtime with it and are few; one package keeps installing
# simple, and a split into libquillet1 and libquillet-dev would buy them nothing.

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tagdesk)
set(CPACK_PACKAGE_VENDOR Tarnwick)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "editor for the tags and cover pictures of audio files")
set(CPACK_PACKAGE_DESCRIPTION [[
TagDesk shows the seven common tags of one audio file at a time (title,
artist, album, year, comment, track number and genre), its cover picture and
a report of all its tag and audio properties, and saves changes back into
the file. It reads MP3, FLAC, Ogg, Opus, MP4, WMA, WAV, AIFF, APE and more
through TagLib.
.
The package also holds the command quillet, which shows and changes the tags
of many files at once, and the library libquillet that both use, with its
header, pkg-config file and CMake package for other programs.]])
set(CPACK_PACKAGE_HOMEPAGE_URL "http://tarnwick.example/tagdesk/")
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "TagDesk maintainers <tagdesk@tarnwick.example>")
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)

# The libraries the binaries link come from dpkg-shlibdeps (package dpkg-dev). Qt's SQLite driver
# is a plug-in that no binary links, so it is named here.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libqt6sql6-sqlite")
# A shlibs file for libquillet.so.1, and the ldconfig trigger that comes with it.
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
set(CPACK_STRIP_FILES ON)

# The install is run with DESTDIR, so CMAKE_INSTALL_PREFIX stays the real prefix (/usr) for the
# files written at install time: the desktop entry and quillet.pc name it.
set(CPACK_SET_DESTDIR ON)
set(CPACK_PACKAGING_INSTALL_PREFIX "${CMAKE_INSTALL_PREFIX}")

include(CPack)
