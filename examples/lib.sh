# shellcheck shell=bash disable=SC2034 # variables for the scripts that source it
# What the examples' build.sh and build_test.sh share. Source it.
#
# example_tools: pins a UTF-8 locale and sets
#   installlog  INSTALLLOG, else build/release/tools/installlog, else
#               build/host/tools/installlog, else installlog on PATH
#   win_build   WIN_BUILD, else build/win32 (Uninstall.exe, the sample's
#               program and verify's answering helper built when missing)
#   arch        INSTALLLOG_ARCH, else win64
# and exports INSTALLLOG_ANSWER_EXE (default: win_build's answer.exe).
# x CMD...: CMD on the X display, or under xvfb-run where there is none.
# For the tests (build_test.sh): test_start, run_logged, expect_in, fail and
# finish, described below.

_examples_root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)

example_tools() {
  # makensis 3.08 crashes (exit 139) on the sample's non-ASCII names
  # (Modèles) under LANG=C: it needs a UTF-8 locale.
  export LANG=C.UTF-8
  unset LC_ALL
  local candidate
  installlog=${INSTALLLOG:-}
  for candidate in "$_examples_root/build/release/tools/installlog" \
    "$_examples_root/build/host/tools/installlog" "$(command -v installlog || true)"; do
    if [ -z "$installlog" ] && [ -n "$candidate" ] && [ -x "$candidate" ]; then
      installlog=$candidate
    fi
  done
  if [ -z "$installlog" ]; then
    echo "build.sh: no installlog; build it first (cmake --preset release && cmake --build --preset release)" >&2
    exit 2
  fi
  win_build=${WIN_BUILD:-$_examples_root/build/win32}
  if [ ! -f "$win_build/Uninstall.exe" ] || [ ! -f "$win_build/examples/nsis/SampleNotes.exe" ] ||
    [ ! -f "$win_build/tests/e2e/answer.exe" ]; then
    (cd "$_examples_root" && cmake --preset win32 >/dev/null &&
      cmake --build "$win_build" --target Uninstall SampleNotes answer >/dev/null) || exit 2
  fi
  export INSTALLLOG_ANSWER_EXE=${INSTALLLOG_ANSWER_EXE:-$win_build/tests/e2e/answer.exe}
  arch=${INSTALLLOG_ARCH:-win64}
}

x() { if [ -n "${DISPLAY:-}" ]; then "$@"; else xvfb-run -a "$@"; fi; }

failures=0
fail() {
  echo "CHECK FAILED: $*" >&2
  failures=$((failures + 1))
}

# test_start: the installlog and Windows build of the test run (from ctest's
# environment) and the test's folder, made anew as out.
test_start() {
  export INSTALLLOG=${E2E_HOST_INSTALLLOG:?} WIN_BUILD=${E2E_WIN_BUILD:?}
  out=${E2E_WORK:?}/build
  rm -rf "$out"
  mkdir -p "$out"
}

# run_logged LOG STATUS COMMAND...: COMMAND with its output in out/LOG, shown
# indented; a failed check unless it exits with STATUS.
run_logged() {
  local log=$out/$1 want=$2 rc=0
  shift 2
  "$@" >"$log" 2>&1 || rc=$?
  sed 's/^/  | /' "$log"
  [ "$rc" -eq "$want" ] || fail "$(basename "$1") ${*:2} exited $rc, not $want"
}

# expect_in FILE TEXT...: a failed check for each TEXT that FILE lacks.
expect_in() {
  local file=$1 want
  shift
  for want in "$@"; do
    grep -qF -- "$want" "$file" || fail "$(basename "$file") lacks $want"
  done
}

# finish: the test's result; out is kept when a check failed.
finish() {
  if [ "$failures" -ne 0 ]; then
    echo "FAILED: $failures check(s); files kept in $out" >&2
    exit 1
  fi
  rm -rf "$out"
  echo PASSED
}
