# Installation as a desktop suite and the Debian package "zel-suite".
#   <prefix>/lib/zel/      the program folder: every program and companion file (help pages)
#   <prefix>/bin/          links to the programs a person starts (the link is resolved, so each
#                          program still finds its program folder)
#   <prefix>/share/...     desktop entries, hicolor SVG icons, the .zpl MIME type
#   <prefix>/lib/systemd/system/zelpoll.service
include_guard(GLOBAL)

set(ZEL_PROGRAM_DIR "lib/zel")
set(ZEL_PROGRAM_FOLDER "${CMAKE_INSTALL_PREFIX}/${ZEL_PROGRAM_DIR}")
set(ZEL_BIN_FOLDER "${CMAKE_INSTALL_PREFIX}/bin")

# Companion files of the program folder, copied beside the programs of the build as well.
set(ZEL_COMPANION_FILES ${CMAKE_SOURCE_DIR}/docs/help/ZEL.html ${CMAKE_SOURCE_DIR}/docs/help/ZELQplot.html)
file(GLOB ZEL_HELP_PICTURES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/docs/help/*.png)
foreach(f ${ZEL_COMPANION_FILES} ${ZEL_HELP_PICTURES})
  get_filename_component(_n ${f} NAME)
  configure_file(${f} ${CMAKE_RUNTIME_OUTPUT_DIRECTORY}/${_n} COPYONLY)
endforeach()

# Every program of the program folder: the executables of the tree that land in build/bin,
# except the benchmarks (tests and fuzz targets have folders of their own).
function(_zel_collect_programs dir out)
  set(_found)
  get_property(_targets DIRECTORY ${dir} PROPERTY BUILDSYSTEM_TARGETS)
  foreach(t ${_targets})
    get_target_property(_type ${t} TYPE)
    get_target_property(_rod ${t} RUNTIME_OUTPUT_DIRECTORY)
    if(_type STREQUAL "EXECUTABLE" AND (NOT _rod OR _rod STREQUAL CMAKE_RUNTIME_OUTPUT_DIRECTORY))
      list(APPEND _found ${t})
    endif()
  endforeach()
  get_property(_subdirs DIRECTORY ${dir} PROPERTY SUBDIRECTORIES)
  foreach(d ${_subdirs})
    if(NOT d MATCHES "/bench$")
      _zel_collect_programs(${d} _sub)
      list(APPEND _found ${_sub})
    endif()
  endforeach()
  set(${out} ${_found} PARENT_SCOPE)
endfunction()
_zel_collect_programs(${CMAKE_SOURCE_DIR} ZEL_PROGRAMS)
install(TARGETS ${ZEL_PROGRAMS} RUNTIME DESTINATION ${ZEL_PROGRAM_DIR})
install(FILES ${ZEL_COMPANION_FILES} ${ZEL_HELP_PICTURES} DESTINATION ${ZEL_PROGRAM_DIR})

# Links for the programs a person starts.
set(_links ${CMAKE_BINARY_DIR}/install-links)
file(REMOVE_RECURSE ${_links})
file(MAKE_DIRECTORY ${_links})
foreach(p ZelOXM ZelQplot zelpoll zelsim zelreport zelsetup zelevents Vantel)
  if(TARGET ${p})
    file(CREATE_LINK ../${ZEL_PROGRAM_DIR}/${p} ${_links}/${p} SYMBOLIC)
    install(FILES ${_links}/${p} DESTINATION bin)
  endif()
endforeach()

install(FILES ${CMAKE_SOURCE_DIR}/dist/zel-oxm.desktop ${CMAKE_SOURCE_DIR}/dist/zel-qplot.desktop
        DESTINATION share/applications)
install(FILES ${CMAKE_SOURCE_DIR}/dist/icons/zel-oxm.svg ${CMAKE_SOURCE_DIR}/dist/icons/zel-qplot.svg
        DESTINATION share/icons/hicolor/scalable/apps)
install(FILES ${CMAKE_SOURCE_DIR}/dist/zel-suite-mime.xml DESTINATION share/mime/packages
        RENAME zel-suite.xml)
configure_file(${CMAKE_SOURCE_DIR}/dist/zelpoll.service.in ${CMAKE_BINARY_DIR}/zelpoll.service @ONLY)
install(FILES ${CMAKE_BINARY_DIR}/zelpoll.service DESTINATION lib/systemd/system)
install(FILES ${CMAKE_SOURCE_DIR}/README.md DESTINATION share/doc/zel-suite)

if(ZEL_TESTS)
  # The desktop entries pass the validator (desktop-file-utils); skipped where it is missing.
  find_program(ZEL_DESKTOP_FILE_VALIDATE desktop-file-validate)
  add_test(NAME desktop_entries_validate
           COMMAND sh -c "command -v desktop-file-validate >/dev/null || exit 77; desktop-file-validate \"$0\" \"$1\""
                   ${CMAKE_SOURCE_DIR}/dist/zel-oxm.desktop ${CMAKE_SOURCE_DIR}/dist/zel-qplot.desktop)
  set_tests_properties(desktop_entries_validate PROPERTIES SKIP_RETURN_CODE 77)
  # cmake --install into a temporary prefix: programs in lib/zel, resolving links in bin, the
  # program folder found through a link, zel.dat by the writability rule.
  add_test(NAME install_tree
           COMMAND bash ${CMAKE_SOURCE_DIR}/scripts/check-install ${CMAKE_BINARY_DIR})
  set_tests_properties(install_tree PROPERTIES TIMEOUT 300)
endif()

# The Debian package: scripts/package builds it (release build, prefix /usr).
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME zel-suite)
set(CPACK_PACKAGE_VERSION 1.0.0)
set(CPACK_PACKAGE_VENDOR "ZEL suite")
set(CPACK_PACKAGE_CONTACT "ZEL suite maintainers <zel-suite@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Station suite for railway wayside event recorders")
set(CPACK_PACKAGE_DESCRIPTION "Polls wayside event recorders over modem, serial line or TCP/IP, files their event records and setup databases, and turns them into reports and plots; setup editors, converters, a terminal and a recorder simulator.")
set(CPACK_DEBIAN_PACKAGE_SECTION misc)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Loaded at run time, so dpkg-shlibdeps cannot see them: the Qt platform plugins, the fonts,
# the desktop's opener.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, fonts-dejavu-core, xdg-utils")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "xterm | x-terminal-emulator")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
include(CPack)
