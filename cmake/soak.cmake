# The long virtual soak: ondrel-soak drives the program with a seeded random
# scenario and checks its invariants between commands. Under the sanitizer
# build the test suite soaks 24 virtual hours (label "soak").
add_executable(ondrel-soak ${CMAKE_SOURCE_DIR}/tools/soak/ondrel-soak.cpp)
target_link_libraries(ondrel-soak PRIVATE ondrel_simtool)
if(ONDREL_SANITIZE)
  add_test(NAME soak.24h COMMAND ondrel-soak --seed 1 --hours 24 --out ${CMAKE_BINARY_DIR}/soak-out)
  # The longest test: started first, so that it runs beside the others.
  set_tests_properties(soak.24h PROPERTIES LABELS soak TIMEOUT 1200 COST 10000)
endif()
