# Tests of the pages' script library under Node's own test runner.
find_program(NORVANE_NODE node)
if(NORVANE_NODE)
  add_test(NAME js.qvx_library
           COMMAND ${NORVANE_NODE} --test ${CMAKE_SOURCE_DIR}/tests/js/qvx_library.test.mjs)
  set_tests_properties(js.qvx_library PROPERTIES LABELS js TIMEOUT 120)
else()
  message(STATUS "node not found: the script library tests are not registered")
endif()
