#!/usr/bin/env bash
# Runs one end-to-end scenario in a fresh Wine prefix.
#
#   run_scenario.sh SCENARIO.sh
#
# Environment (CTest sets it; see tests/e2e/CMakeLists.txt):
#   E2E_KIND            win32, wow64 or win64: the kind of prefix, for messages
#   E2E_WINE_ARCH       win32 or win64, the bitness of the prefix
#   E2E_PROGRAM_BITS    32 or 64, the bitness of the programs (32 in a win64
#                       prefix: they run under WOW64)
#   E2E_TEMPLATE        the template prefix made by make_template.sh
#   E2E_WORK            scratch root; the scenario works in E2E_WORK/NAME
#   E2E_ANSWER_EXE      the answering helper (answer.exe)
#   E2E_UNINSTALL_EXE   the program under test (Uninstall.exe)
#   E2E_BOXES_EXE       the helper's own stand-in program (its self-test)
#   E2E_INSTALLLOG      the Linux build of installlog, which writes the
#                       scenarios' logs where it exists (else installlog.exe)
#   DISPLAY             an X display (xvfb-run provides one)
#   E2E_WINEDEBUG       Wine's debug channels (default fixme-all: Wine's
#                       error messages are shown)
#
# Exit status: 0 passed, 1 failed, 77 skipped (this machine cannot run the
# programs). The scratch folder is removed after a pass and kept after a
# failure, for a look at the prefix.
set -uo pipefail

scenario=${1:?usage: run_scenario.sh SCENARIO.sh}
name=$(basename "$scenario" .sh)
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(cd "$here/../.." && pwd)

if [ -z "${DISPLAY:-}" ]; then
  echo "FAILED $name: DISPLAY is not set. Message boxes need an X display; run the tests as" \
    "xvfb-run -a -s '-screen 0 1024x768x24' ctest ... -L e2e" >&2
  exit 1
fi
for v in E2E_TEMPLATE E2E_WORK E2E_ANSWER_EXE; do
  if [ -z "${!v:-}" ]; then
    echo "FAILED $name: $v is not set (run the scenarios through ctest)" >&2
    exit 1
  fi
done

export E2E_WINE_ARCH=${E2E_WINE_ARCH:-win32}
# Wine's own error messages stay on: they appear beside the helper's output
# and explain a failure that the programs themselves cannot see.
export E2E_WINEDEBUG=${E2E_WINEDEBUG:-fixme-all}
# shellcheck source=../../scripts/lib/wine.sh
. "$root/scripts/lib/wine.sh"
E2E_SCRATCH="$E2E_WORK/$name"
rm -rf "$E2E_SCRATCH"
mkdir -p "$E2E_SCRATCH"
wine_env_init "$E2E_SCRATCH" || exit 1
if ! wine_arch_supported; then
  echo "SKIPPED $name"
  exit 77
fi
if [ ! -f "$E2E_TEMPLATE/system.reg" ]; then
  echo "FAILED $name: no template prefix at $E2E_TEMPLATE (the e2e_prefix test makes it)" >&2
  exit 1
fi

started=$(date +%s%3N)
export WINEPREFIX="$E2E_SCRATCH/prefix"
wine_clone_prefix "$E2E_TEMPLATE" "$WINEPREFIX" || {
  echo "FAILED $name: cannot copy the template prefix" >&2
  exit 1
}
mkdir -p "$WINEPREFIX/drive_c/e2e"
cp "$E2E_ANSWER_EXE" "$WINEPREFIX/drive_c/e2e/answer.exe"
trap wine_stop EXIT

# shellcheck source=lib.sh
. "$here/lib.sh"
echo "=== $name (${E2E_KIND:-$E2E_WINE_ARCH}): $(sed -n '1s/^# *//p' "$scenario")"
# shellcheck disable=SC1090
. "$scenario"
wine_stop

ms=$(($(date +%s%3N) - started))
elapsed=$(printf '%d.%03d' $((ms / 1000)) $((ms % 1000)))
if [ "$E2E_FAILURES" -ne 0 ]; then
  echo "FAILED $name: $E2E_FAILURES check(s) failed after ${elapsed} s; prefix kept in $WINEPREFIX" >&2
  exit 1
fi
rm -rf "$E2E_SCRATCH"
echo "PASSED $name in ${elapsed} s"
