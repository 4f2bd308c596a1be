# Functions for the end-to-end scenarios; run_scenario.sh sources this and
# then the scenario file, inside a fresh prefix (WINEPREFIX) of its own.
#
# A scenario is a bash file that reads top to bottom:
#
#   app_dir 'C:\Program Files\Sample'           # the application folder
#   make_file "$APP\\Sample.exe" 'contents'      # files, with attributes
#   set_attr "$APP\\notes.txt" hidden
#   reg_key HKLM 'Software\Sample\Settings'     # registry keys
#   make_link "$PROGRAMS_DIR\\Sample" 'Sample'   # shell links
#   log_app '%currentdir%' 'Sample' "$APP\\Sample.exe" 'Sample'
#   log_file '' "$APP\\Sample.exe" 0             # the install log records
#   log_reg HKLM 'Software\Sample'
#   log_link 'Sample' 'Sample' ''
#   write_log                                    # Uninstall.dat in $APP
#   expect_window shown                          # the answering script
#   expect_box Uninstall 36 "Do you really want to remove 'Sample' from this computer ?" yes
#   expect_box Uninstall 64 'Application has been removed successfully.' ok
#   run_uninstall                                # copies Uninstall.exe in, runs it
#   expect_missing "$APP\\Sample.exe"            # checks on files and keys
#   expect_no_key HKLM 'Software\Sample'
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

# The kind of prefix: WOW64 when 32-bit programs run in a 64-bit prefix, as
# on every current PC.
if [ "${E2E_WINE_ARCH:-win32}" = win64 ] && [ "${E2E_PROGRAM_BITS:-64}" = 32 ]; then
  E2E_WOW64=1
else
  E2E_WOW64=0
fi

# Folders of the prefix's user, as Windows paths.
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

# The uninstaller's messages.
TEXT_NOT_FOUND="Sorry, uninstallling is not possible as 'Uninstall.dat' was not found in the current directory. Try to reinstall the target application and then start uninstall again."
TEXT_REMOVED='Application has been removed successfully.'
TEXT_NOT_ALL='Uninstalling finished, not all files have been removed.'
text_confirm() { printf "Do you really want to remove '%s' from this computer ?" "$1"; }
text_invalid_log() { printf "Error: the file '%s' is no valid InstallFile !" "$1"; }
text_delete_error() { printf "Error deleting file: %s\nPress 'Cancel' to skip this file." "$1"; }

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

# short_name WINDIR NAME: the 8.3 short name the file system gives NAME in
# WINDIR (NAME itself when it has none), as "dir /x" lists it.
short_name() {
  local listing
  listing=$(wine_run 60 cmd /c dir /x "$1" 2>/dev/null | tr -d '\r') || true
  printf '%s\n' "$listing" | awk -v name="$2" '
    length($0) > length(name) && substr($0, length($0) - length(name) + 1) == name {
      head = substr($0, 1, length($0) - length(name))
      if (head !~ / $/) next
      n = split(head, words, " ")
      short = words[n]
      if (short ~ /^<DIR>$/ || short ~ /^[0-9,]+$/) short = name
      print short
      found = 1
      exit
    }
    END { if (!found) print name }'
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

_reg_root_value() {
  case $1 in
    HKCR) echo $((0x80000000)) ;;
    HKCU) echo $((0x80000001)) ;;
    HKLM) echo $((0x80000002)) ;;
    HKU) echo $((0x80000003)) ;;
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
# The install log, built in the InstallFile format: the magic, a line end,
# then records of one kind byte and their fields; an integer is 4 bytes
# little-endian, a string is its length as an integer and its Windows-1252
# bytes.

E2E_LOG=""

_log_init() {
  if [ -z "$E2E_LOG" ]; then
    E2E_LOG="$E2E_SCRATCH/log.bin"
    printf 'InstallFile\r\n' >"$E2E_LOG"
  fi
}

_log_byte() {
  printf "\\x$(printf %02x "$1")" >>"$E2E_LOG"
}

_log_int() {
  local v=$(($1 & 0xFFFFFFFF))
  printf "\\x$(printf %02x $((v & 255)))\\x$(printf %02x $(((v >> 8) & 255)))\\x$(printf %02x $(((v >> 16) & 255)))\\x$(printf %02x $(((v >> 24) & 255)))" >>"$E2E_LOG"
}

_log_string() {
  local bytes="$E2E_SCRATCH/string.bin"
  printf '%s' "$1" | iconv -f UTF-8 -t CP1252 >"$bytes" || {
    echo "log: not representable in Windows-1252: $1" >&2
    return 1
  }
  _log_int "$(stat -c %s "$bytes")"
  cat "$bytes" >>"$E2E_LOG"
}

# log_app APPPATH APPNAME MAINPATH GROUPNAME
log_app() {
  _log_init
  _log_byte 1
  _log_string "$1"
  _log_string "$2"
  _log_string "$3"
  _log_string "$4"
}

# log_file SOURCEPATH TARGETPATH KEEP (KEEP: 0, or -1 to keep the file)
log_file() {
  _log_init
  _log_byte 2
  _log_string "$1"
  _log_string "$2"
  _log_int "$3"
}

# log_reg ROOT SUBKEY [EXTRA1 EXTRA2]
log_reg() {
  _log_init
  _log_byte 3
  _log_int "$(_reg_root_value "$1")"
  _log_string "$2"
  _log_string "${3-}"
  _log_string "${4-}"
}

# log_link FOLDERNAME LINKNAME LINKPATH
log_link() {
  _log_init
  _log_byte 4
  _log_string "$1"
  _log_string "$2"
  _log_string "$3"
}

# Starts a new log, for a further run in one scenario.
reset_log() {
  E2E_LOG=""
  rm -f "$E2E_SCRATCH/log.bin"
}

# write_log [WINPATH]: the log as built so far, as $APP\Uninstall.dat by
# default.
write_log() {
  _log_init
  local target
  target=$(unix_path "${1:-$APP\\Uninstall.dat}")
  mkdir -p "$(dirname "$target")"
  cp "$E2E_LOG" "$target"
}

# A small installed application under C:\Program Files\Sample with its log:
# two files, one of them in a subfolder, a registry key with its parent, and
# a link in a program group. For scenarios in which it must stay untouched
# (expect_small_sample_untouched).
install_small_sample() {
  app_dir 'C:\Program Files\Sample'
  make_file "$APP\\Sample.exe"
  make_file "$APP\\Data\\settings.ini"
  reg_key HKLM 'Software\Sample\Settings'
  make_link "$PROGRAMS_DIR\\Sample" 'Sample'
  log_app '%currentdir%' 'Sample' '%currentdir%Sample.exe' 'Sample'
  log_file '' '%currentdir%Sample.exe' 0
  log_file '' '%currentdir%Data\settings.ini' 0
  log_reg HKLM 'Software\Sample\Settings'
  log_reg HKLM 'Software\Sample'
  log_link '%userfolder%' 'Sample' '%currentdir%Sample.exe'
  write_log
}

expect_small_sample_untouched() {
  expect_tree "$APP" Sample.exe Data/ Data/settings.ini Uninstall.dat Uninstall.exe
  expect_key HKLM 'Software\Sample\Settings'
  expect_exists "$PROGRAMS_DIR\\Sample\\Sample.lnk"
}

# write_raw_log BYTES [WINPATH]: a log of exactly these bytes (printf escapes
# such as \x00 allowed), for logs that the format functions cannot make.
write_raw_log() {
  printf "$1" >"$(unix_path "${2:-$APP\\Uninstall.dat}")"
}

# installlog.exe, the installer authors' tool, built beside Uninstall.exe
# in tools/ of the same build.
E2E_INSTALLLOG_EXE=${E2E_INSTALLLOG_EXE:-$(dirname "${E2E_UNINSTALL_EXE:-.}")/tools/installlog.exe}

# installlog ARGS...: runs installlog.exe in the prefix; its exit code in
# INSTALLLOG_RC, its output streams (line ends made Unix) in INSTALLLOG_OUT
# and INSTALLLOG_ERR.
installlog() {
  INSTALLLOG_RC=0
  if [ ! -f "$WINEPREFIX/drive_c/e2e/installlog.exe" ] &&
    ! cp "$E2E_INSTALLLOG_EXE" "$WINEPREFIX/drive_c/e2e/installlog.exe"; then
    fail "installlog.exe is missing: $E2E_INSTALLLOG_EXE"
    INSTALLLOG_RC=2
    return 1
  fi
  wine_run 120 'C:\e2e\installlog.exe' "$@" >"$E2E_SCRATCH/out.txt" 2>"$E2E_SCRATCH/err.txt" ||
    INSTALLLOG_RC=$?
  INSTALLLOG_OUT=$(tr -d '\r' <"$E2E_SCRATCH/out.txt")
  INSTALLLOG_ERR=$(tr -d '\r' <"$E2E_SCRATCH/err.txt")
}

# ---------------------------------------------------------------------------
# The answering script.

E2E_ANSWERS_HEAD=""
E2E_ANSWERS_BOXES=""
E2E_EXIT_CODE=0

# A value in the script's escaping: backslash doubled, line feed as \n.
_answer_escape() {
  local v=${1//\\/\\\\}
  v=${v//$'\n'/\\n}
  v=${v//$'\t'/\\t}
  printf '%s' "$v"
}

# expect_window never|shown|any
expect_window() {
  E2E_ANSWERS_HEAD+="window=$1"$'\n'
}

# expect_exit_code N|any (default 0)
expect_exit_code() {
  E2E_EXIT_CODE=$1
}

# expect_box TITLE STYLE TEXT ANSWER [run=COMMAND] [close_main] [watch]
# TEXT is the box's exact text with real line feeds. ANSWER "kill" ends the
# program instead of answering (the last box; with expect_exit_code any).
expect_box() {
  local block
  block="[box]"$'\n'"title=$(_answer_escape "$1")"$'\n'"style=$2"$'\n'
  block+="text=$(_answer_escape "$3")"$'\n'
  if [ "$4" = kill ]; then block+="kill=yes"$'\n'; else block+="answer=$4"$'\n'; fi
  shift 4
  local extra
  for extra in "$@"; do
    case $extra in
      run=*) block+="run=$(_answer_escape "${extra#run=}")"$'\n' ;;
      close_main) block+="close_main=yes"$'\n' ;;
      watch) block+="watch=yes"$'\n' ;;
      *)
        echo "expect_box: unknown option $extra" >&2
        return 1
        ;;
    esac
  done
  E2E_ANSWERS_BOXES+=$block
}

# ---------------------------------------------------------------------------
# Running the uninstaller.

# run_uninstall [WINPATH]: copies Uninstall.exe into $APP (or to WINPATH),
# imports pending registry keys, runs it under the answering helper and then
# stops the prefix's server so that the registry files are written.
run_uninstall() {
  local exe=${1:-$APP\\Uninstall.exe}
  apply_registry || return 1
  if [ ! -f "${E2E_UNINSTALL_EXE:-}" ]; then
    fail "the program under test is missing: ${E2E_UNINSTALL_EXE:-E2E_UNINSTALL_EXE not set}"
    return 1
  fi
  local target
  target=$(unix_path "$exe")
  mkdir -p "$(dirname "$target")"
  cp "$E2E_UNINSTALL_EXE" "$target"
  run_answered "$exe"
}

# uninstall_confirmed NAME [WINPATH]: runs the uninstaller (as run_uninstall)
# for the application NAME, answers its confirmation with Yes and expects
# the window and the success report.
uninstall_confirmed() {
  expect_window shown
  expect_box Uninstall 36 "$(text_confirm "$1")" yes
  expect_box Uninstall 64 "$TEXT_REMOVED" ok
  run_uninstall "${@:2}"
}

# run_answered WINPATH [ARGS...]: runs a program already in place under the
# answering helper with the script built so far, then stops the prefix's
# server (unless E2E_KEEP_SERVER=1) so that the registry files are complete.
# The helper's output is shown once it has ended, or as it comes by the
# function named in E2E_ANSWER_WATCH (called with the output file and the
# helper's process id).
run_answered() {
  local script="$WINEPREFIX/drive_c/e2e/answers.txt"
  mkdir -p "$(dirname "$script")"
  {
    printf '%s' "$E2E_ANSWERS_HEAD"
    [ "$E2E_EXIT_CODE" = any ] || printf 'exit_code=%s\n' "$E2E_EXIT_CODE"
    printf 'box_timeout=%s\nexit_timeout=%s\n' "${E2E_BOX_TIMEOUT:-30}" "${E2E_EXIT_TIMEOUT:-30}"
    printf '%s' "$E2E_ANSWERS_BOXES"
  } >"$script"
  local start=$SECONDS out="$E2E_SCRATCH/answer.out"
  E2E_ANSWER_RC=0
  if [ -n "${E2E_ANSWER_WATCH:-}" ]; then
    # The watcher follows the helper's output as it is written: it gets the
    # file and the helper's process id, and returns once that has ended.
    wine_run "${E2E_RUN_LIMIT:-120}" 'C:\e2e\answer.exe' 'C:\e2e\answers.txt' -- "$@" \
      >"$out" 2>&1 &
    local pid=$!
    "$E2E_ANSWER_WATCH" "$out" "$pid"
    wait "$pid" || E2E_ANSWER_RC=$?
  else
    wine_run "${E2E_RUN_LIMIT:-120}" 'C:\e2e\answer.exe' 'C:\e2e\answers.txt' -- "$@" \
      >"$out" 2>&1 || E2E_ANSWER_RC=$?
    sed 's/^/  | /' "$out"
  fi
  [ "${E2E_KEEP_SERVER:-0}" = 1 ] || wine_stop
  echo "(ran in $((SECONDS - start)) s)"
  reset_answers
  if [ "$E2E_ANSWER_RC" -ne 0 ] && [ "${E2E_EXPECT_HELPER_FAILURE:-0}" != 1 ]; then
    fail "the answering helper reported a failure (exit code $E2E_ANSWER_RC)"
    return 1
  fi
}

# Forgets the answering script built so far, for a second run in one scenario.
reset_answers() {
  E2E_ANSWERS_HEAD=""
  E2E_ANSWERS_BOXES=""
  E2E_EXIT_CODE=0
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

# ---------------------------------------------------------------------------
# Files held open by another process (tests/e2e/hold.cc).

# start_holder TAG WINPATH: a process of the prefix opens WINPATH with no
# sharing and keeps it open until released; returns once the file is open.
start_holder() {
  local tag=$1 out="$E2E_SCRATCH/hold_$1.out"
  if [ ! -f "$WINEPREFIX/drive_c/e2e/hold.exe" ]; then
    cp "${E2E_HOLD_EXE:?E2E_HOLD_EXE is not set}" "$WINEPREFIX/drive_c/e2e/hold.exe" || return 1
  fi
  : >"$out"
  wine_run 150 'C:\e2e\hold.exe' hold "$tag" "$2" 120 >"$out" 2>&1 &
  eval "E2E_HOLDER_PID_$tag=$!"
  local i
  for ((i = 0; i < 300; i++)); do
    grep -q '^held' "$out" && return 0
    if ! kill -0 "$!" 2>/dev/null; then break; fi
    sleep 0.1
  done
  fail "holder $tag could not hold $2: $(cat "$out")"
  return 1
}

# The command line that releases holder TAG and waits until the file is
# closed, for expect_box's run=.
holder_release_command() {
  printf '%s' "C:\\e2e\\hold.exe release $1"
}

# stop_holder TAG: releases holder TAG if it still holds its file, and waits
# for its process to end.
stop_holder() {
  local var="E2E_HOLDER_PID_$1"
  local pid=${!var:-}
  [ -n "$pid" ] || return 0
  if kill -0 "$pid" 2>/dev/null; then
    wine_run 60 'C:\e2e\hold.exe' release "$1" >/dev/null 2>&1 || true
  fi
  wait "$pid" 2>/dev/null || true
  unset "$var"
}
