# Runs the tool and checks both its exit status and its output, so that one
# start of the program (slow under Wine) tests a message and a status.
#   cmake -DEMULATOR=... -DEXE=... -DARGS="a|b|c" -DSTATUS=1 -DEXPECT=regex -P expect_run.cmake
string(REPLACE "|" ";" args "${ARGS}")
set(command ${EXE} ${args})
if(EMULATOR)
  set(command ${EMULATOR} ${command})
endif()
execute_process(COMMAND ${command} RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)
set(all "${out}${err}")
if(NOT status STREQUAL STATUS)
  message(FATAL_ERROR "exit status ${status}, expected ${STATUS}; output:\n${all}")
endif()
if(NOT all MATCHES "${EXPECT}")
  message(FATAL_ERROR "output does not match '${EXPECT}':\n${all}")
endif()
