# Nested directories go deepest first, with the missing levels between; a directory holding an unlisted folder stays
app_dir 'C:\Apps\Setup'
make_file 'C:\Apps\Tool\tool.exe'
make_file 'C:\Apps\Tool\data\img\a.png'
make_file 'C:\Apps\Tool\data\img\b.png'
make_file 'C:\Apps\Tool\docs\deep\er\manual.txt'
make_file 'C:\Apps\Other\x.txt'
make_dir 'C:\Apps\Other\unlisted'
log_app '%currentdir%' 'Tool' '' ''
log_file '' 'C:\Apps\Tool\tool.exe' 0
log_file '' 'C:\Apps\Tool\data\img\a.png' 0
log_file '' 'C:\Apps\Tool\data\img\b.png' 0
log_file '' 'C:\Apps\Tool\docs\deep\er\manual.txt' 0
log_file '' 'C:\Apps\Other\x.txt' 0
write_log

expect_window shown
expect_box Uninstall 36 "$(text_confirm Tool)" yes
expect_box Uninstall 64 "$TEXT_REMOVED" ok
run_uninstall

# Tool\ and everything below it is gone, and the uninstaller's own Setup\
# after it; C:\Apps\ was never a candidate; Other\ still holds an empty
# folder the log does not name.
expect_tree 'C:\Apps' Other/ Other/unlisted/
