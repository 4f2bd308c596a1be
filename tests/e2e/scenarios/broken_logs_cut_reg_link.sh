# Registry key and link records cut short in each field: dropped whole, the complete records before them acted on
. "$here/broken_log_cases.sh"
register_cases cut_kind3_field1 cut_kind3_field2 cut_kind3_field3 cut_kind3_field4 \
  cut_kind4_field1 cut_kind4_field2 cut_kind4_field3

for field in 1 2 3 4; do cut_case 3 "$field"; done
for field in 1 2 3; do cut_case 4 "$field"; done
check_case_keys
