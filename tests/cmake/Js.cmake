# Tests of the pages' script library under Node's own test runner.
find_program(NORVANE_NODE node)
if(NORVANE_NODE)
  add_test(NAME js.qvx_library
           COMMAND ${NORVANE_NODE} --test ${CMAKE_SOURCE_DIR}/tests/js/qvx_library.test.mjs)
  set_tests_properties(js.qvx_library PROPERTIES LABELS js TIMEOUT 120 ENVIRONMENT
    "NORVANE_QVX_LIBRARY=${NORVANE_BRIDGE_GENERATED}/QVX_EXTERNAL_JAVASCRIPT.js;NORVANE_BRIDGE_TABLE=${NORVANE_BRIDGE_TABLE}")
else()
  message(STATUS "node not found: the script library tests are not registered")
endif()

# The reference page in docs/ is the one the function table gives.
add_test(NAME bridge.reference_page
         COMMAND ${CMAKE_COMMAND} -E compare_files ${NORVANE_BRIDGE_GENERATED}/BRIDGE.md
                 ${CMAKE_SOURCE_DIR}/docs/BRIDGE.md)
set_tests_properties(bridge.reference_page PROPERTIES LABELS js)
