#!/usr/bin/env bash
# The test command. Its stages, in the order they run (docs/test-stages.md says what each does):
#   format      every C++ file of the programs, libraries, tests, benchmarks and fuzz targets as
#               .clang-format says (clang-format's output compared, nothing rewritten)
#   build       the -Wall -Wextra -Werror build and every CTest test
#   sanitizers  the same tests built with AddressSanitizer and UndefinedBehaviorSanitizer
#   fuzz        the fuzz targets over their committed corpus, built with clang
#   taglib2     the library and its tests, and the fuzz replay, against TagLib 2
#   windows     quillet.dll and quilletc.dll cross-built with MinGW-w64, tested under Wine
#   package     the Debian packages made and checked (lintian included)
#   debian13    all the stages but this one on a fresh Debian 13 (scripts/debian13.sh)
#
# Usage: test.sh                   the build stage and the format check
#        test.sh --stage NAME      the stage named; --stage may be given again for more (each
#                                  stage runs once, in the order above, however it is named)
#        test.sh --all             every stage (what CI runs, through .ci/run)
#        test.sh --first-stage     the build stage alone (as --stage build)
# A stage that fails does not stop the others: every stage asked for runs, and the run ends with
# one line per stage (its name, its result, its time). The exit status is 1 when any failed.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
source "$root/scripts/deps.sh"

all_stages=(format build sanitizers fuzz taglib2 windows package debian13)
usage() {
    sed -n '/^# Usage:/,/^# .*--first-stage/s/^# //p' "$0" >&2
    exit 2
}

declare -A wanted=()
if [ $# -eq 0 ]; then
    wanted=([format]=1 [build]=1)
fi
while [ $# -gt 0 ]; do
    case "$1" in
    --all) for stage in "${all_stages[@]}"; do wanted[$stage]=1; done ;;
    --first-stage) wanted[build]=1 ;;
    --stage)
        [ $# -ge 2 ] || usage
        shift
        case " ${all_stages[*]} " in
        *" $1 "*) wanted[$1]=1 ;;
        *) echo "test.sh: no stage '$1' (stages: ${all_stages[*]})" >&2; exit 2 ;;
        esac
        ;;
    --stage=*) set -- --stage "${1#--stage=}" "${@:2}"; continue ;;
    -h | --help) usage ;;
    *) echo "test.sh: unknown argument '$1'" >&2; usage ;;
    esac
    shift
done
stages=()
for stage in "${all_stages[@]}"; do
    [ -z "${wanted[$stage]:-}" ] || stages+=("$stage")
done

# The packages of the stages asked for, all installed before the first starts.
packages=()
for stage in "${stages[@]}"; do
    case "$stage" in
    format) packages+=(clang-format) ;;
    build | sanitizers) packages+=("${TAGDESK_CHECK_PACKAGES[@]}") ;;
    fuzz) packages+=(clang libclang-rt-dev) ;;
    taglib2) packages+=("${TAGDESK_CHECK_PACKAGES[@]}" clang libclang-rt-dev libutfcpp-dev
        zlib1g-dev xz-utils gpgv) ;;
    windows) packages+=("${TAGDESK_WINDOWS_PACKAGES[@]}") ;;
    package) packages+=("${TAGDESK_CHECK_PACKAGES[@]}" "${TAGDESK_PACKAGE_PACKAGES[@]}") ;;
    debian13) packages+=(debootstrap) ;;
    esac
done
tagdesk_ensure_packages ${packages[@]+"${packages[@]}"}

jobs=$(nproc)
export QT_QPA_PLATFORM=offscreen
# A stage may say why it did nothing: its summary line then says "skipped" and why.
skip_note=$(mktemp)
trap 'rm -f "$skip_note"' EXIT
skip() {
    echo "$*" >"$skip_note"
    echo "skipped: $*"
}

# The C++ files of the product and its tests; nothing under build/ (generated), and the fixtures
# and fuzz corpora hold no C++. From git where the tree is a checkout, else (the copy debian13.sh
# makes) from the folders themselves.
cxx_files() {
    local folders=(app bench cli core fuzz taglibrary tests)
    if git -C "$root" rev-parse --is-inside-work-tree >/dev/null 2>&1; then
        git -C "$root" ls-files -- "${folders[@]/%//*.cpp}" "${folders[@]/%//*.h}" \
            "${folders[@]/%//*.c}"
    else
        (cd "$root" && find "${folders[@]}" -type f \( -name '*.cpp' -o -name '*.h' -o -name '*.c' \) \
            -not -path 'tests/data/*' -not -path 'fuzz/corpus/*' | sort)
    fi
}

# The files follow the clang-format of Debian 12; another release's formats some constructs
# otherwise, so there the check would only measure the difference between the two.
clang_format_major=14
stage_format() {
    local version differing out status=0
    version=$(clang-format --version | sed -n 's/.*version \([0-9]*\)\..*/\1/p')
    if [ "$version" != "$clang_format_major" ]; then
        skip "clang-format $version here; the files follow clang-format $clang_format_major"
        return 0
    fi
    cd "$root"
    # One clang-format over all the files: it names each place that differs.
    out=$(cxx_files | tr '\n' '\0' | xargs -0 clang-format --style=file --dry-run --Werror 2>&1) \
        || status=$?
    differing=$(sed -n 's/^\(.*\):[0-9]*:[0-9]*: error: .*clang-format-violations.*/\1/p' <<<"$out" \
        | uniq)
    if [ -n "$differing" ]; then
        sed 's/^/not formatted as .clang-format says: /' <<<"$differing"
        echo "$(wc -l <<<"$differing") file(s) differ; clang-format -i FILE... formats them"
        return 1
    fi
    if [ "$status" -ne 0 ]; then
        echo "$out"
        return 1
    fi
    echo "$(cxx_files | wc -l) files as .clang-format says"
}

stage_build() {
    local build="$root/build/test"
    cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Debug -DTAGDESK_WERROR=ON >/dev/null
    cmake --build "$build" --parallel "$jobs"
    ctest --test-dir "$build" --output-on-failure --parallel "$jobs" --timeout 600
}

# Any report ends the test process with an error. Leaks count; the suppressions name only
# one-time allocations of the libraries below us, each with its reason.
stage_sanitizers() {
    local asan="$root/build/asan"
    cmake -S "$root" -B "$asan" -DCMAKE_BUILD_TYPE=Debug -DTAGDESK_WERROR=ON -DTAGDESK_SANITIZE=ON \
        >/dev/null
    cmake --build "$asan" --parallel "$jobs"
    # intercept_tls_get_addr=0: GCC 12's LeakSanitizer records a dynamic TLS range that no longer
    # exists by the end of a test (seen in tst_formats, "DTLS ... at 0x1a6f4-0x80001b7f6"), and
    # its tracer then crashes reading it ("Tracer caught signal 11") instead of reporting. The
    # price: a block held only from dynamic TLS would show as a leak, never hide one.
    ASAN_OPTIONS=detect_leaks=1:detect_stack_use_after_return=1:intercept_tls_get_addr=0 \
        LSAN_OPTIONS="suppressions=$root/tests/lsan.supp:print_suppressions=0" \
        UBSAN_OPTIONS=print_stacktrace=1 \
        ctest --test-dir "$asan" --output-on-failure --parallel "$jobs" --timeout 900
}

# A clang build of the fuzz targets only (the program is not needed there).
fuzz_replay() { # <build folder>
    cmake -S "$root" -B "$1" -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        -DTAGDESK_FUZZ=ON -DTAGDESK_BUILD_TESTS=OFF -DTAGDESK_WERROR=ON >/dev/null
    cmake --build "$1" --target fuzz_readtag fuzz_savetag fuzz_journal --parallel "$jobs"
    ctest --test-dir "$1" --output-on-failure --timeout 600
}
stage_fuzz() { fuzz_replay "$root/build/fuzz"; }

# The library, its tests and the fuzz replay once more, built against TagLib 2.0.2 (made once
# under build/taglib2 and reused). tagdesk itself stays on the system's TagLib 1. Where the
# system's TagLib is that release already (Debian 13), the build and fuzz stages are that check.
stage_taglib2() {
    local taglib2_version taglib2 lib2="$root/build/test-taglib2"
    taglib2_version=$(sed -n 's/^version=//p' "$root/scripts/taglib2.sh")
    if [ "$(pkg-config --modversion taglib)" = "$taglib2_version" ]; then
        skip "the system's TagLib is $taglib2_version; the build and fuzz stages are the check"
        return 0
    fi
    taglib2=$(bash "$root/scripts/taglib2.sh")
    export PKG_CONFIG_PATH="$taglib2/lib/pkgconfig"
    cmake -S "$root" -B "$lib2" -DCMAKE_BUILD_TYPE=Debug -DTAGDESK_WERROR=ON \
        -DTAGDESK_BUILD_APP=OFF >/dev/null
    grep -q '^TagLib_VERSION:INTERNAL=2\.' "$lib2/CMakeCache.txt" \
        || { echo "test.sh: $lib2 did not find TagLib 2" >&2; return 1; }
    cmake --build "$lib2" --parallel "$jobs"
    ctest --test-dir "$lib2" --output-on-failure --parallel "$jobs" --timeout 600
    fuzz_replay "$root/build/fuzz-taglib2"
}

stage_windows() { bash "$root/scripts/windows.sh"; }

# A Release build for the prefix /usr in build/package, its file list, control fields and run
# paths, and another program built against libquillet as installed.
stage_package() {
    bash "$root/scripts/package.sh"
    bash "$root/scripts/check-package.sh"
}

# Every other stage again on a fresh Debian 13, as a new user or CI would start it there.
stage_debian13() {
    if [ "$(tagdesk_debian_release)" = 13 ]; then
        skip "this system is Debian 13; the other stages are the check"
        return 0
    fi
    bash "$root/scripts/debian13.sh"
}

duration() { # <seconds>
    if [ "$1" -ge 60 ]; then
        printf '%d min %02d s' $(($1 / 60)) $(($1 % 60))
    else
        printf '%d s' "$1"
    fi
}

summary=()
failed=false
print_summary() {
    echo "== summary"
    printf '%s\n' "${summary[@]}"
}
# Interrupted: the stages so far are still summed up.
trap 'summary+=("(interrupted)"); print_summary; exit 130' INT TERM

for stage in "${stages[@]}"; do
    echo "== $stage (at ${SECONDS} s)"
    : >"$skip_note"
    start=$SECONDS
    # A subshell of its own, with errexit on: the first failing command ends the stage only.
    set +e
    (
        set -e
        "stage_$stage"
    )
    status=$?
    set -e
    time=$(duration $((SECONDS - start)))
    if [ "$status" -ne 0 ]; then
        result="FAILED (status $status)"
        failed=true
    elif [ -s "$skip_note" ]; then
        result="skipped"
    else
        result=passed
    fi
    line=$(printf '%-11s %-18s %9s' "$stage" "$result" "$time")
    [ ! -s "$skip_note" ] || line+="  ($(cat "$skip_note"))"
    summary+=("$line")
done
trap - INT TERM
print_summary
! $failed
