# Test helpers shared by the test folders.
include(GoogleTest)

set(BRISEL_GTEST_DIR /usr/src/googletest CACHE PATH "GoogleTest sources")

# Builds GoogleTest from source with the current compiler (MinGW or native).
macro(brisel_use_gtest)
  if(NOT TARGET gtest)
    set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
    set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
    add_subdirectory(${BRISEL_GTEST_DIR} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)
    add_library(brisel_testmain STATIC ${CMAKE_SOURCE_DIR}/tests/testmain.cpp)
    target_link_libraries(brisel_testmain PUBLIC gtest)
  endif()
endmacro()

# brisel_test(NAME SOURCES... [LIBS libs...] [TIMEOUT s] [PROPERTIES ...])
# A GoogleTest program whose tests are discovered when CTest runs them
# (under Wine through the emulator for the Windows build). Tests that open
# windows take RESOURCE_LOCK desktop: two window programs on one Wine desktop
# send each other activation messages, and one blocked on purpose stalls the other.
function(brisel_test name)
  cmake_parse_arguments(T "" "TIMEOUT" "LIBS;PROPERTIES" ${ARGN})
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 120)
  endif()
  brisel_use_gtest()
  add_executable(${name} ${T_UNPARSED_ARGUMENTS})
  target_link_libraries(${name} PRIVATE brisel_testmain ${T_LIBS})
  brisel_check_imports(${name})
  gtest_discover_tests(${name}
    DISCOVERY_MODE PRE_TEST
    DISCOVERY_TIMEOUT 300
    WORKING_DIRECTORY ${CMAKE_BINARY_DIR}/bin
    PROPERTIES TIMEOUT ${T_TIMEOUT} ${T_PROPERTIES})
endfunction()

# Checks after every link that a Windows binary imports only system libraries.
function(brisel_check_imports target)
  if(WIN32)
    add_custom_command(TARGET ${target} POST_BUILD
      COMMAND ${CMAKE_COMMAND} -DOBJDUMP=${CMAKE_OBJDUMP} -DFILE=$<TARGET_FILE:${target}>
              -P ${CMAKE_SOURCE_DIR}/cmake/checkimports.cmake
      VERBATIM)
  endif()
endfunction()

# A binary that ships: checked like every other, then its debug information
# moved into NAME.debug beside it, which the stripped file names in a debug
# link, so that a debugger still reads crashes of the shipped file.
function(brisel_ship target)
  brisel_check_imports(${target})
  if(WIN32)
    add_custom_command(TARGET ${target} POST_BUILD
      COMMAND ${CMAKE_OBJCOPY} --only-keep-debug $<TARGET_FILE:${target}> $<TARGET_FILE:${target}>.debug
      COMMAND ${CMAKE_STRIP} --strip-all $<TARGET_FILE:${target}>
      COMMAND ${CMAKE_OBJCOPY} --add-gnu-debuglink=$<TARGET_FILE:${target}>.debug $<TARGET_FILE:${target}>
      WORKING_DIRECTORY $<TARGET_FILE_DIR:${target}>
      VERBATIM)
  endif()
endfunction()
