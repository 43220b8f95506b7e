# GoogleTest: the system package natively; on Windows built from Debian's
# source copy, since no MinGW build of it is packaged.
if(WIN32)
  set(gtest_disable_pthreads OFF CACHE BOOL "" FORCE)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
  add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
else()
  find_package(GTest REQUIRED)
endif()

# One test executable, run by ctest as one process (under Wine: one Wine start).
function(osprel_add_test name)
  add_executable(${name} ${ARGN} $<$<BOOL:${WIN32}>:${PROJECT_SOURCE_DIR}/tests/support/debug_output.cpp>)
  target_link_libraries(${name} PRIVATE osprel_flags GTest::gtest GTest::gtest_main)
  add_test(NAME ${name} COMMAND ${name})
endfunction()
