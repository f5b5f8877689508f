# Brings one target of the shipping launcher's tree up to date, configuring
# the tree with the win32-release preset first when it is not yet.
#   cmake -DSOURCE_DIR=... -DTREE=... -DTARGET=launcher -DJOBS=2 -P build_shipping_launcher.cmake
if(NOT EXISTS "${TREE}/CMakeCache.txt")
  execute_process(COMMAND ${CMAKE_COMMAND} --preset win32-release -B ${TREE}
                  WORKING_DIRECTORY ${SOURCE_DIR}
                  RESULT_VARIABLE result)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "configuring the shipping launcher's tree ${TREE} failed")
  endif()
endif()
execute_process(COMMAND ${CMAKE_COMMAND} --build ${TREE} --target ${TARGET} -j ${JOBS}
                RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "building ${TARGET} in the shipping launcher's tree ${TREE} failed")
endif()
