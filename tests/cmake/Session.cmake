# The program that tests/scripts/session_dbus.sh drives against a private bus;
# the script ends with 77 (skipped) only when python3-dbusmock is missing.
add_executable(session_probe ${CMAKE_SOURCE_DIR}/tests/fixtures/Session/SessionProbe.cpp)
target_link_libraries(session_probe PRIVATE norvane_platform norvane_warnings)
set_tests_properties(script.session_dbus PROPERTIES SKIP_RETURN_CODE 77)
