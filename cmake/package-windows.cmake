# The Windows package: both programs and the README in one ZIP file, named
# after the programs' width: Vexaro-<version>-win32.zip from build/mingw,
# Vexaro-<version>-win64.zip from build/mingw64.
#   cpack --config build/mingw/CPackConfig.cmake
install(TARGETS Vexaro vexaro-list RUNTIME DESTINATION .)
install(FILES ${PROJECT_SOURCE_DIR}/README.md DESTINATION .)

set(CPACK_GENERATOR ZIP)
set(CPACK_PACKAGE_NAME Vexaro)
set(CPACK_PACKAGE_VENDOR Vexaro)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
  set(CPACK_PACKAGE_FILE_NAME Vexaro-${PROJECT_VERSION}-win64)
else()
  set(CPACK_PACKAGE_FILE_NAME Vexaro-${PROJECT_VERSION}-win32)
endif()
set(CPACK_STRIP_FILES TRUE)
include(CPack)
