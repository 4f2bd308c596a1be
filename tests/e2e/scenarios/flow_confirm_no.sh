# No at the confirmation: no further message, nothing is removed
install_small_sample

expect_window shown
expect_box Uninstall 36 "$(text_confirm Sample)" no
run_uninstall

expect_small_sample_untouched
