# A list fill calls small routines of several libraries millions of times;
# link-time optimisation lets the release build inline across them.
#
# The objects carry machine code beside the intermediate code, so that a
# program nobody installs (the test programs, the screenshot tool) can link
# that machine code without optimising the whole program again: some twenty
# test programs each did, half the release build. jx_link_without_lto()
# makes the programs added after it in its folder (and the folders below)
# link so, with LLVM's linker, which reads only the machine code of the
# objects: GNU ld and gold, with GCC's plugin (which ld loads by itself),
# find every function of such an object defined twice. What a school
# installs links with link-time optimisation. Without lld, every program
# links with it, as before.
if(NOT JX_SANITIZE AND CMAKE_BUILD_TYPE STREQUAL "Release")
  include(CheckIPOSupported)
  check_ipo_supported(RESULT JX_LTO_SUPPORTED OUTPUT JX_LTO_OUTPUT LANGUAGES C CXX)
  if(JX_LTO_SUPPORTED)
    set(CMAKE_INTERPROCEDURAL_OPTIMIZATION ON)
    find_program(JX_LLD ld.lld)
    if(JX_LLD)
      set(CMAKE_C_COMPILE_OPTIONS_IPO -flto=auto -ffat-lto-objects)
      set(CMAKE_CXX_COMPILE_OPTIONS_IPO -flto=auto -ffat-lto-objects)
    endif()
  endif()
endif()

macro(jx_link_without_lto)
  if(CMAKE_INTERPROCEDURAL_OPTIMIZATION AND JX_LLD)
    set(CMAKE_INTERPROCEDURAL_OPTIMIZATION OFF)
    add_link_options(-fno-lto -fuse-ld=lld)
  endif()
endmacro()
