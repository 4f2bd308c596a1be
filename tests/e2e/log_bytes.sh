# shellcheck shell=bash disable=SC2034 # variables for the scripts that source it
# The install log written byte by byte, for the scenarios that need a log no
# writer makes (records cut short, bytes of no record kind between them) and
# as the format's bytes the installlog tool is checked against. Sourced after
# the harness, it takes the place of its log_* functions: the magic, a line
# end, then records of one kind byte and their fields; an integer is 4 bytes
# little-endian, a string is its length as an integer and its Windows-1252
# bytes.

E2E_LOG=""

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

