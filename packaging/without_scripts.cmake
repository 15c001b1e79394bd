# Run by CPack once it has written the package (CPACK_POST_BUILD_SCRIPTS).
# CPack gives every package with a shared library below /usr/lib a postinst
# and a postrm that call ldconfig. The card-reader library in /usr/lib/jiaxiao
# is opened by its path, never through the loader's cache, so the package is
# rebuilt without them: installing, upgrading, removing and purging it run no
# script at all. Scripts that do more than call ldconfig stop the build.
foreach(package IN LISTS CPACK_PACKAGE_FILES)
  if(NOT package MATCHES "\\.deb$")
    continue()
  endif()
  set(tree ${package}.tree)
  file(REMOVE_RECURSE ${tree})
  execute_process(COMMAND dpkg-deb --raw-extract ${package} ${tree} COMMAND_ERROR_IS_FATAL ANY)
  foreach(script postinst postrm)
    if(NOT EXISTS ${tree}/DEBIAN/${script})
      continue()
    endif()
    file(STRINGS ${tree}/DEBIAN/${script} lines)
    foreach(line IN LISTS lines)
      if(NOT line MATCHES "^(#!/bin/sh|set -e|if \\[ \"\\$1\" = \"(configure|remove)\" \\]; then|[ \t]*ldconfig|fi|[ \t]*)$")
        message(FATAL_ERROR "The package's ${script} does more than call ldconfig: ${line}")
      endif()
    endforeach()
    file(REMOVE ${tree}/DEBIAN/${script})
  endforeach()
  execute_process(COMMAND dpkg-deb --root-owner-group -Zxz --build ${tree} ${package} OUTPUT_QUIET
                  COMMAND_ERROR_IS_FATAL ANY)
  file(REMOVE_RECURSE ${tree})
endforeach()
