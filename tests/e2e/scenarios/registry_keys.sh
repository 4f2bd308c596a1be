# Registry keys go deepest first, with the missing levels between; a key with an unlisted subkey stays
app_dir 'C:\Program Files\Sample'
reg_key HKLM 'Software\Sample\App\Sub\Deep'
reg_key HKLM 'Software\Sample\App\Other'
reg_key HKCU 'Software\Sample\Prefs'
reg_key HKCU 'Software\Sample\Kept\Unlisted'
reg_key HKCR 'Sample.Document\shell\open'
log_app '%currentdir%' 'Sample' '' ''
log_reg HKLM 'Software\Sample\App\'
log_reg HKLM 'Software\Sample\App\Other'
log_reg HKLM 'Software\Sample\App\Sub\Deep\'
log_reg HKCU 'Software\Sample\Prefs\'
log_reg HKCU 'Software\Sample\Kept\'
log_reg HKCR 'Sample.Document\shell\open'
log_reg HKCR 'Sample.Document\'
write_log

expect_window shown
expect_box Uninstall 36 "$(text_confirm Sample)" yes
expect_box Uninstall 64 "$TEXT_REMOVED" ok
run_uninstall

# App\Sub\ was added between App\ and App\Sub\Deep\, so App\ could go.
expect_no_key HKLM 'Software\Sample\App'
expect_key HKLM 'Software\Sample'
expect_no_key HKCU 'Software\Sample\Prefs'
expect_key HKCU 'Software\Sample\Kept'
expect_key HKCU 'Software\Sample\Kept\Unlisted'
# Sample.Document\shell\ was added between the two listed keys.
expect_no_key HKCR 'Sample.Document'
expect_key HKCU 'Software\Wine'
