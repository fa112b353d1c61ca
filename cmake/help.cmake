# The help file: the pages in help/ compiled by chmcmd (Debian package
# fp-utils) into Ondrel.chm beside Ondrel.exe, where the tray menu's Help item
# looks for it. Included from the Windows branch of the top-level CMakeLists.
find_program(CHMCMD_EXECUTABLE chmcmd)
if(NOT CHMCMD_EXECUTABLE)
  message(FATAL_ERROR "chmcmd not found: the help file needs it (Debian package fp-utils; scripts/deps.sh all installs it)")
endif()

file(GLOB ONDREL_HELP_SOURCES CONFIGURE_DEPENDS
  ${CMAKE_SOURCE_DIR}/help/*.htm ${CMAKE_SOURCE_DIR}/help/*.css
  ${CMAKE_SOURCE_DIR}/help/*.hhp ${CMAKE_SOURCE_DIR}/help/*.hhc ${CMAKE_SOURCE_DIR}/help/*.hhk)

# chmcmd reads the pages beside the project file and writes the compiled file
# into its working folder. It works in a folder of its own and the result is
# copied only when it succeeded, so that a failed run never leaves a broken
# Ondrel.chm beside the program.
set(ONDREL_HELP_WORK ${CMAKE_BINARY_DIR}/help-build)
file(MAKE_DIRECTORY ${ONDREL_HELP_WORK})
add_custom_command(
  OUTPUT ${CMAKE_BINARY_DIR}/Ondrel.chm
  COMMAND ${CMAKE_COMMAND} -E rm -f Ondrel.chm
  COMMAND ${CHMCMD_EXECUTABLE} ${CMAKE_SOURCE_DIR}/help/Ondrel.hhp
  COMMAND ${CMAKE_COMMAND} -E copy Ondrel.chm ${CMAKE_BINARY_DIR}/Ondrel.chm
  WORKING_DIRECTORY ${ONDREL_HELP_WORK}
  DEPENDS ${ONDREL_HELP_SOURCES}
  COMMENT "Compiling the help file Ondrel.chm"
  VERBATIM)
add_custom_target(ondrel_help ALL DEPENDS ${CMAKE_BINARY_DIR}/Ondrel.chm)
