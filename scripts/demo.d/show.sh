# Part of scripts/demo (sourced by it after the Wine harness, scripts/lib/wine.sh): showing the machine before and after.
# shellcheck shell=bash disable=SC2034
# show_folder WINDIR: the folder's entries, folders with a trailing "\".
show_folder() {
  local win=$1 u
  u=$(unix_path "$win")
  if [ ! -d "$u" ]; then
    say "  $win\\  (not there)"
    return
  fi
  say "  $win\\"
  local type path size mode flag
  while IFS=$'\t' read -r type path size mode; do
    path=${path//\//\\}
    if [ "$type" = d ]; then
      say "      $path\\"
    else
      flag=''
      [ $((8#$mode & 8#222)) -eq 0 ] && flag='  read-only'
      printf '      %-34s %6s bytes%s\n' "$path" "$size" "$flag"
    fi
  done < <(cd "$u" && find . -mindepth 1 -printf '%y\t%P\t%s\t%m\n' | LC_ALL=C sort -f -t$'\t' -k2)
}

show_file() {
  if [ -e "$(unix_path "$1")" ]; then say "  $1"; else say "  $1  (not there)"; fi
}

show_key() {
  local out
  if out=$(wine_run 60 reg query "$1" /s 2>/dev/null); then
    printf '%s\n' "$out" | tr -d '\r' | sed '/^$/d; s/^/  /'
  else
    say "  $1  (not there)"
  fi
}

show_machine() {
  say "application folder:"
  show_folder "$APP"
  say "in the system folder:"
  show_file "$SYSDIR\\$SYSTEM_FILE"
  say "desktop:"
  show_folder "$DESKTOP_DIR"
  say "program group (Start menu):"
  show_folder "$PROGRAMS_DIR\\$APP_NAME"
  say "registry:"
  show_key "HKLM\\Software\\$APP_NAME"
  show_key "HKCU\\Software\\$APP_NAME"
  show_key "HKLM\\$OTHER_KEY"
  wine_stop
}

