# Application and file records cut short in each field: dropped whole, the complete records before them acted on
. "$here/broken_log_cases.sh"
register_cases cut_kind1_field1 cut_kind1_field2 cut_kind1_field3 cut_kind1_field4 \
  cut_kind2_field1 cut_kind2_field2 cut_kind2_field3

for field in 1 2 3 4; do cut_case 1 "$field"; done
for field in 1 2 3; do cut_case 2 "$field"; done
check_case_keys
