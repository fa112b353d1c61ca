# The sanitizer build (preset "sanitize"): AddressSanitizer with leak checking
# and UndefinedBehaviorSanitizer, every report fatal, so that a test that
# passes here has touched no freed or foreign memory, leaked nothing and met
# no undefined behaviour. The test preset sets the runtime options.
option(ONDREL_SANITIZE "Build with AddressSanitizer and UndefinedBehaviorSanitizer" OFF)
if(ONDREL_SANITIZE)
  set(ONDREL_SANITIZE_FLAGS -fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
  add_compile_options(${ONDREL_SANITIZE_FLAGS})
  add_link_options(${ONDREL_SANITIZE_FLAGS})
endif()
