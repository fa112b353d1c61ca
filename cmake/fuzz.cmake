# The fuzz targets (preset "fuzz": libFuzzer under AddressSanitizer) and the
# program that writes their seed corpus. Each target is also a test with the
# label "fuzz": it runs its seed corpus, then fuzzes for ONDREL_FUZZ_SECONDS.
# New inputs it finds go to build/fuzz/fuzz-corpus, findings to
# build/fuzz/fuzz-artifacts, never into the source tree. scripts/fuzz.sh runs
# the targets for longer.
add_executable(ondrel-fuzz-seeds ${CMAKE_SOURCE_DIR}/fuzz/make_seeds.cpp)
target_include_directories(ondrel-fuzz-seeds PRIVATE ${CMAKE_SOURCE_DIR}/fuzz)
target_link_libraries(ondrel-fuzz-seeds PRIVATE ondrel_sim)

option(ONDREL_FUZZ "Build the libFuzzer targets (clang)" OFF)
set(ONDREL_FUZZ_SECONDS 20 CACHE STRING "Seconds each fuzz target fuzzes in the test suite")
if(ONDREL_FUZZ)
  # Coverage for the fuzzer in the code under test; every program linking it
  # needs the sanitizer's runtime.
  foreach(lib ondrel_logic ondrel_sim ondrel_simtool)
    target_compile_options(${lib} PRIVATE -fsanitize=fuzzer-no-link,address -fno-omit-frame-pointer)
  endforeach()
  target_link_options(ondrel_logic INTERFACE -fsanitize=address)

  # name: seed folders (the corpus made for it under fuzz/corpus, and the
  # project's own files of that kind where they lie)
  set(fuzz_seeds_list_file fuzz/corpus/list_file)
  set(fuzz_seeds_lang_file lang)
  set(fuzz_seeds_format lang)
  set(fuzz_seeds_registry_file fuzz/corpus/registry_file examples)
  set(fuzz_seeds_scenario tests/scenarios examples)
  set(fuzz_seeds_dispparams fuzz/corpus/dispparams)
  add_custom_target(ondrel_fuzz)
  foreach(name list_file lang_file format registry_file scenario dispparams)
    add_executable(fuzz_${name} ${CMAKE_SOURCE_DIR}/fuzz/${name}.cpp)
    target_include_directories(fuzz_${name} PRIVATE ${CMAKE_SOURCE_DIR}/fuzz)
    target_link_libraries(fuzz_${name} PRIVATE ondrel_simtool)
    target_compile_options(fuzz_${name} PRIVATE -fsanitize=fuzzer,address -fno-omit-frame-pointer)
    target_link_options(fuzz_${name} PRIVATE -fsanitize=fuzzer,address)
    add_dependencies(ondrel_fuzz fuzz_${name})

    set(seeds "")
    foreach(dir IN LISTS fuzz_seeds_${name})
      list(APPEND seeds ${CMAKE_SOURCE_DIR}/${dir})
    endforeach()
    file(MAKE_DIRECTORY ${CMAKE_BINARY_DIR}/fuzz-corpus/${name} ${CMAKE_BINARY_DIR}/fuzz-artifacts)
    add_test(NAME fuzz.${name}
             COMMAND fuzz_${name} -max_total_time=${ONDREL_FUZZ_SECONDS} -timeout=10 -rss_limit_mb=2048
                     -print_final_stats=1 -artifact_prefix=${CMAKE_BINARY_DIR}/fuzz-artifacts/${name}-
                     ${CMAKE_BINARY_DIR}/fuzz-corpus/${name} ${seeds})
    math(EXPR limit "${ONDREL_FUZZ_SECONDS} + 300")
    set_tests_properties(fuzz.${name} PROPERTIES LABELS fuzz TIMEOUT ${limit})
    if(IS_DIRECTORY /dev/shm)  # the simulated drives are faster in memory
      set_tests_properties(fuzz.${name} PROPERTIES ENVIRONMENT TMPDIR=/dev/shm)
    endif()
  endforeach()
endif()
