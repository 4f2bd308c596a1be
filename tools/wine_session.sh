#!/usr/bin/env bash
# The Wine side of `installlog capture` and `installlog verify`: makes a
# scratch prefix and runs programs in it. installlog reads the prefix
# between the steps; this script never looks at what a program changed.
#
#   wine-session new WORK ARCH                    a fresh prefix in WORK/prefix
#   wine-session run WORK ARCH LIMIT DIR -- CMD... CMD in the prefix, DIR as S:\
#   wine-session answer WORK ARCH LIMIT HELPER SCRIPT -- WINPATH
#                                                 WINPATH under the answering
#                                                 helper, then a restart of the
#                                                 prefix (pending deletes run)
#
# ARCH is win32 (a 32-bit prefix) or win64 (a 64-bit one, where 32-bit
# programs run under WOW64). Every step ends with the prefix's server
# stopped, so that its registry files are complete. WORK/home is Wine's home:
# nothing reaches the real one. INSTALLLOG_TEMPLATE names a prefix made
# before (by `new`, or the tests' template) to copy instead of making one
# (about 2 s instead of 20 s); the tests use it.
set -uo pipefail

here=$(cd "$(dirname "$(readlink -f "${BASH_SOURCE[0]}")")" && pwd)
lib=$here/lib
[ -f "$lib/wine.sh" ] || lib=$here/../scripts/lib
# shellcheck source=../scripts/lib/wine.sh
. "$lib/wine.sh"

die() {
  echo "wine-session: $*" >&2
  exit 2
}

command=${1:-}
work=${2:-}
arch=${3:-}
if [ -z "$command" ] || [ -z "$work" ] || [ -z "$arch" ]; then
  die "usage: wine-session new|run|answer WORK ARCH ..."
fi
shift 3
export E2E_WINE_ARCH=$arch
# The programs' own bits do not matter here: Wine picks the loader by the
# program, and the harness's WOW64 folder names are not used.
export E2E_PROGRAM_BITS=64
[ "$arch" = win32 ] && E2E_PROGRAM_BITS=32
mkdir -p "$work" || die "cannot make $work"
wine_env_init "$work" >/dev/null || exit 2
export WINEPREFIX=$work/prefix
E2E_WINEDEBUG=${INSTALLLOG_WINEDEBUG:--all}
export WINEDEBUG=$E2E_WINEDEBUG

# Lets Wine's server end once the programs have: an installer may leave a
# child running for a moment. Then stops it for good.
settle() {
  timeout 60 "$WINE_SERVER" -w >/dev/null 2>&1 || true
  wine_stop
}

case $command in
  new)
    wine_arch_supported || exit 2
    if [ -n "${INSTALLLOG_TEMPLATE:-}" ]; then
      [ -f "$INSTALLLOG_TEMPLATE/system.reg" ] || die "INSTALLLOG_TEMPLATE: no prefix at $INSTALLLOG_TEMPLATE"
      wine_clone_prefix "$INSTALLLOG_TEMPLATE" "$WINEPREFIX" || die "cannot copy $INSTALLLOG_TEMPLATE"
    else
      wine_make_template "$WINEPREFIX" || die "cannot make a prefix in $WINEPREFIX"
    fi
    # The first graphical program in a fresh prefix registers the display
    # for good; it runs now so that the install is not blamed for it.
    wine_run 60 rundll32 user32.dll,MessageBeep >/dev/null 2>&1 ||
      die "the first program in the new prefix did not run"
    settle
    ;;
  run)
    limit=${1:?} dir=${2:?}
    [ "${3:-}" = -- ] || die "run: -- CMD expected"
    shift 3
    [ $# -gt 0 ] || die "run: no command"
    # The caller's folder is drive S: and the current folder of the command,
    # so that its relative paths work. It is not part of drive C:, which is
    # all installlog compares.
    rm -f "$WINEPREFIX/dosdevices/s:"
    ln -s "$(realpath "$dir")" "$WINEPREFIX/dosdevices/s:"
    rc=0
    (cd "$dir" && timeout --kill-after=5 "$limit" "$WINE_LOADER" "$@") || rc=$?
    settle
    rm -f "$WINEPREFIX/dosdevices/s:"
    exit "$rc"
    ;;
  answer)
    limit=${1:?} helper=${2:?} script=${3:?}
    [ "${4:-}" = -- ] || die "answer: -- WINPATH expected"
    shift 4
    mkdir -p "$WINEPREFIX/drive_c/installlog-verify"
    cp "$helper" "$WINEPREFIX/drive_c/installlog-verify/answer.exe" || die "cannot copy $helper"
    cp "$script" "$WINEPREFIX/drive_c/installlog-verify/answers.txt" || die "cannot copy $script"
    rc=0
    wine_run "$limit" 'C:\installlog-verify\answer.exe' 'C:\installlog-verify\answers.txt' -- "$@" ||
      rc=$?
    settle
    rm -rf "$WINEPREFIX/drive_c/installlog-verify"
    # Windows deletes what a program left for its next start (the
    # uninstaller's copy of itself) when it starts again.
    wine_run 120 wineboot -r >/dev/null 2>&1 || die "wineboot -r failed"
    settle
    exit "$rc"
    ;;
  *) die "unknown command $command" ;;
esac
