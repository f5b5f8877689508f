# The launcher executable's size and the DLLs it imports.
#   cmake -DEXE=launcher.exe -DOBJDUMP=i686-w64-mingw32-objdump -P launcher_report.cmake
file(SIZE "${EXE}" size)
math(EXPR kib "(${size} + 512) / 1024")
execute_process(COMMAND ${OBJDUMP} -p "${EXE}" OUTPUT_VARIABLE dump RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "${OBJDUMP} -p ${EXE} failed")
endif()
string(REGEX MATCHALL "DLL Name: [^\n]+" imports "${dump}")
list(LENGTH imports count)
set(lines "== launcher executable: ${EXE}"
          "  size: ${size} bytes (${kib} KiB)"
          "  DLL imports (${count}):")
foreach(line IN LISTS imports)
  string(REPLACE "DLL Name: " "" dll "${line}")
  list(APPEND lines "    ${dll}")
endforeach()
foreach(line IN LISTS lines)
  execute_process(COMMAND ${CMAKE_COMMAND} -E echo "${line}")
endforeach()
