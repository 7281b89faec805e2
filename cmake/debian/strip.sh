#!/bin/sh
# The strip of the package build (scripts/package.sh): what Debian's dh_strip does, the symbols
# that are not needed and the compiler's notes (.comment names the compiler's version).
exec strip --remove-section=.comment --remove-section=.note --strip-unneeded "$@"
