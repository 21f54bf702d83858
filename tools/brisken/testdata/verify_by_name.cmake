# Checks that IN is, byte for byte, the export in CUS:BYNAME order of the rows
# that make_customer_rows.cmake wrote.
#   cmake -DIN=by_name.csv -P verify_by_name.cmake
include(${CMAKE_CURRENT_LIST_DIR}/customer_rows.cmake)
customer_rows(expected BY_NAME)
# Compared as files: file(READ) would turn CR LF into LF.
file(WRITE "${IN}.expected" "${expected}")
execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files "${IN}" "${IN}.expected"
                RESULT_VARIABLE different)
if(different)
  message(FATAL_ERROR "${IN} is not the rows in name order (see ${IN}.expected)")
endif()
message(STATUS "${IN}: 10000 rows in name order")
