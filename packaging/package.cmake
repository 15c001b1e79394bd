# The Debian package: `cmake --build build/release --target package` writes
# jiaxiao_<version>_amd64.deb into the build folder from the release build
# (CPack's DEB generator). Contents:
#   /usr/lib/jiaxiao/       the program and the card-reader library it loads
#   /usr/bin/               jiaxiao (a link to the program), jiaxiao-admin,
#                           jiaxiao-reader-sim
#   /usr/share/...          the menu entry, the icon, the AppStream metainfo,
#                           manual pages made from the programs' own --help,
#                           copyright and changelog
# Nothing outside /usr and no maintainer scripts: installing, upgrading,
# removing or purging never touches a school folder under a home folder.
#
# The version is the project's; packaging/changelog must start with it.

set(JX_PACKAGING_DIR ${CMAKE_CURRENT_LIST_DIR})
set(JX_PACKAGING_OUT ${CMAKE_BINARY_DIR}/packaging)

# Who publishes the package: a school's packager sets these to its own.
set(JX_APP_ID "org.example.jiaxiao" CACHE STRING "AppStream component id (reverse domain name of the publisher)")
set(JX_PROJECT_URL "https://jiaxiao.example.org/" CACHE STRING "Home page; the screenshot is at screenshots/main-window.png below it")
set(JX_PACKAGE_DEVELOPER "jiaxiao developers" CACHE STRING "Developer named in the AppStream metainfo")

# What the program needs at run time that dpkg-shlibdeps cannot see in its
# ELF files. The X11 platform plugin and the image and print plugins come
# with the Qt libraries shlibdeps finds; Qt's Chinese texts (standard dialog
# buttons, calendars) and the fonts for Chinese text do not. The fonts
# covering rare characters (CJK Extensions A and B) belong in this list too.
set(JX_PACKAGE_FONTS fonts-wqy-microhei)
set(JX_PACKAGE_RUNTIME_DEPENDS qt6-translations-l10n ${JX_PACKAGE_FONTS})
# Wayland sessions run the program natively with Qt's Wayland plugin (else
# through XWayland); exported workbooks open with the desktop's program.
set(JX_PACKAGE_RECOMMENDS qt6-wayland xdg-utils)

find_program(JX_HELP2MAN help2man)
find_program(JX_RSVG_CONVERT rsvg-convert)
find_program(JX_PARSECHANGELOG dpkg-parsechangelog)
find_program(JX_GZIP gzip)
if(NOT JX_HELP2MAN OR NOT JX_RSVG_CONVERT OR NOT JX_PARSECHANGELOG OR NOT JX_GZIP)
  message(STATUS "No Debian package target: it needs help2man, rsvg-convert (librsvg2-bin), dpkg-dev and gzip "
                 "(.ci/install-deps installs them)")
  return()
endif()

# --- the changelog: version check, release date and maintainer ---
function(jx_changelog_field field variable)
  execute_process(COMMAND ${JX_PARSECHANGELOG} -l ${JX_PACKAGING_DIR}/changelog -S ${field}
                  OUTPUT_VARIABLE value OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
  set(${variable} "${value}" PARENT_SCOPE)
endfunction()
jx_changelog_field(Version JX_CHANGELOG_VERSION)
jx_changelog_field(Maintainer JX_PACKAGE_MAINTAINER)
jx_changelog_field(Timestamp JX_RELEASE_TIMESTAMP)
if(NOT JX_CHANGELOG_VERSION STREQUAL PROJECT_VERSION)
  message(FATAL_ERROR "packaging/changelog starts with version ${JX_CHANGELOG_VERSION}, the project is "
                      "${PROJECT_VERSION}: add an entry for the new version")
endif()
execute_process(COMMAND date -u -d @${JX_RELEASE_TIMESTAMP} +%Y-%m-%d OUTPUT_VARIABLE JX_RELEASE_DATE
                OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
file(MAKE_DIRECTORY ${JX_PACKAGING_OUT})
configure_file(${JX_PACKAGING_DIR}/jiaxiao.metainfo.xml.in ${JX_PACKAGING_OUT}/${JX_APP_ID}.metainfo.xml @ONLY)

# --- files made at build time: manual pages, icons, the compressed changelog ---
set(JX_PACKAGE_PROGRAMS jiaxiao jiaxiao-admin jiaxiao-reader-sim)
set(JX_PACKAGE_MADE)
foreach(program ${JX_PACKAGE_PROGRAMS})
  set(page ${JX_PACKAGING_OUT}/${program}.1)
  add_custom_command(
    OUTPUT ${page}.gz
    COMMAND ${CMAKE_COMMAND} -E env SOURCE_DATE_EPOCH=${JX_RELEASE_TIMESTAMP}
            ${JX_HELP2MAN} --no-info --locale=C.UTF-8 --section=1 --version-string=${PROJECT_VERSION}
            --source=jiaxiao --manual=jiaxiao --include=${JX_PACKAGING_DIR}/man/${program}.h2m --output=${page}
            $<TARGET_FILE:${program}>
    COMMAND ${JX_GZIP} -9nf ${page}
    DEPENDS ${program} ${JX_PACKAGING_DIR}/man/${program}.h2m
    COMMENT "Manual page of ${program} from its --help"
    VERBATIM)
  list(APPEND JX_PACKAGE_MADE ${page}.gz)
endforeach()
set(JX_ICON_SIZES 16 22 24 32 48 64 128 256)
foreach(size ${JX_ICON_SIZES})
  set(icon ${JX_PACKAGING_OUT}/icons/${size}x${size}/jiaxiao.png)
  add_custom_command(
    OUTPUT ${icon}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${JX_PACKAGING_OUT}/icons/${size}x${size}
    COMMAND ${JX_RSVG_CONVERT} --width=${size} --height=${size} --output=${icon} ${JX_PACKAGING_DIR}/jiaxiao.svg
    DEPENDS ${JX_PACKAGING_DIR}/jiaxiao.svg
    VERBATIM)
  list(APPEND JX_PACKAGE_MADE ${icon})
endforeach()
add_custom_command(
  OUTPUT ${JX_PACKAGING_OUT}/changelog.gz
  COMMAND ${JX_GZIP} -9nc ${JX_PACKAGING_DIR}/changelog > ${JX_PACKAGING_OUT}/changelog.gz
  DEPENDS ${JX_PACKAGING_DIR}/changelog)
list(APPEND JX_PACKAGE_MADE ${JX_PACKAGING_OUT}/changelog.gz)
add_custom_target(jx_package_files ALL DEPENDS ${JX_PACKAGE_MADE})
# /usr/bin/jiaxiao starts the program in /usr/lib/jiaxiao, whose folder holds
# no school: it works in the user's school folder.
file(CREATE_LINK ../lib/jiaxiao/jiaxiao ${JX_PACKAGING_OUT}/jiaxiao SYMBOLIC)

# --- what goes where ---
install(TARGETS jiaxiao RUNTIME DESTINATION lib/jiaxiao)
install(TARGETS sdtapi LIBRARY DESTINATION lib/jiaxiao PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
install(TARGETS jiaxiao-admin jiaxiao-reader-sim RUNTIME DESTINATION bin)
install(FILES ${JX_PACKAGING_OUT}/jiaxiao DESTINATION bin)
install(FILES ${JX_PACKAGING_DIR}/jiaxiao.desktop DESTINATION share/applications)
install(FILES ${JX_PACKAGING_OUT}/${JX_APP_ID}.metainfo.xml DESTINATION share/metainfo)
install(FILES ${JX_PACKAGING_DIR}/jiaxiao.svg DESTINATION share/icons/hicolor/scalable/apps)
foreach(size ${JX_ICON_SIZES})
  install(FILES ${JX_PACKAGING_OUT}/icons/${size}x${size}/jiaxiao.png DESTINATION share/icons/hicolor/${size}x${size}/apps)
endforeach()
foreach(program ${JX_PACKAGE_PROGRAMS})
  install(FILES ${JX_PACKAGING_OUT}/${program}.1.gz DESTINATION share/man/man1)
endforeach()
install(FILES ${JX_PACKAGING_DIR}/copyright ${JX_PACKAGING_OUT}/changelog.gz DESTINATION share/doc/jiaxiao)

# --- the package ---
list(JOIN JX_PACKAGE_RUNTIME_DEPENDS ", " JX_PACKAGE_DEPENDS_TEXT)
list(JOIN JX_PACKAGE_RECOMMENDS ", " JX_PACKAGE_RECOMMENDS_TEXT)
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME jiaxiao)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "${JX_PACKAGE_MAINTAINER}")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
                                                WORLD_READ WORLD_EXECUTE)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "driving-school records manager")
set(CPACK_PACKAGE_DESCRIPTION
    "The office of a driving school registers learner drivers (typed or read
from their identity cards), searches and changes the registry, books the
exams of the four licence subjects and records their results, exports lists
to spreadsheet workbooks and prints registration forms.
.
Each school's records live in a folder of the user's, made at the first
start: an encrypted records file for one desk, or a PostgreSQL database
shared by several desks. The admin tool jiaxiao-admin makes, checks and
moves school folders.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${JX_PACKAGE_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SECTION misc)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "${JX_PROJECT_URL}")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "${JX_PACKAGE_DEPENDS_TEXT}")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "${JX_PACKAGE_RECOMMENDS_TEXT}")
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)
set(CPACK_POST_BUILD_SCRIPTS ${JX_PACKAGING_DIR}/without_scripts.cmake)
include(CPack)
