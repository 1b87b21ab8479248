# The Windows package: both programs and the README in one ZIP file.
#   cpack --config build/mingw/CPackConfig.cmake
install(TARGETS Vexaro vexaro-list RUNTIME DESTINATION .)
install(FILES ${PROJECT_SOURCE_DIR}/README.md DESTINATION .)

set(CPACK_GENERATOR ZIP)
set(CPACK_PACKAGE_NAME Vexaro)
set(CPACK_PACKAGE_VENDOR Vexaro)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_FILE_NAME Vexaro-${PROJECT_VERSION}-win32)
set(CPACK_STRIP_FILES TRUE)
include(CPack)
