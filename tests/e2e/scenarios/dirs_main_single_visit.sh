# A main directory visited once loses its unlisted files but stays, as its listing was read before the deletion
app_dir 'C:\Sample'
make_file 'C:\Sample\App\app.exe'
make_file 'C:\Sample\App\user.log'
log_app '%currentdir%' 'Sample' 'C:\Sample\App\app.exe' ''
log_file '' 'C:\Sample\App\app.exe' 0
write_log

expect_window shown
expect_box Uninstall 36 "$(text_confirm Sample)" yes
expect_box Uninstall 64 "$TEXT_REMOVED" ok
run_uninstall

expect_tree 'C:\Sample' App/
