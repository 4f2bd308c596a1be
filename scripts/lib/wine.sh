# shellcheck shell=bash
# The Wine harness of the end-to-end tests, the demo and the Wine benchmark:
# one library, sourced by each of them.
#
#   wine.sh        this file: the environment, the prefixes, running programs
#   prefix.sh      the prefix as a machine: its folders, making files, keys
#                  and links in it, and checking what is left
#   answer.sh      the answering helper's script and runs under it
#   installlog.sh  install logs, written by installlog from a JSON manifest
#
# Use:
#   export E2E_WINE_ARCH=win32                    # or win64
#   export E2E_PROGRAM_BITS=32                    # or 64 (only in win64)
#   . scripts/lib/wine.sh
#   wine_env_init /scratch/dir                    # pins the environment
#   wine_make_template /scratch/template          # once per test run
#   wine_clone_prefix /scratch/template /scratch/t1/prefix
#   wine_run 60 'C:\some\program.exe' args...     # wine under `timeout`
#   wine_stop                                     # flushes the registry files
#
# E2E_WINE_ARCH picks the prefix and the loader: win32 is a 32-bit prefix
# (/usr/lib/wine/wine), win64 a 64-bit prefix (/usr/lib/wine/wine64, which
# hands 32-bit programs to the 32-bit loader). E2E_PROGRAM_BITS says which
# programs run in it: 32-bit programs in a 64-bit prefix run under WOW64, as
# on every current PC: they see "Program Files (x86)", SysWOW64 behind
# System32 and Wow6432Node behind HKLM\Software.
#
# Nothing here touches the real machine: HOME points into the scratch folder,
# the profile folders of the prefix are real folders, not links into HOME,
# and drive Z: (the Unix root in a fresh prefix) is an empty folder of the
# prefix's own.

E2E_WINE_ARCH=${E2E_WINE_ARCH:-win32}

# Pins everything Wine reads from the environment. $1: a scratch folder that
# gets the home directory.
wine_env_init() {
  local scratch=$1
  mkdir -p "$scratch/home"
  export HOME="$scratch/home"
  export LANG=C.UTF-8
  unset LC_ALL LC_CTYPE LANGUAGE
  # E2E_WINEDEBUG lets a run show Wine's own messages, e.g. "err+all,fixme-all".
  export WINEDEBUG=${E2E_WINEDEBUG:--all}
  # No Mono or Gecko prompts; no .desktop files for the links a test makes.
  export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe="
  unset WINESERVER WINEDLLPATH
  case $E2E_WINE_ARCH in
    win32)
      export WINEARCH=win32
      WINE_LOADER=/usr/lib/wine/wine
      export E2E_PROGRAM_BITS=32
      ;;
    win64)
      export WINEARCH=win64
      WINE_LOADER=/usr/lib/wine/wine64
      # 64-bit programs unless told otherwise: 32-bit ones run under WOW64.
      export E2E_PROGRAM_BITS=${E2E_PROGRAM_BITS:-64}
      ;;
    *)
      echo "wine: E2E_WINE_ARCH must be win32 or win64, not '$E2E_WINE_ARCH'" >&2
      return 2
      ;;
  esac
  export WINELOADER=$WINE_LOADER
  WINE_SERVER=/usr/bin/wineserver
  _wine_folders
}

# Picks the kind of prefix for this machine, pins the environment for it
# (wine_env_init with the scratch folder $1) and sets WINE_PRESET to the
# Windows build that runs in it: win32, the 32-bit product in a 32-bit
# prefix, wherever the machine can run 32-bit code; else win64, the 64-bit
# build of the same sources in a 64-bit prefix. Exports E2E_WINE_ARCH and
# E2E_PROGRAM_BITS. Fails (with the reason on stderr) when neither can run.
wine_choose_arch() {
  local scratch=$1 why
  export E2E_WINE_ARCH=win32 E2E_PROGRAM_BITS=32
  wine_env_init "$scratch" || return 1
  if why=$(wine_arch_supported 2>&1); then
    WINE_PRESET=win32
    return 0
  fi
  case $why in
    *"cannot run 32-bit"*) ;;
    *)
      echo "$why" >&2
      return 1
      ;;
  esac
  export E2E_WINE_ARCH=win64 E2E_PROGRAM_BITS=64
  wine_env_init "$scratch" || return 1
  why=$(wine_arch_supported 2>&1) || {
    echo "$why" >&2
    return 1
  }
  WINE_PRESET=win64
}

# True when a binfmt_misc handler (an emulator such as qemu-i386) takes over
# 32-bit x86 ELF programs: Wine then runs, but far too slowly to test with.
_wine_i386_emulated() {
  local entry
  for entry in /proc/sys/fs/binfmt_misc/*; do
    [ -f "$entry" ] || continue
    grep -q '^enabled' "$entry" 2>/dev/null || continue
    grep -q '^magic 7f454c4601010100000000000000000002000300' "$entry" 2>/dev/null && return 0
  done
  return 1
}

# Whether this machine can run programs of E2E_PROGRAM_BITS in a prefix of
# E2E_WINE_ARCH under Wine. Prints the reason on stderr and returns non-zero
# when it cannot.
wine_arch_supported() {
  if [ ! -x "$WINE_LOADER" ]; then
    echo "wine: $WINE_LOADER is missing (scripts/install-deps installs Wine)" >&2
    return 1
  fi
  if [ "$E2E_PROGRAM_BITS" = 32 ] && [ ! -x /usr/lib/wine/wine ]; then
    echo "wine: /usr/lib/wine/wine (32-bit Wine) is missing" >&2
    return 1
  fi
  if [ "$E2E_PROGRAM_BITS" = 32 ]; then
    if _wine_i386_emulated || ! /usr/lib/wine/wine --version >/dev/null 2>&1; then
      echo "wine: this machine cannot run 32-bit x86 code natively (the kernel's IA-32" \
        "emulation is off or an emulator handles i386 programs), so 32-bit Windows programs" \
        "cannot run under Wine here; use a 64-bit (win64) build for the end-to-end tests" >&2
      return 1
    fi
  fi
  return 0
}

# Runs Wine with a time limit: wine_run SECONDS PROGRAM [ARGS...]. Returns the
# program's exit code, or 124 when the limit was reached.
wine_run() {
  local limit=$1
  shift
  # From inside drive C:, which Wine can name: the caller's folder lies
  # outside every drive of the prefix (Z: is no longer the Unix root).
  (cd "$WINEPREFIX/drive_c" 2>/dev/null || true
    timeout --kill-after=5 "$limit" "$WINE_LOADER" "$@")
}

# Ends the prefix's server and its processes. The server writes the registry
# to system.reg and user.reg as it goes, so they can be read afterwards.
wine_stop() {
  timeout 30 "$WINE_SERVER" -k >/dev/null 2>&1 || true
  # -k returns at once; wait until the server really is gone so that the
  # .reg files are complete.
  timeout 30 "$WINE_SERVER" -w >/dev/null 2>&1 || true
}

# Makes a fresh prefix at $1 (which must not exist): wineboot, no window
# manager decorations (each window closes in 40 ms instead of 2 s under
# Xvfb), no start of the disabled winemenubuilder, real profile folders.
# Built under a temporary name and renamed, so that a half-made template is
# never used.
wine_make_template() {
  local target=$1
  local tmp="$target.tmp.$$"
  rm -rf "$tmp"
  (
    export WINEPREFIX="$tmp"
    timeout --kill-after=5 300 "$WINE_LOADER" wineboot -i >/dev/null 2>&1
    local rc=$?
    if [ $rc -ne 0 ]; then
      echo "wine: wineboot -i failed ($rc) for $tmp" >&2
      exit 1
    fi
    # Without a window manager, let Wine place and close windows itself.
    timeout --kill-after=5 120 "$WINE_LOADER" reg add 'HKCU\Software\Wine\X11 Driver' \
      /v Managed /d N /f >/dev/null 2>&1 || {
      echo "wine: cannot set the X11 driver options in $tmp" >&2
      exit 1
    }
    # winemenubuilder is disabled (no .desktop files), so the entry that
    # starts it with each new server would only fail and say so.
    timeout --kill-after=5 120 "$WINE_LOADER" reg delete \
      'HKLM\Software\Microsoft\Windows\CurrentVersion\RunServices' /v winemenubuilder /f \
      >/dev/null 2>&1 || true
    timeout 120 "$WINE_SERVER" -w
  ) || {
    rm -rf "$tmp"
    return 1
  }
  # Profile folders that wineboot made as links into HOME (Desktop, Music,
  # ..., and Templates deep in AppData) become real folders, so that nothing
  # a test makes or deletes reaches another test or the real home.
  local link
  while IFS= read -r -d '' link; do
    rm -f "$link"
    mkdir -p "$link"
  done < <(find "$tmp/drive_c/users" -type l -print0)
  # Z: is the Unix root in a fresh prefix: a path a log aims at it could reach
  # the real machine. It becomes an empty folder of the prefix's own.
  rm -f "$tmp/dosdevices/z:"
  mkdir -p "$tmp/drive_z"
  ln -s ../drive_z "$tmp/dosdevices/z:"
  rm -rf "$target"
  mv "$tmp" "$target"
}

# Copies the template prefix $1 to $2. System32 (and SysWOW64) are
# hard-linked: they are most of the prefix, and a test only adds or removes
# names there, which does not reach the template. Everything else, the *.reg
# files above all (Wine rewrites them in place), is copied.
wine_clone_prefix() {
  local template=$1 dest=$2
  rm -rf "$dest"
  mkdir -p "$dest"
  tar -C "$template" --xattrs --xattrs-include='user.*' \
    --exclude=./drive_c/windows/system32 --exclude=./drive_c/windows/syswow64 -cf - . |
    tar -C "$dest" --xattrs --xattrs-include='user.*' -xf - || return 1
  local d
  for d in system32 syswow64; do
    if [ -d "$template/drive_c/windows/$d" ]; then
      cp -al "$template/drive_c/windows/$d" "$dest/drive_c/windows/$d" || return 1
    fi
  done
}

_wine_lib=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
# shellcheck source=prefix.sh
. "$_wine_lib/prefix.sh"
# shellcheck source=answer.sh
. "$_wine_lib/answer.sh"
# shellcheck source=installlog.sh
. "$_wine_lib/installlog.sh"
