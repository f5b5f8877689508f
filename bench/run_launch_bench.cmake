# Runs launch_bench under Wine with Windows paths for the build tree's files.
#   cmake -DWINE_RUN=... -DLAUNCH_BENCH=... -DTOOL=... -DALIGNED=... -DHOST=... -DADDIN32=... [-DADDIN64=...]
#         -DINSTALL=... -DWORK=... -P run_launch_bench.cmake
# The environment variable BENCH_LAUNCHERS ("label=/path/launcher.exe", more
# separated by spaces) adds a build per launcher, measured in the same run.
if("$ENV{DISPLAY}" STREQUAL "")
  execute_process(COMMAND ${CMAKE_COMMAND} -E echo
                  "== launch: skipped, no display (scripts/bench.sh starts a virtual one)")
  return()
endif()

# Wine shows the build machine's root as drive Z:.
function(wine_path variable unix_path)
  string(REPLACE "/" "\\" path "${unix_path}")
  set(${variable} "Z:${path}" PARENT_SCOPE)
endfunction()

foreach(name TOOL ALIGNED HOST ADDIN32 INSTALL WORK)
  wine_path(${name}_WIN "${${name}}")
endforeach()
set(extra_launchers)
string(REPLACE " " ";" launchers "$ENV{BENCH_LAUNCHERS}")
foreach(launcher IN LISTS launchers)
  if(NOT launcher MATCHES "^([^=]+)=(.+)$")
    message(FATAL_ERROR "BENCH_LAUNCHERS: ${launcher} is not label=path")
  endif()
  wine_path(launcher_win "${CMAKE_MATCH_2}")
  list(APPEND extra_launchers --launcher "${CMAKE_MATCH_1}=${launcher_win}")
endforeach()
# The benchmark's output goes through evict_pages.py, which answers its
# requests to drop the build's pages from the system's cache (the cold-cache
# row) and prints everything else.
find_program(PYTHON3 python3 REQUIRED)
set(common --tool ${TOOL_WIN} --aligned-launcher ${ALIGNED_WIN} --host ${HOST_WIN} --addin32 ${ADDIN32_WIN}
           --install ${INSTALL_WIN} --work ${WORK_WIN})
if(ADDIN64)
  wine_path(ADDIN64_WIN "${ADDIN64}")
  list(APPEND common --addin64 ${ADDIN64_WIN})
endif()
# The figures of record: a 64 MiB workbook, warm and cold.
execute_process(
  COMMAND ${WINE_RUN} ${LAUNCH_BENCH} ${common} --size-mib 64 --runs 5 --cold-cache 1 ${extra_launchers}
  COMMAND ${PYTHON3} ${CMAKE_CURRENT_LIST_DIR}/evict_pages.py
  RESULTS_VARIABLE results)
# The largest build the builder makes, with the page-aligned launcher only.
execute_process(
  COMMAND ${WINE_RUN} ${LAUNCH_BENCH} ${common} --size-mib 256 --runs 3 --aligned-only 1 --cold-cache 1
  COMMAND ${PYTHON3} ${CMAKE_CURRENT_LIST_DIR}/evict_pages.py
  RESULTS_VARIABLE large_results)
foreach(result IN LISTS results large_results)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "launch_bench could not run (${results}; ${large_results})")
  endif()
endforeach()
