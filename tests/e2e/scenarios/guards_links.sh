# A link in the application's folder to a folder the user owns: nothing through it is emptied, and the folder it leads to stays
# Wine cannot make junctions or symbolic links from a Windows program; a
# Unix symbolic link inside drive C: stands in for one. Shared\ leads to the
# public profile (a link in a middle component of the logged paths), Music\
# to the user's music folder (a link as the last component). Under Wine,
# removing a directory through such a link removes what it leads to; on
# Windows it removes the link itself.
app_dir 'C:\Apps\Sample'
make_file "$APP\\Sample.exe"
ln -s ../../users/Public "$APP_UNIX/Shared"
ln -s "../../users/$E2E_USER/Music" "$APP_UNIX/Music"
make_file 'C:\users\Public\Music\song-e2e.mp3'
make_file 'C:\users\Public\Music\unlisted-e2e.mp3'
make_file "$PROFILE_DIR\\Music\\track-e2e.mp3"
log_app '%currentdir%' 'Sample' '%currentdir%Shared\Music\song-e2e.mp3' ''
log_file '' '%currentdir%Shared\Music\song-e2e.mp3' 0
log_file '' '%currentdir%Music\track-e2e.mp3' 0
log_file '' '%currentdir%Sample.exe' 0
write_log
snapshot_drive_c before
uninstall_confirmed Sample
expect_missing 'C:\users\Public\Music\song-e2e.mp3'
expect_missing "$PROFILE_DIR\\Music\\track-e2e.mp3"
expect_exists 'C:\users\Public\Music\unlisted-e2e.mp3'
expect_exists "$PROFILE_DIR\\Music"
expect_drive_c_unchanged before 'C:\users\Public\Music\song-e2e.mp3' \
  "$PROFILE_DIR\\Music\\track-e2e.mp3" "$APP\\Sample.exe" "$APP\\Uninstall.exe" \
  "$APP\\Uninstall.dat"
