#!/usr/bin/env bash
# Checks that the C library (a shared object, or a Windows DLL) exports exactly the functions its
# header declares, each named quillet_.
# Usage: check-c-exports.sh LIBRARY HEADER
set -euo pipefail
lib=$1
header=$2
expected=$(sed -n 's/^QUILLETC_EXPORT .*[ *]\(quillet_[a-z0-9_]*\)(.*/\1/p' "$header" | sort)
if [[ $lib == *.dll ]]; then
    # Only the export table's numbered rows: binutils 2.44 prints a heading inside the table.
    defined=$(x86_64-w64-mingw32-objdump -p "$lib" \
        | awk '/^\[Ordinal\/Name Pointer\] Table/ { table = 1; next } NF == 0 { table = 0 }
            table && /^[ \t]*\[ *[0-9]+\]/ { print $NF }' | sort)
else
    defined=$(nm -D --defined-only "$lib" | awk '$2 ~ /^[A-Za-z]$/ && $2 !~ /^[AUw]$/ {print $3}' | sort)
fi
[ -n "$expected" ] || { echo "no function declared in $header" >&2; exit 1; }
if [ "$defined" != "$expected" ]; then
    echo "the exports of $lib differ from what $header declares:"
    diff <(echo "$expected") <(echo "$defined") || true
    exit 1
fi
echo "exports: $(echo "$defined" | wc -l) functions of $(basename "$header")"
