# Running Windows executables: under Wine in a private prefix of this build tree.
if(WIN32 AND CMAKE_CROSSCOMPILING)
  if(NOT DEFINED BRISK_WINEARCH)
    set(BRISK_WINEARCH win32)
  endif()
  set(BRISK_WINEPREFIX ${CMAKE_BINARY_DIR}/wineprefix)
  set(BRISK_WINE_PREFIX_SCRIPT ${PROJECT_SOURCE_DIR}/scripts/wine-prefix.sh)
  configure_file(${CMAKE_CURRENT_LIST_DIR}/wine-run.in ${CMAKE_BINARY_DIR}/wine-run @ONLY
                 FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_BINARY_DIR}/wine-run)
endif()

# A GoogleTest executable as tests. Natively each test case is its own ctest
# test; under Wine the whole executable is one test, since every Wine start
# costs far more than the tests themselves.
function(brisk_add_gtest target)
  cmake_parse_arguments(ARG "" "TIMEOUT" "LABELS" ${ARGN})
  if(NOT ARG_TIMEOUT)
    set(ARG_TIMEOUT 120)
  endif()
  if(CMAKE_CROSSCOMPILING)
    add_test(NAME ${target} COMMAND ${target} --gtest_brief=1)
    set_tests_properties(${target} PROPERTIES TIMEOUT ${ARG_TIMEOUT} LABELS "wine;${ARG_LABELS}")
  else()
    gtest_discover_tests(${target} DISCOVERY_MODE PRE_TEST
                         PROPERTIES TIMEOUT ${ARG_TIMEOUT} LABELS "${ARG_LABELS}")
  endif()
endfunction()
