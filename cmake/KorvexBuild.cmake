# Compiler settings shared by every target of the tree.
include_directories(${PROJECT_SOURCE_DIR})

add_compile_options(-Wall -Wextra -Wpedantic -Werror -Wno-missing-field-initializers)

if(WIN32)
  # One self-contained .exe: no mingw runtime DLLs beside it.
  add_compile_definitions(WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0601)
  add_link_options(-static -static-libgcc -static-libstdc++)
else()
  if(KORVEX_SANITIZE AND NOT KORVEX_FUZZ AND CMAKE_BUILD_TYPE STREQUAL "Debug")
    add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
    add_link_options(-fsanitize=address,undefined)
  endif()
endif()

if(KORVEX_FUZZ)
  # Coverage for libFuzzer plus the sanitizers that turn faults into findings.
  add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined)
endif()

# korvex_library(<name> DIR <folder> LIBS <libs...>)
# A library of every .cpp in one folder, except tests (*_test.cpp), the other
# platform's files (*_win32.cpp natively, *_posix.cpp for Windows) and mains.
function(korvex_library name)
  cmake_parse_arguments(L "" "DIR" "LIBS" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS ${L_DIR}/*.cpp)
  list(FILTER sources EXCLUDE REGEX "_test\\.cpp$|_main\\.cpp$")
  if(WIN32)
    list(FILTER sources EXCLUDE REGEX "_posix\\.cpp$")
  else()
    list(FILTER sources EXCLUDE REGEX "_win32\\.cpp$")
  endif()
  add_library(${name} STATIC ${sources})
  target_link_libraries(${name} PUBLIC ${L_LIBS})
endfunction()

# The *_test.cpp files of a folder, filtered by platform like the library.
function(korvex_test_sources out dir)
  file(GLOB tests CONFIGURE_DEPENDS ${dir}/*_test.cpp)
  if(WIN32)
    list(FILTER tests EXCLUDE REGEX "_posix_test\\.cpp$")
  else()
    list(FILTER tests EXCLUDE REGEX "_win32_test\\.cpp$")
  endif()
  set(${out} ${tests} PARENT_SCOPE)
endfunction()
