# VEXARO_MANIFEST_ARCHITECTURE: the processor a Windows manifest names for the
# programs of this build (x86, amd64 or arm64). Windows refuses to start a
# program whose manifest names another one.
string(TOLOWER "${CMAKE_SYSTEM_PROCESSOR}" vexaro_processor)
if(vexaro_processor MATCHES "^(aarch64|arm64)$")
  set(VEXARO_MANIFEST_ARCHITECTURE arm64)
elseif(CMAKE_SIZEOF_VOID_P EQUAL 8)
  set(VEXARO_MANIFEST_ARCHITECTURE amd64)
else()
  set(VEXARO_MANIFEST_ARCHITECTURE x86)
endif()
