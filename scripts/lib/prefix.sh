# shellcheck shell=bash disable=SC2034 # variables for the scripts that source it
# The prefix as a machine (part of the Wine harness, sourced by wine.sh):
# its folders, making files, registry keys and shell links in it as an
# installer would, and checking what is left.
#
# Windows paths are written as Windows paths (C:\...); the functions map
# them into the prefix. Every expect_* records a failure and goes on, so a
# run reports all differences at once.

E2E_FAILURES=0

fail() {
  echo "CHECK FAILED: $*" >&2
  E2E_FAILURES=$((E2E_FAILURES + 1))
}

# The Unix path of a Windows path on drive C: of the prefix, as the programs
# under test see it: under WOW64 their System32 is SysWOW64 on disk (but for
# the few folders left out of the redirection), and the real System32 is
# reached as Sysnative.
unix_path() {
  local p=$1
  case $p in
    [cC]:\\*) p=${p:3} ;;
    [cC]:) p= ;;
    *)
      echo "unix_path: not a C: path: $p" >&2
      return 1
      ;;
  esac
  p=${p//\\//}
  if [ "$E2E_WOW64" = 1 ]; then
    local lower=${p,,}
    case $lower in
      # Left out of the redirection, as on Windows.
      windows/system32/drivers/etc | windows/system32/drivers/etc/* | \
        windows/system32/spool | windows/system32/spool/* | \
        windows/system32/catroot | windows/system32/catroot/* | \
        windows/system32/catroot2 | windows/system32/catroot2/* | \
        windows/system32/logfiles | windows/system32/logfiles/* | \
        windows/system32/driverstore | windows/system32/driverstore/*) ;;
      windows/system32 | windows/system32/*) p="windows/syswow64${p:16}" ;;
      windows/sysnative | windows/sysnative/*) p="windows/system32${p:17}" ;;
    esac
  fi
  printf '%s\n' "$WINEPREFIX/drive_c/$p"
}

# Sets the prefix's folders as the programs under test see them (Windows
# paths) and E2E_WOW64; wine_env_init calls it.
_wine_folders() {
  # WOW64 when 32-bit programs run in a 64-bit prefix, as on every current PC.
  if [ "${E2E_WINE_ARCH:-win32}" = win64 ] && [ "${E2E_PROGRAM_BITS:-64}" = 32 ]; then
    E2E_WOW64=1
  else
    E2E_WOW64=0
  fi
  E2E_USER=$(id -un)
  WINDIR='C:\windows'
  SYSDIR='C:\windows\system32'
  # Where the programs' system folder lies on disk (under WOW64, System32 is
  # SysWOW64 for them), and Program Files as they see it and the native one.
  if [ "$E2E_WOW64" = 1 ]; then
    SYSDIR_ON_DISK='C:\windows\syswow64'
    PROGRAM_FILES='C:\Program Files (x86)'
  else
    SYSDIR_ON_DISK=$SYSDIR
    PROGRAM_FILES='C:\Program Files'
  fi
  NATIVE_PROGRAM_FILES='C:\Program Files'
  PROFILE_DIR="C:\\users\\$E2E_USER"
  DESKTOP_DIR="$PROFILE_DIR\\Desktop"
  PROGRAMS_DIR="$PROFILE_DIR\\AppData\\Roaming\\Microsoft\\Windows\\Start Menu\\Programs"
}

# ---------------------------------------------------------------------------
# Setting up the machine.

# Sets APP (Windows path, no trailing backslash) and APP_UNIX, and makes the
# folder.
app_dir() {
  APP=${1%\\}
  APP_UNIX=$(unix_path "$APP")
  mkdir -p "$APP_UNIX"
}

# make_file WINPATH [CONTENT]: a file with its parent folders.
make_file() {
  local u
  u=$(unix_path "$1")
  mkdir -p "$(dirname "$u")"
  printf '%s' "${2-content of $1}" >"$u"
}

make_dir() {
  mkdir -p "$(unix_path "$1")"
}

# set_attr WINPATH ATTR...: hidden, system (both kept in user.DOSATTRIB, as
# Wine does) and readonly (the Unix write bits).
set_attr() {
  local u bits=0 a
  u=$(unix_path "$1")
  shift
  for a in "$@"; do
    case $a in
      hidden) bits=$((bits | 2)) ;;
      system) bits=$((bits | 4)) ;;
      readonly) chmod a-w "$u" ;;
      *)
        echo "set_attr: unknown attribute $a" >&2
        return 1
        ;;
    esac
  done
  if [ "$bits" -ne 0 ]; then
    setfattr -n user.DOSATTRIB -v "\"0x$bits\"" "$u"
  fi
}

# The root key names of the log and of regedit.
_reg_root_long() {
  case $1 in
    HKCR) echo HKEY_CLASSES_ROOT ;;
    HKCU) echo HKEY_CURRENT_USER ;;
    HKLM) echo HKEY_LOCAL_MACHINE ;;
    HKU) echo HKEY_USERS ;;
    *)
      echo "unknown root key $1" >&2
      return 1
      ;;
  esac
}

E2E_REG_PENDING=""

# reg_key ROOT SUBKEY [NAME DATA]: a key with one string value (e2e = 1 by
# default, so that it is a real entry) to create; all pending keys are
# imported with one regedit call before the uninstaller runs. NAME and DATA
# are written as they are: no quotes or backslashes in them.
reg_key() {
  local root
  root=$(_reg_root_long "$1") || return 1
  E2E_REG_PENDING+=$'\r\n'"[$root\\$2]"$'\r\n'"\"${3:-e2e}\"=\"${4:-1}\""$'\r\n'
}

# Imports the pending keys now (run_uninstall does it otherwise), e.g. to
# look at them before the uninstaller runs.
apply_registry() {
  [ -n "$E2E_REG_PENDING" ] || return 0
  local file="$WINEPREFIX/drive_c/e2e/keys.reg"
  mkdir -p "$(dirname "$file")"
  printf 'REGEDIT4\r\n%s' "$E2E_REG_PENDING" >"$file"
  # The keys go where a 32-bit installer's would: under WOW64 the 32-bit
  # regedit sees Wow6432Node behind HKLM\Software, as the uninstaller does.
  local regedit=regedit
  [ "$E2E_WOW64" = 1 ] && regedit='C:\windows\syswow64\regedit.exe'
  wine_run 60 "$regedit" /S 'C:\e2e\keys.reg' || {
    fail "regedit could not import the scenario's keys"
    return 1
  }
  E2E_REG_PENDING=""
}

# make_link WINFOLDER NAME: WINFOLDER\NAME.lnk, a minimal shell link (the
# 76-byte header with no target), enough for anything that removes links by
# name.
make_link() {
  local u
  u=$(unix_path "$1\\$2.lnk")
  mkdir -p "$(dirname "$u")"
  # HeaderSize 0x4C, LinkCLSID {00021401-0000-0000-C000-000000000046}, then
  # flags, attributes, times, size, icon index, show command, hot key and
  # reserved fields, all zero but the show command (SW_SHOWNORMAL).
  {
    printf '\x4c\x00\x00\x00'
    printf '\x01\x14\x02\x00\x00\x00\x00\x00\xc0\x00\x00\x00\x00\x00\x00\x46'
    head -c 40 /dev/zero
    printf '\x00\x00\x00\x00' # icon index
    printf '\x01\x00\x00\x00' # show command
    head -c 12 /dev/zero      # hot key and reserved
  } >"$u"
}

# ---------------------------------------------------------------------------
# Checks.

expect_exists() {
  [ -e "$(unix_path "$1")" ] || fail "missing, but should remain: $1"
}

expect_missing() {
  [ ! -e "$(unix_path "$1")" ] || fail "still there, but should be removed: $1"
}

# expect_tree WINDIR [ENTRY...]: the folder holds exactly these entries
# (paths relative to it, folders with a trailing /). With no entries the
# folder must be empty; use expect_missing for a folder that must be gone.
expect_tree() {
  local root
  root=$(unix_path "$1")
  shift
  if [ ! -d "$root" ]; then
    fail "folder missing: $root"
    return
  fi
  local want got
  want=$(printf '%s\n' "$@" | sed '/^$/d' | LC_ALL=C sort)
  got=$(cd "$root" && find . -mindepth 1 \( -type d -printf '%P/\n' \) -o -printf '%P\n' |
    LC_ALL=C sort)
  if [ "$want" != "$got" ]; then
    fail "contents of $root differ:"$'\n'"$(diff <(echo "$want") <(echo "$got") |
      sed -n 's/^</  expected, missing: /p; s/^>/  present, unexpected: /p')"
  fi
}

# Where a 32-bit program's key ROOT\SUBKEY lies in the registry files
# under WOW64: HKLM\Software and the class identifiers of HKCR have a 32-bit
# view of their own (Wow6432Node); the rest is shared.
_reg_wow64_key() {
  local root=$1 sub=$2 lower=${2,,}
  case $root in
    HKLM)
      case $lower in
        software\\classes\\clsid* | software\\classes\\interface* | software\\classes\\typelib*)
          sub="Software\\Classes\\Wow6432Node\\${sub:17}"
          ;;
        software\\classes | software\\classes\\*) ;;
        software) sub='Software\Wow6432Node' ;;
        software\\*) sub="Software\\Wow6432Node\\${sub:9}" ;;
      esac
      ;;
    HKCR)
      case $lower in
        clsid* | interface* | typelib*) sub="Wow6432Node\\$sub" ;;
      esac
      ;;
  esac
  printf '%s' "$sub"
}

# Where the registry files of the stopped prefix hold ROOT\SUBKEY: the file
# in E2E_REG_FILE, the key's name as written there (backslashes doubled, no
# trailing one) in E2E_REG_NAME.
_reg_location() {
  local sub=$2
  [ "$E2E_WOW64" = 1 ] && sub=$(_reg_wow64_key "$1" "$2")
  case $1 in
    HKLM) E2E_REG_FILE=system.reg ;;
    HKCR)
      E2E_REG_FILE=system.reg
      sub="Software\\Classes\\$sub"
      ;;
    HKCU) E2E_REG_FILE=user.reg ;;
    *)
      echo "registry checks support HKLM, HKCR and HKCU, not $1" >&2
      return 2
      ;;
  esac
  sub=${sub%\\}
  E2E_REG_NAME=${sub//\\/\\\\}
}

# Whether the registry files of the stopped prefix hold ROOT\SUBKEY. Wine
# writes a key only when it has values or no subkeys, so a key also exists
# when a key below it is written.
_reg_key_present() {
  _reg_location "$1" "$2" || return 2
  grep -qiF -e "[$E2E_REG_NAME]" -e "[$E2E_REG_NAME\\\\" "$WINEPREFIX/$E2E_REG_FILE"
}

# Whether ROOT\SUBKEY holds the value NAME: Wine writes a key as a line
# "[name] time" followed by its values, one "\"name\"=data" a line.
_reg_value_present() {
  _reg_location "$1" "$2" || return 2
  KEY="[${E2E_REG_NAME,,}]" NAME="\"${3,,}\"=" awk '
    /^\[/ { in_key = index(tolower($0), ENVIRON["KEY"]) == 1; next }
    in_key && index(tolower($0), ENVIRON["NAME"]) == 1 { found = 1; exit }
    END { exit !found }' "$WINEPREFIX/$E2E_REG_FILE"
}

expect_key() {
  _reg_key_present "$1" "$2" || fail "registry key missing, but should remain: $1\\$2"
}

expect_no_key() {
  if _reg_key_present "$1" "$2"; then
    fail "registry key still there, but should be removed: $1\\$2"
  fi
}

# expect_value ROOT SUBKEY NAME: the key is there and holds the value NAME.
expect_value() {
  _reg_value_present "$1" "$2" "$3" || fail "registry value missing, but should remain: $1\\$2 \"$3\""
}

# Everything on drive C: of the prefix but the harness's own folder, one line
# an entry: its path, its type and (for a file) its size.
_drive_c_listing() {
  (cd "$WINEPREFIX/drive_c" && find . -path ./e2e -prune -o -mindepth 1 \
    \( -type f -printf '%P\tfile\t%s\n' \) -o -printf '%P\t%y\n') | LC_ALL=C sort
}

# The files on drive C: that are byte for byte the program under test, but
# for the harness's own folder: one line each, their Unix paths.
uninstaller_copies() {
  local size
  size=$(stat -c %s "$E2E_UNINSTALL_EXE")
  find "$WINEPREFIX/drive_c" -path "$WINEPREFIX/drive_c/e2e" -prune -o -type f -size "${size}c" \
    -print 2>/dev/null | while IFS= read -r f; do
    cmp -s "$f" "$E2E_UNINSTALL_EXE" && printf '%s\n' "$f"
  done
}

# snapshot_drive_c TAG: remembers what drive C: holds now.
snapshot_drive_c() {
  _drive_c_listing >"$E2E_SCRATCH/snapshot_$1"
  uninstaller_copies >"$E2E_SCRATCH/snapshot_$1.copies"
}

# expect_drive_c_unchanged TAG [WINPATH...]: nothing on drive C: was added,
# removed or changed in size since snapshot TAG, but at the given paths and
# below them (what the log names, the application's folder).
expect_drive_c_unchanged() {
  local tag=$1 path rel filter=""
  shift
  for path in "$@"; do
    rel=$(unix_path "$path") || return 1
    rel=${rel#"$WINEPREFIX/drive_c/"}
    rel=${rel%/}
    filter+="${rel}"$'\n'
  done
  # The uninstaller's own executable, renamed into the temporary folder to
  # be deleted at the next restart, is no change of the machine's: neither
  # a copy that is there now nor one an earlier run left, which Wine deletes
  # when it next starts its server, as Windows does at a restart.
  local copy
  while IFS= read -r copy; do
    filter+="${copy#"$WINEPREFIX/drive_c/"}"$'\n'
  done < <(uninstaller_copies; cat "$E2E_SCRATCH/snapshot_$tag.copies")
  local changes
  changes=$(diff <(cat "$E2E_SCRATCH/snapshot_$tag") <(_drive_c_listing) |
    sed -n 's/^< /  gone: /p; s/^> /  new or changed: /p' |
    awk -v filter="$filter" 'BEGIN { n = split(filter, keep, "\n") }
      { entry = $0; sub(/^  [^:]*: /, "", entry); sub(/\t.*/, "", entry)
        for (i = 1; i <= n; i++) if (keep[i] != "" && (entry == keep[i] || index(entry, keep[i] "/") == 1)) next
        print }')
  if [ -n "$changes" ]; then
    fail "drive C: changed outside what the log names:"$'\n'"$changes"
  fi
}

