# Runs a copy of the tool from a folder of its own with a brisken.ENV beside
# it, so the environment file reaches no other test.
#   cmake -DEMULATOR=... -DEXE=... -DDIR=... -P locale_run.cmake
file(REMOVE_RECURSE "${DIR}")
file(MAKE_DIRECTORY "${DIR}")
file(COPY "${EXE}" DESTINATION "${DIR}")
get_filename_component(name "${EXE}" NAME)
file(WRITE "${DIR}/brisken.ENV"
  "VELMONTH=Januar,Februar,M<228>rz,April,Mai,Juni,Juli,August,September,Oktober,November,Dezember\r\n"
  "VELMON=Jan,Feb,M<228>r,Apr,Mai,Jun,Jul,Aug,Sep,Okt,Nov,Dez\r\n")
set(command "${DIR}/${name}" eval "FORMAT(DATE(1,15,2020),@D4) & '/' & FORMAT(DATE(10,3,2020),@D3)")
if(EMULATOR)
  set(command ${EMULATOR} ${command})
endif()
execute_process(COMMAND ${command} RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(NOT status EQUAL 0 OR NOT out MATCHES "^Januar 15, 2020 */ *OKT  3,2020")
  message(FATAL_ERROR "status ${status}; output:\n${out}${err}")
endif()
