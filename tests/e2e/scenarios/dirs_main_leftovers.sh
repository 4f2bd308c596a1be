# The main directory inside the application's folder loses its unlisted files; visited twice, it is removed as well
app_dir 'C:\Sample'
make_file 'C:\Sample\App\app.exe'
make_file 'C:\Sample\App\app.dll'
make_file 'C:\Sample\App\user.log'
make_file 'C:\Sample\App\cache.tmp'
set_attr 'C:\Sample\App\cache.tmp' hidden
make_file 'C:\Sample\Lib\lib.dll'
make_file 'C:\Sample\Lib\leftover.txt'
log_app '%currentdir%' 'Sample' 'C:\Sample\App\app.exe' ''
log_file '' 'C:\Sample\App\app.exe' 0
log_file '' 'C:\Sample\App\app.dll' 0
log_file '' 'C:\Sample\Lib\lib.dll' 0
write_log

expect_window shown
expect_box Uninstall 36 "$(text_confirm Sample)" yes
expect_box Uninstall 64 "$TEXT_REMOVED" ok
run_uninstall

# App\ (the main directory, two logged files) is emptied and removed; Lib\
# is no main directory and keeps its unlisted file.
expect_tree 'C:\Sample' Lib/ Lib/leftover.txt
