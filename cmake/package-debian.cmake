# The Debian package: both programs, the desktop entry, the icons and the
# manual pages. scripts/package makes it; by hand:
#   cpack --config build/deb/CPackConfig.cmake -B build/package
include(GNUInstallDirs)
install(TARGETS vexaro-list RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

# Manual pages go in gzipped, as Debian keeps them; -n leaves out the time
# stamp so that the same page gives the same package.
set(VEXARO_MAN_PAGES vexaro-list.1)
if(VEXARO_QT)
  list(APPEND VEXARO_MAN_PAGES vexaro.1)
endif()
# vexaro_gzip(SOURCE GZIPPED): GZIPPED is made from SOURCE at build time.
function(vexaro_gzip source gzipped)
  get_filename_component(copy ${gzipped} NAME_WLE)
  get_filename_component(dir ${gzipped} DIRECTORY)
  add_custom_command(OUTPUT ${gzipped}
    COMMAND ${CMAKE_COMMAND} -E copy ${source} ${dir}/${copy}
    COMMAND gzip -9nf ${dir}/${copy}
    DEPENDS ${source}
    VERBATIM)
endfunction()

set(gzipped_pages "")
foreach(page IN LISTS VEXARO_MAN_PAGES)
  vexaro_gzip(${PROJECT_SOURCE_DIR}/man/${page} ${CMAKE_BINARY_DIR}/man/${page}.gz)
  list(APPEND gzipped_pages ${CMAKE_BINARY_DIR}/man/${page}.gz)
endforeach()
vexaro_gzip(${PROJECT_SOURCE_DIR}/packaging/changelog ${CMAKE_BINARY_DIR}/doc/changelog.gz)
add_custom_target(gzipped_docs ALL DEPENDS ${gzipped_pages} ${CMAKE_BINARY_DIR}/doc/changelog.gz)
install(FILES ${gzipped_pages} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${PROJECT_SOURCE_DIR}/packaging/copyright ${CMAKE_BINARY_DIR}/doc/changelog.gz
        DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/vexaro)

set(VEXARO_MAINTAINER "Vexaro maintainers <maintainers@users.noreply.c-seed-259a45d8.example>"
    CACHE STRING "The Maintainer field of the Debian package")

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME vexaro)
set(CPACK_PACKAGE_VENDOR Vexaro)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES TRUE)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)  # vexaro_1.0.0_amd64.deb
set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${VEXARO_MAINTAINER})
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The dependencies are whatever libraries the programs link, as
# dpkg-shlibdeps finds them.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
"list every file below chosen folders on the clipboard
Vexaro writes a plain-text listing of every file below the folders you
choose: a header block per folder (date and time, volume label, path, free
and total disk space), then one line per file with its creation date and
size, in CSV or plain form, sorted. The window puts the listing on the
clipboard; vexaro-list writes the same listing on the command line, for
scripts and huge trees.")
include(CPack)
