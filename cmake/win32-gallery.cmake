# The test window of the Windows renderer (tests/wine/gallery): the Windows
# backend and the component layer without the program itself, with the
# program's resources (manifest, image strips). Built with the Windows
# preset, never shipped; the Wine test wine.controls runs it.
set(gallery_backend ${win32_src})
list(FILTER gallery_backend EXCLUDE REGEX "/WinMain\\.cpp$")
add_executable(ondrel-gallery WIN32 ${CMAKE_SOURCE_DIR}/tests/wine/gallery/Gallery.cpp ${gallery_backend}
               ${CMAKE_BINARY_DIR}/generated/Ondrel.rc)
target_include_directories(ondrel-gallery PRIVATE ${CMAKE_SOURCE_DIR}/res)
target_link_libraries(ondrel-gallery PRIVATE ondrel_logic ${ONDREL_WIN32_LIBS})
if(NOT MSVC)
  target_link_options(ondrel-gallery PRIVATE -static -static-libgcc -static-libstdc++)
endif()
