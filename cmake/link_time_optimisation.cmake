# Link-time optimisation of the release build. A list fill calls small
# routines of several libraries millions of times; optimising at link time
# lets the programs inline across them.
#
# Only what a school runs (the program, the admin tool, the reader library
# and its simulator) and the benchmarks that measure it are linked that way:
# jx_optimise_at_link(target) marks one. With GCC every object carries the
# compiler's intermediate code beside its machine code (fat objects), so the
# test programs link the machine code as it stands. Linking every test
# program with link-time optimisation compiled the whole program again for
# each of them, a fifth of a cold release build's time, for tests that check
# behaviour, not speed.
#
# Other compilers get CMake's own link-time optimisation for every target.

set(JX_LTO_COMPILE_OPTIONS "")
set(JX_LTO_LINK_OPTIONS "")
if(NOT JX_SANITIZE AND CMAKE_BUILD_TYPE STREQUAL "Release")
  include(CheckIPOSupported)
  check_ipo_supported(RESULT JX_LTO_SUPPORTED OUTPUT JX_LTO_OUTPUT LANGUAGES C CXX)
  if(JX_LTO_SUPPORTED AND CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_C_COMPILER_ID STREQUAL "GNU")
    set(JX_LTO_COMPILE_OPTIONS -flto=auto -ffat-lto-objects)
    set(JX_LTO_LINK_OPTIONS -flto=auto)
    add_compile_options(${JX_LTO_COMPILE_OPTIONS})
    # Archives indexed by GCC's own archiver, as CMake does for its own
    # link-time optimisation.
    set(CMAKE_AR "${CMAKE_CXX_COMPILER_AR}")
    set(CMAKE_RANLIB "${CMAKE_CXX_COMPILER_RANLIB}")
  elseif(JX_LTO_SUPPORTED)
    set(CMAKE_INTERPROCEDURAL_OPTIMIZATION ON)
  endif()
endif()

function(jx_optimise_at_link target)
  if(JX_LTO_LINK_OPTIONS)
    target_link_options(${target} PRIVATE ${JX_LTO_LINK_OPTIONS})
  endif()
endfunction()

# A folder of test programs (tests/): compiled without the intermediate code
# and linked without link-time optimisation. GCC's linker plugin would
# otherwise find the intermediate code in the fat objects and optimise the
# whole program at link time all the same.
function(jx_without_link_time_optimisation)
  if(JX_LTO_COMPILE_OPTIONS)
    get_directory_property(options COMPILE_OPTIONS)
    list(REMOVE_ITEM options ${JX_LTO_COMPILE_OPTIONS})
    set_directory_properties(PROPERTIES COMPILE_OPTIONS "${options}")
    add_link_options(-fno-lto)
  endif()
endfunction()
