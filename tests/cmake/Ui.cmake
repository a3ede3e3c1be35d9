# The user-interface tests: programs of their own (tests/ui/*Test.cpp) run on a
# display (the current one, or a fresh Xvfb with a window manager), one at a
# time because they share the keyboard focus of that display.
if(NOT WIN32 AND TARGET norvane_ui)
  pkg_check_modules(NORVANE_UI_TEST_LIBS REQUIRED IMPORTED_TARGET gtk+-3.0 x11 xtst xext)
  file(GLOB NORVANE_UI_TESTS CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/ui/*Test.cpp)
  foreach(test_source ${NORVANE_UI_TESTS})
    get_filename_component(test_name ${test_source} NAME_WE)
    add_executable(${test_name} ${test_source} ${CMAKE_CURRENT_SOURCE_DIR}/ui/UiTestSupport.cpp)
    target_link_libraries(${test_name} PRIVATE norvane_win11forms norvane_ui norvane_test_support
                          PkgConfig::NORVANE_UI_TEST_LIBS GTest::gtest GTest::gmock norvane_warnings)
    target_include_directories(${test_name} SYSTEM PRIVATE ${NORVANE_UI_TEST_LIBS_INCLUDE_DIRS})
    add_test(NAME ui.${test_name}
             COMMAND bash ${CMAKE_SOURCE_DIR}/scripts/with-display.sh $<TARGET_FILE:${test_name}>)
    set_tests_properties(ui.${test_name} PROPERTIES LABELS ui RESOURCE_LOCK norvane_display TIMEOUT 300)
  endforeach()
  # Controls made without a display, before anything started the toolkit: a
  # program of its own, without the display set-up of the others.
  add_executable(UiNoDisplayTest ${CMAKE_CURRENT_SOURCE_DIR}/ui/UiNoDisplay.cpp)
  target_link_libraries(UiNoDisplayTest PRIVATE norvane_ui GTest::gtest_main norvane_warnings)
  add_test(NAME ui.UiNoDisplayTest COMMAND $<TARGET_FILE:UiNoDisplayTest>)
  set_tests_properties(ui.UiNoDisplayTest PROPERTIES LABELS ui TIMEOUT 60)
  add_executable(UiDemo ${CMAKE_CURRENT_SOURCE_DIR}/ui/UiDemo.cpp)
  target_link_libraries(UiDemo PRIVATE norvane_win11forms norvane_ui norvane_warnings)
endif()
# The screenshot script opens windows on the same display.
if(TEST script.ui_screenshot)
  set_tests_properties(script.ui_screenshot PROPERTIES RESOURCE_LOCK norvane_display)
endif()
