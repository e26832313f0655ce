# Shared build helpers for the subsystem folders.

# Our own warning level; third-party code (googletest) keeps its own.
function(kestrel_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Werror)
endfunction()

function(kestrel_add_googletest)
  set(src /usr/src/googletest)
  if(NOT EXISTS ${src}/CMakeLists.txt)
    message(FATAL_ERROR "googletest sources missing at ${src}: run scripts/setup.sh")
  endif()
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
  add_subdirectory(${src} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)
  if(WIN32)
    # gtest includes <chrono>, whose "µs" has no GBK form; its own literals stay UTF-8.
    target_compile_options(gtest PRIVATE -fexec-charset=UTF-8)
    target_compile_options(gtest_main PRIVATE -fexec-charset=UTF-8)
  endif()
endfunction()

# kestrel_add_test(<name> SOURCES ... [LIBS ...] [RESOURCES ...])
# One gtest executable per call, registered with CTest as one test. Windows
# executables run through the wine emulator of the toolchain file.
function(kestrel_add_test name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS;RESOURCES" ${ARGN})
  add_executable(${name} ${ARG_SOURCES} ${ARG_RESOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gtest_main)
  kestrel_warnings(${name})
  add_test(NAME ${name} COMMAND ${name})
  if(WIN32)
    set_tests_properties(${name} PROPERTIES LABELS windows)
  else()
    set_tests_properties(${name} PROPERTIES LABELS native)
  endif()
endfunction()
