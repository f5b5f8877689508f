# The launcher as it ships (preset win32-release, build type MinSizeRel: -Os).
# Every function and object gets its own section, so that the linker drops
# what nothing reaches; link-time optimisation drops the unreached code inside
# each file, which section garbage collection cannot do on this target (the
# PE linker script keeps every .eh_frame, and with it each function that has
# unwind information). The image is stripped and asks for ASLR and DEP; the
# linker writes its checksum. tests/shipping checks all of it.
if(NOT WIN32 OR NOT CMAKE_SIZEOF_VOID_P EQUAL 4)
  message(FATAL_ERROR "BRISK_SHIPPING builds the 32-bit Windows launcher: use the win32-release preset")
endif()

include(CheckIPOSupported)
check_ipo_supported(RESULT brisk_lto_supported OUTPUT brisk_lto_output LANGUAGES C CXX)
if(NOT brisk_lto_supported)
  message(FATAL_ERROR "link-time optimisation is not available: ${brisk_lto_output}")
endif()
set(CMAKE_INTERPROCEDURAL_OPTIMIZATION ON)

set(brisk_section_options -ffunction-sections -fdata-sections)
add_compile_options(${brisk_section_options})
# The link step compiles the whole program, so it needs the section options
# too. It does so in one partition: GCC 12 for mingw-w64 fails with an
# internal error (in binds_to_current_def_p) when it splits the program.
add_link_options(${brisk_section_options} -flto-partition=one
                 -s -Wl,--gc-sections -Wl,--dynamicbase -Wl,--nxcompat)
