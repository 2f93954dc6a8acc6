#!/usr/bin/env bash
# Installs what is missing, configures, builds and runs the whole suite.
#   ./test.sh           default preset (RelWithDebInfo)
#   ./test.sh --asan    the same suite under AddressSanitizer + UBSan
#   ./test.sh --tsan    the same suite under ThreadSanitizer
#   ./test.sh -L unit   extra arguments go to ctest (here: only unit tests)
set -euo pipefail
cd "$(dirname "$0")"
preset=default
case "${1:-}" in
  --asan) preset=asan; shift ;;
  --tsan) preset=tsan; shift ;;
esac
./deps/install.sh
cmake --preset "$preset" >/dev/null
cmake --build --preset "$preset" -j "$(nproc)"
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
export TSAN_OPTIONS=${TSAN_OPTIONS:-halt_on_error=1:second_deadlock_stack=1}
# Tests open sockets and windows of their own; two at a time suits this size of machine.
ctest --preset "$preset" -j 2 "$@"
