# A drive letter for a folder (as SUBST makes one): a guarded folder through it stays whole; the application's folder through it is its own
# Extra drive letters are links in the prefix's dosdevices folder.
ln -s ../drive_c/users/Public "$WINEPREFIX/dosdevices/s:"
ln -s ../drive_c/Apps "$WINEPREFIX/dosdevices/t:"
app_dir 'C:\Apps\Sample'
make_file "$APP\\Sample.exe"
make_file "$APP\\leftover.log"

make_file 'C:\users\Public\Music\song-e2e.mp3'
make_file 'C:\users\Public\Music\unlisted-e2e.mp3'
make_file 'C:\users\Public\Videos\clip-e2e.avi'
log_app '%currentdir%' 'Sample' 'S:\Music\song-e2e.mp3' ''
log_file '' 'S:\Music\song-e2e.mp3' 0
log_file '' 'S:\Videos\clip-e2e.avi' 0
log_file '' 'S:\planted-e2e.txt' 0
write_log
snapshot_drive_c before
uninstall_confirmed Sample
expect_missing 'C:\users\Public\Music\song-e2e.mp3'
expect_missing 'C:\users\Public\Videos\clip-e2e.avi'
expect_exists 'C:\users\Public\Music\unlisted-e2e.mp3'
expect_exists 'C:\users\Public\Videos'
expect_drive_c_unchanged before 'C:\users\Public\Music\song-e2e.mp3' \
  'C:\users\Public\Videos\clip-e2e.avi' "$APP"

reset_log
log_app '%currentdir%' 'Sample' 'T:\Sample\Sample.exe' ''
log_file '' 'T:\Sample\Sample.exe' 0
log_file '' 'T:\Sample\Uninstall.dat' 0
write_log
uninstall_confirmed Sample
expect_missing "$APP\\Sample.exe"
expect_missing "$APP\\leftover.log"
expect_exists 'C:\Apps'
