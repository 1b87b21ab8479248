# The Windows package: both programs, a README for Windows users and the
# licence in one ZIP file, named after the programs' width:
# Vexaro-<version>-win32.zip from build/mingw, Vexaro-<version>-win64.zip from
# build/mingw64.
#   cpack --config build/mingw/CPackConfig.cmake

# vexaro_windows_text(SOURCE OUTPUT [BOM]): SOURCE with its @VARIABLES@ filled
# in and CR LF line ends, which every Windows editor shows as lines; BOM puts
# the UTF-8 byte order mark first, without which Notepad before Windows 10
# (1903) reads the text in the ANSI code page.
function(vexaro_windows_text source output)
  configure_file(${source} ${output}.in @ONLY)
  file(READ ${output}.in text)
  string(REPLACE "\r\n" "\n" text "${text}")
  string(REPLACE "\n" "\r\n" text "${text}")
  set(bom "")
  if("BOM" IN_LIST ARGN)
    string(ASCII 239 187 191 bom)
  endif()
  file(WRITE ${output} "${bom}${text}")
endfunction()

vexaro_windows_text(${PROJECT_SOURCE_DIR}/packaging/windows/README.txt ${CMAKE_BINARY_DIR}/package-files/README.txt BOM)
vexaro_windows_text(${PROJECT_SOURCE_DIR}/LICENSE ${CMAKE_BINARY_DIR}/package-files/LICENSE.txt)

install(TARGETS Vexaro vexaro-list RUNTIME DESTINATION .)
install(FILES ${CMAKE_BINARY_DIR}/package-files/README.txt ${CMAKE_BINARY_DIR}/package-files/LICENSE.txt
        DESTINATION .)

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
