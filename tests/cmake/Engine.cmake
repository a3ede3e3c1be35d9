# Tests of the WebKitGTK engine library, loaded with dlopen from its file as
# the runtime loads it. They need a display: each group runs through
# scripts/with-display.sh, which uses the current display or starts Xvfb.
if(TARGET norvane-engine)
  pkg_check_modules(NORVANE_ENGINE_TEST_GTK REQUIRED IMPORTED_TARGET gtk+-3.0 gdk-pixbuf-2.0 x11 xtst)
  pkg_check_modules(NORVANE_ENGINE_TEST_WEBKIT REQUIRED webkit2gtk-4.1) # its version only; not linked

  add_library(norvane_engine_harness STATIC ${CMAKE_SOURCE_DIR}/tests/engine/EngineHarness.cpp
                                           ${CMAKE_SOURCE_DIR}/tests/engine/EngineInput.cpp)
  target_link_libraries(norvane_engine_harness PUBLIC norvane_includes PkgConfig::NORVANE_ENGINE_TEST_GTK
                        ${CMAKE_DL_LIBS} PRIVATE norvane_warnings)
  target_compile_definitions(norvane_engine_harness PRIVATE
    NORVANE_ENGINE_LIBRARY="$<TARGET_FILE:norvane-engine>")
  add_dependencies(norvane_engine_harness norvane-engine)

  add_executable(EngineTest ${CMAKE_SOURCE_DIR}/tests/engine/EngineTest.cpp)
  target_link_libraries(EngineTest PRIVATE norvane_engine_harness norvane_test_support GTest::gtest norvane_warnings)
  target_compile_definitions(EngineTest PRIVATE NORVANE_WEBKIT_VERSION="${NORVANE_ENGINE_TEST_WEBKIT_VERSION}"
    NORVANE_ENGINE_LIBRARY_FOR_TEST="$<TARGET_FILE:norvane-engine>")

  foreach(group Loader View Messages Requests Capture Process Input Storage)
    add_test(NAME engine.${group}
             COMMAND bash ${CMAKE_SOURCE_DIR}/scripts/with-display.sh $<TARGET_FILE:EngineTest>
                     --gtest_filter=Engine${group}.*)
    # One display at a time when each group starts its own (the display helper
    # picks a free number, which two starting at once can both pick).
    set_tests_properties(engine.${group} PROPERTIES LABELS engine TIMEOUT 300 RESOURCE_LOCK norvane_display)
  endforeach()
endif()

# The navigation tracker is plain bookkeeping: its test needs neither WebKit nor a display.
add_executable(NavigationTrackerTest ${CMAKE_SOURCE_DIR}/tests/engine/NavigationTrackerTest.cpp
                                     ${CMAKE_SOURCE_DIR}/engine/webkitgtk/NavigationTracker.cpp)
target_link_libraries(NavigationTrackerTest PRIVATE norvane_includes GTest::gtest_main norvane_warnings)
gtest_discover_tests(NavigationTrackerTest DISCOVERY_TIMEOUT 60 PROPERTIES LABELS unit)
