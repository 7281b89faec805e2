#!/usr/bin/env bash
# Checks that the library's dynamic symbol table defines readTag and saveTag and nothing else.
set -euo pipefail
lib=$1
defined=$(nm -D --defined-only "$lib" | awk '$2 ~ /^[A-Za-z]$/ && $2 !~ /^[AUw]$/ {print $3}' | sort)
expected=$(printf '%s\n' "_Z7readTagRKNSt7__cxx1112basic_stringIwSt11char_traitsIwESaIwEEEP9tagstruct" \
    "_Z7saveTagRKNSt7__cxx1112basic_stringIwSt11char_traitsIwESaIwEEEP9tagstruct" | sort)
if [ "$defined" != "$expected" ]; then
    echo "unexpected dynamic symbols in $lib:"
    diff <(echo "$expected") <(echo "$defined") || true
    exit 1
fi
echo "exports: $(echo "$defined" | c++filt | tr '\n' ' ')"
