# Writes the end-to-end test's 10 000 customer rows to OUT and removes the
# files of an earlier run.
#   cmake -DOUT=rows.csv -P make_customer_rows.cmake
include(${CMAKE_CURRENT_LIST_DIR}/customer_rows.cmake)
file(REMOVE CUSTOMER.BKF by_name.csv)
customer_rows(text)
file(WRITE "${OUT}" "${text}")
