# The launcher of a Windows tree other than the shipping one: the executable
# that the win32-release preset builds in its own tree (BRISK_SHIPPING_TREE),
# with its own flags, so that the bytes that ship are the bytes that are
# tested. `launcher` and `launcher_page_aligned` are imported targets for its
# two executables; whatever uses them first brings that tree up to date (and
# configures it with the preset on first use), so this tree builds on its own.
set(BRISK_SHIPPING_TREE ${PROJECT_SOURCE_DIR}/build/win32-release CACHE PATH
    "Build tree of the win32-release preset, whose launcher this tree embeds, tests and measures")
set(BRISK_SHIPPING_JOBS 2 CACHE STRING "Parallel jobs when this tree builds the shipping launcher")

# brisk_shipping_executable(TARGET [ALL]): ALL makes it part of every build.
function(brisk_shipping_executable target)
  set(executable ${BRISK_SHIPPING_TREE}/core/${target}.exe)
  # Always run: the shipping tree's own build knows when it is up to date.
  # Both targets are in the console pool, so they never build that tree at once.
  add_custom_target(${target}_shipping_build ${ARGN}
    COMMAND ${CMAKE_COMMAND} -DSOURCE_DIR=${PROJECT_SOURCE_DIR} -DTREE=${BRISK_SHIPPING_TREE}
            -DTARGET=${target} -DJOBS=${BRISK_SHIPPING_JOBS}
            -P ${PROJECT_SOURCE_DIR}/cmake/build_shipping_launcher.cmake
    BYPRODUCTS ${executable}
    COMMENT "Building the shipping ${target} in ${BRISK_SHIPPING_TREE}"
    USES_TERMINAL
    VERBATIM)
  add_executable(${target} IMPORTED GLOBAL)
  set_target_properties(${target} PROPERTIES IMPORTED_LOCATION ${executable})
  add_dependencies(${target} ${target}_shipping_build)
endfunction()

brisk_shipping_executable(launcher ALL)
brisk_shipping_executable(launcher_page_aligned)
