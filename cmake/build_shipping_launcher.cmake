# Brings one target of the shipping launcher's tree up to date, configuring
# the tree with the win32-release preset first when it is not yet; or, with
# PRESET, one target of the tree of that preset.
#   cmake -DSOURCE_DIR=... -DTREE=... -DTARGET=launcher -DJOBS=2 [-DPRESET=win32] -P build_shipping_launcher.cmake
if(NOT PRESET)
  set(PRESET win32-release)
endif()
# A tree configured before the compilers' thread model was a setting of the
# presets (BRISK_MINGW_THREADS) keeps the compilers it found then: it is
# configured afresh, so that it takes the preset's.
set(configure FALSE)
set(fresh)
if(NOT EXISTS "${TREE}/CMakeCache.txt")
  set(configure TRUE)
else()
  file(STRINGS "${TREE}/CMakeCache.txt" thread_model REGEX "^BRISK_MINGW_THREADS:")
  if(NOT thread_model)
    set(configure TRUE)
    set(fresh --fresh)
  endif()
endif()
if(configure)
  execute_process(COMMAND ${CMAKE_COMMAND} ${fresh} --preset ${PRESET} -B ${TREE}
                  WORKING_DIRECTORY ${SOURCE_DIR}
                  RESULT_VARIABLE result)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "configuring the tree ${TREE} (preset ${PRESET}) failed")
  endif()
endif()
execute_process(COMMAND ${CMAKE_COMMAND} --build ${TREE} --target ${TARGET} -j ${JOBS}
                RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "building ${TARGET} in the tree ${TREE} failed")
endif()
