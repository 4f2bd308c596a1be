#!/usr/bin/env bash
# Makes the template Wine prefix that every end-to-end scenario copies.
#
#   make_template.sh TEMPLATE_DIR
#
# Uses E2E_WINE_ARCH (win32 or win64). Exit status 77 (skipped) when this
# machine cannot run programs of that bitness.
set -uo pipefail

template=${1:?usage: make_template.sh TEMPLATE_DIR}
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
export E2E_WINE_ARCH=${E2E_WINE_ARCH:-win32}
# shellcheck source=../../scripts/lib/wine.sh
. "$here/../../scripts/lib/wine.sh"

scratch="$(dirname "$template")/template-home"
rm -rf "$scratch"
wine_env_init "$scratch" || exit 1
if ! wine_arch_supported; then
  echo "SKIPPED: no template prefix"
  exit 77
fi
start=$SECONDS
wine_make_template "$template" || exit 1
rm -rf "$scratch"
echo "template prefix ($E2E_WINE_ARCH, $("$WINE_LOADER" --version)) made in $((SECONDS - start)) s at $template"
