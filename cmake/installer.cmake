# What a Windows user gets: Ondrel.exe without its debug information.
# Included from the Windows branch of CMakeLists.txt.

# ---- debug information ---------------------------------------------------------
# The program is built with debug information, which is then moved into a
# file of its own beside it: the shipped program stays small, and an address
# from a crash report can still be resolved with the debug file of the same
# build (the program names that file in its .gnu_debuglink section).
if(NOT MSVC AND CMAKE_OBJCOPY)
  target_compile_options(ondrel_logic PRIVATE -g)
  target_compile_options(Ondrel PRIVATE -g)
  set(ONDREL_DEBUG_FILE "$<TARGET_FILE_DIR:Ondrel>/${ONDREL_PRODUCT_NAME}.debug")
  add_custom_command(TARGET Ondrel POST_BUILD
    COMMAND ${CMAKE_OBJCOPY} --only-keep-debug $<TARGET_FILE:Ondrel> ${ONDREL_DEBUG_FILE}
    COMMAND ${CMAKE_OBJCOPY} --strip-all --add-gnu-debuglink=${ONDREL_DEBUG_FILE} $<TARGET_FILE:Ondrel>
    COMMENT "Moving the debug information of ${ONDREL_EXE_NAME} into ${ONDREL_PRODUCT_NAME}.debug"
    VERBATIM)
endif()
