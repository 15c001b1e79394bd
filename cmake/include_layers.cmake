# What each folder may include of ours, so that the layering of
# docs/architecture.md is a fact of the build:
#
#   base/                the text rules: nothing of ours but base/
#   runtime/ (the core)  base/ and runtime/, never the screen layer or the list view
#   runtime/qt/, runtime/listview/   base/ and runtime/
#   db/                  base/, the runtime core and db/
#   backup/              base/, the runtime core, db/ and backup/
#   reader/              base/ and reader/ (the card-reader library links no runtime)
#   sheet/engine/        base/ and the engine (no runtime)
#   sheet/print/         base/ and sheet/ (no runtime)
#   sheet/               base/, the runtime core and sheet/ but its printing
#   import/library/      base/, the runtime core and import/ (the learner import's library)
#   import/              base/, the engine, import/ and the learner record's vocabulary
#                        (app/learner.h, header-only), never the runtime
#   tools/               base/, the runtime core, db/, backup/, tools/, the engine (its safe
#                        file replacement), reader/ (sdtapi.ini as the reader reads it) and
#                        import/ (the bulk import) but its library, the learner's vocabulary
#                        and the operation log's format (app/learner.h, app/log_format.h)
#   app/ (the handlers)  app/ and the runtime core only
#   app/main.cpp, app/program.*, tools/screenshot.cpp   assemble the program: anything
#   app/leftovers.*      start-up's clean-up, which knows the engine's and the reader's file names
#   app/school_folder.*  the program's school folder: base/, the runtime core, db/, tools/ (it
#                        makes a new school as the admin tool does), the engine's safe file
#                        replacement (for jiaxiao.ini) and app/
#   tests/, bench/       anything
#
# An include is `#include "folder/..."`; system and library headers are not
# looked at. jx_check_include_layers() runs the check when the build is
# configured and adds a target that runs it again whenever a source changes;
# either stops with every include that breaks a rule.

# Rules: a path prefix of the including file | the prefixes it may include |
# those it may not include even so (prefixes separated by commas). The first
# rule whose prefix matches counts.
set(_JX_LAYER_RULES
  "app/main.cpp|*|"
  "app/program.|*|"
  "app/leftovers.|*|"
  "app/school_folder.|base/,runtime/,db/,tools/,sheet/engine/file_replacement.h,app/|runtime/qt/,runtime/listview/"
  "tools/screenshot.cpp|*|"
  "base/|base/|"
  "runtime/qt/|base/,runtime/|"
  "runtime/listview/|base/,runtime/|"
  "runtime/|base/,runtime/|runtime/qt/,runtime/listview/"
  "db/|base/,runtime/,db/|runtime/qt/,runtime/listview/"
  "backup/|base/,runtime/,db/,backup/|runtime/qt/,runtime/listview/"
  "reader/|base/,reader/|"
  "sheet/engine/|base/,sheet/engine/|"
  "sheet/print/|base/,sheet/|"
  "sheet/|base/,runtime/,sheet/|runtime/qt/,runtime/listview/,sheet/print/"
  "import/library/|base/,runtime/,import/,app/learner.h|runtime/qt/,runtime/listview/"
  "import/|base/,sheet/engine/,import/,app/learner.h|import/library/"
  "tools/|base/,runtime/,db/,backup/,tools/,sheet/engine/,reader/,import/,app/learner.h,app/log_format.h|runtime/qt/,runtime/listview/,import/library/"
  "app/|app/,runtime/|runtime/qt/,runtime/listview/")
set(_JX_LAYER_FOLDERS app backup base db import reader runtime sheet tools)

function(_jx_starts_with text prefixes out)
  set(${out} FALSE PARENT_SCOPE)
  foreach(prefix ${prefixes})
    string(LENGTH "${prefix}" length)
    string(SUBSTRING "${text}" 0 ${length} start)
    if(prefix STREQUAL "*" OR start STREQUAL prefix)
      set(${out} TRUE PARENT_SCOPE)
      return()
    endif()
  endforeach()
endfunction()

# The broken includes of the sources below `source_dir`, one line each.
function(_jx_layer_violations source_dir out)
  set(violations "")
  foreach(folder ${_JX_LAYER_FOLDERS})
    file(GLOB_RECURSE files RELATIVE ${source_dir} ${source_dir}/${folder}/*.h ${source_dir}/${folder}/*.cpp
         ${source_dir}/${folder}/*.c)
    foreach(file ${files})
      set(allowed "")
      set(denied "")
      foreach(rule ${_JX_LAYER_RULES})
        string(REGEX REPLACE "^([^|]*)\\|.*$" "\\1" prefix "${rule}")
        _jx_starts_with("${file}" "${prefix}" matches)
        if(matches)
          string(REGEX REPLACE "^[^|]*\\|([^|]*)\\|.*$" "\\1" allowed "${rule}")
          string(REGEX REPLACE "^[^|]*\\|[^|]*\\|(.*)$" "\\1" denied "${rule}")
          string(REPLACE "," ";" allowed "${allowed}")
          string(REPLACE "," ";" denied "${denied}")
          break()
        endif()
      endforeach()
      file(STRINGS ${source_dir}/${file} includes REGEX "^[ \t]*#[ \t]*include[ \t]*\"[a-z_]+/")
      foreach(line ${includes})
        string(REGEX REPLACE "^[^\"]*\"([^\"]+)\".*$" "\\1" included "${line}")
        _jx_starts_with("${included}" "${allowed}" may)
        _jx_starts_with("${included}" "${denied}" mayNot)
        if(NOT may OR mayNot)
          list(APPEND violations "${file} includes ${included}")
        endif()
      endforeach()
    endforeach()
  endforeach()
  set(${out} "${violations}" PARENT_SCOPE)
endfunction()

function(_jx_report_layer_violations source_dir)
  _jx_layer_violations(${source_dir} violations)
  if(violations)
    list(JOIN violations "\n  " text)
    message(FATAL_ERROR "includes across the layers (cmake/include_layers.cmake):\n  ${text}")
  endif()
endfunction()

if(CMAKE_SCRIPT_MODE_FILE)
  # cmake -DJX_SOURCE_DIR=... -DJX_STAMP=... -P cmake/include_layers.cmake
  _jx_report_layer_violations(${JX_SOURCE_DIR})
  file(TOUCH ${JX_STAMP})
  return()
endif()

function(jx_check_include_layers)
  _jx_report_layer_violations(${CMAKE_SOURCE_DIR})
  set(sources "")
  foreach(folder ${_JX_LAYER_FOLDERS})
    file(GLOB_RECURSE found CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/${folder}/*.h ${CMAKE_SOURCE_DIR}/${folder}/*.cpp
         ${CMAKE_SOURCE_DIR}/${folder}/*.c)
    list(APPEND sources ${found})
  endforeach()
  set(stamp ${CMAKE_BINARY_DIR}/include_layers.stamp)
  add_custom_command(
    OUTPUT ${stamp}
    COMMAND ${CMAKE_COMMAND} -DJX_SOURCE_DIR=${CMAKE_SOURCE_DIR} -DJX_STAMP=${stamp} -P
            ${CMAKE_SOURCE_DIR}/cmake/include_layers.cmake
    DEPENDS ${sources} ${CMAKE_SOURCE_DIR}/cmake/include_layers.cmake
    COMMENT "Checking the include layers"
    VERBATIM)
  add_custom_target(include_layers ALL DEPENDS ${stamp})
endfunction()
