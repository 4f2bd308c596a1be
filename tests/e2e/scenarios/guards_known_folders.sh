# Files logged in the folders the system and the user own: the files go, the folders they leave empty stay
# The log names one file in each folder; the prefix's profile folders are
# empty otherwise, so the directory stage meets each of them empty.
app_dir 'C:\Apps\Sample'
make_file "$APP\\Sample.exe"
folders=(
  'C:\users' 'C:\users\Public' 'C:\users\Public\Music' 'C:\users\Public\Pictures'
  'C:\users\Public\Videos' 'C:\users\Public\Downloads' "$PROFILE_DIR"
  "$PROFILE_DIR\\Downloads" "$PROFILE_DIR\\Music" "$PROFILE_DIR\\Pictures"
  "$PROFILE_DIR\\Videos" "$PROFILE_DIR\\Favorites" "$PROFILE_DIR\\Links"
  "$PROFILE_DIR\\Saved Games" "$PROFILE_DIR\\Contacts" "$PROFILE_DIR\\Searches"
  "$PROFILE_DIR\\Temp" "$PROFILE_DIR\\AppData\\LocalLow" "$PROFILE_DIR\\AppData"
  "$PROGRAMS_DIR\\StartUp" 'C:\ProgramData\Microsoft\Windows\Start Menu\Programs\StartUp'
  "$PROFILE_DIR\\AppData\\Roaming\\Microsoft\\Windows\\SendTo"
  "$PROFILE_DIR\\AppData\\Roaming\\Microsoft\\Windows\\Templates"
  "$PROFILE_DIR\\AppData\\Roaming\\Microsoft\\Windows\\Recent"
  'C:\windows\Fonts' 'C:\windows\temp' 'C:\windows\Installer' 'C:\windows\inf'
  'C:\windows\system' "$SYSDIR\\drivers" "$SYSDIR\\drivers\\etc" "$DESKTOP_DIR"
  'C:\users\Public\Desktop' 'C:\ProgramData'
)
log_app '%currentdir%' 'Sample' '%currentdir%Sample.exe' ''
log_file '' '%currentdir%Sample.exe' 0
for dir in "${folders[@]}"; do
  make_file "$dir\\planted-e2e.txt"
  log_file '' "$dir\\planted-e2e.txt" 0
done
write_log
snapshot_drive_c before

uninstall_confirmed Sample

changed=("$APP")
for dir in "${folders[@]}"; do
  expect_missing "$dir\\planted-e2e.txt"
  expect_exists "$dir"
  changed+=("$dir\\planted-e2e.txt")
done
expect_drive_c_unchanged before "${changed[@]}"

# The uninstaller inside a guarded folder: that folder is its own, but it
# is never emptied of files no log names, nor removed.
reset_log
app_dir 'C:\users\Public\Music'
make_file "$APP\\Sample.exe"
make_file "$APP\\song.mp3"
log_app '%currentdir%' 'Sample' '%currentdir%Sample.exe' ''
log_file '' '%currentdir%Sample.exe' 0
write_log
uninstall_confirmed Sample
expect_tree "$APP" song.mp3
