#!/usr/bin/env bash
# Builds the tree with AddressSanitizer and UndefinedBehaviorSanitizer (the asan preset) and runs
# the unit, widget and end-to-end suites under it, then builds the threaded parts with
# ThreadSanitizer (the tsan preset) and runs their suites. Any sanitizer report fails the run;
# every report is kept in build-<preset>/sanitizer-reports/ and printed at the end.
#
# Usage: sanitize.sh [asan|tsan|all|ci|ci-build] [ctest arguments...]
#   asan      only the asan preset; JV_SANITIZE_LABELS (default unit|widgets|e2e) picks the suites
#   tsan      only the tsan preset
#   ci        the asan preset's unit and widget suites, building only what they run (CI's share)
#   ci-build  builds what ci runs, and runs nothing (CI builds it beside the other suites)
# Suppressions (scripts/sanitizers/*.supp) are for reports inside libraries outside the project.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"
what=${1:-all}
[ $# -gt 0 ] && shift
supp=$root/scripts/sanitizers
jobs=$(nproc)

# The suites of the threaded parts: page store reading, the journal writer and page search
# (test_notes_model), the FTP server and client (test_ftp, test_ftp_ui), the messenger's sockets
# (test_messenger) and the desktop-text library (test_hook_abi loads libjotvanehook).
tsan_targets=(test_notes_model test_ftp test_ftp_ui test_messenger test_hook_abi jotvanehook)

# Reports go to files as well as failing the process, so that a report from a program the
# end-to-end harness runs in the background is not lost with its log.
fresh_reports() {
    reports=$root/build-$1/sanitizer-reports
    rm -rf "$reports"
    mkdir -p "$reports"
    chmod 1777 "$reports" # suites that drop to an unprivileged user write here too
}

check_reports() {
    if compgen -G "$reports/*" >/dev/null; then
        echo "sanitizer reports ($1):" >&2
        for f in "$reports"/*; do
            echo "=== $f" >&2
            cat "$f" >&2
        done
        return 1
    fi
    echo "$1: no sanitizer report"
}

run_asan() {
    cmake --preset asan >/dev/null
    if [ "$1" = build ]; then
        cmake --build --preset asan --parallel "$jobs" --target jv_suites
        return
    fi
    fresh_reports asan
    local labels=${JV_SANITIZE_LABELS:-unit|widgets|e2e} targets=() unwind=
    if [ "$1" = suites ]; then
        # Only the programs the unit and widget suites run (not the program, the relay, the
        # demos or the end-to-end helpers).
        labels='unit|widgets'
        targets=(--target jv_suites)
    fi
    # Qt's Wayland plugin and libwayland have no frame pointers: only the full unwinder reaches the
    # functions that name their leaks in lsan.supp. It slows every allocation, so the suites that
    # never start a Wayland client keep the fast one.
    if [[ $labels == *e2e* ]]; then unwind=:fast_unwind_on_malloc=0; fi
    # verify_asan_link_order=0: a suite preloads libfaketime into the program, ahead of the runtime.
    export ASAN_OPTIONS="halt_on_error=1:detect_leaks=1:check_initialization_order=1:strict_init_order=1:verify_asan_link_order=0$unwind:log_path=$reports/asan"
    export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1:suppressions=$supp/ubsan.supp:log_path=$reports/ubsan"
    export LSAN_OPTIONS="suppressions=$supp/lsan.supp:print_suppressions=0"
    shift
    cmake --build --preset asan --parallel "$jobs" "${targets[@]}"
    local status=0
    (cd build-asan && ctest --output-on-failure --timeout 600 -j "$jobs" -L "$labels" \
        -E '_NOT_BUILT$' "$@") || status=$?
    check_reports asan || status=1
    return $status
}

run_tsan() {
    fresh_reports tsan
    # Qt, glib, libproxy and libX11 are not built for the tool: what their own code does through the
    # runtime's interceptors (memory, descriptors, locks) is not checked; the project's code still is.
    export TSAN_OPTIONS="halt_on_error=1:second_deadlock_stack=1:ignore_noninstrumented_modules=1:suppressions=$supp/tsan.supp:log_path=$reports/tsan"
    cmake --preset tsan >/dev/null
    cmake --build --preset tsan --parallel "$jobs" --target "${tsan_targets[@]}"
    local status=0
    # Only the suites built above: the others appear as <target>_NOT_BUILT.
    (cd build-tsan && ctest --output-on-failure --timeout 600 -j "$jobs" -L 'unit|widgets' \
        -E '_NOT_BUILT$' "$@") || status=$?
    check_reports tsan || status=1
    return $status
}

status=0
case $what in
asan) run_asan all "$@" || status=1 ;;
ci) run_asan suites "$@" || status=1 ;;
ci-build) run_asan build || status=1 ;;
tsan) run_tsan "$@" || status=1 ;;
all)
    run_asan all "$@" || status=1
    run_tsan "$@" || status=1
    ;;
*)
    echo "usage: $0 [asan|tsan|all|ci|ci-build] [ctest arguments...]" >&2
    exit 2
    ;;
esac
exit $status
