# The test's stand-in for the shell's window list and the browser: a COM
# local server of its own, run only by the Wine test of the pop-up blocker
# (tests/wine/wine_popups.sh). Built beside Ondrel.exe, never installed.
file(GLOB wine_server_src CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/wine/comserver/*.cpp)
add_executable(OndrelTestServer ${wine_server_src})
target_compile_definitions(OndrelTestServer PRIVATE UNICODE _UNICODE)
target_link_libraries(OndrelTestServer PRIVATE ole32 oleaut32 uuid user32 gdi32)
if(NOT MSVC)
  # wmain, and no runtime DLLs to carry into the test's prefix.
  target_link_options(OndrelTestServer PRIVATE -municode -static -static-libgcc -static-libstdc++)
endif()
