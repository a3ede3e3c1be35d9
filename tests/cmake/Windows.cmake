# The window tests: the browser window, the bridge module and the main window
# over the fake engine library (loaded by path like the real one). They need a
# display. On Linux the payload archives are made by Info-ZIP zip; on Windows,
# run under wine by scripts/test-windows.sh, they are written with libzip and
# the close box's command is posted to the window, and the bridge module's
# cases, which drive GTK's file choosers, stay out.
if(TARGET norvane_MainForm AND TARGET norvane_fake_engine)
  add_executable(WindowsTest
    ${CMAKE_SOURCE_DIR}/tests/windows/WindowsTestMain.cpp
    ${CMAKE_SOURCE_DIR}/tests/windows/WindowsTestSupport.cpp
    ${CMAKE_SOURCE_DIR}/tests/windows/BrowserFormTest.cpp
    ${CMAKE_SOURCE_DIR}/tests/windows/MainFormTest.cpp
    ${CMAKE_SOURCE_DIR}/tests/edgeex/EdgeExTestSupport.cpp
    ${CMAKE_SOURCE_DIR}/tests/edgeex/TestProcess.cpp)
  target_link_libraries(WindowsTest PRIVATE norvane_MainForm norvane_BrowserForm norvane_fake_engine
                        norvane_test_support GTest::gtest GTest::gmock norvane_warnings)
  target_compile_definitions(WindowsTest PRIVATE
    NORVANE_FAKE_ENGINE="$<TARGET_FILE:norvane_fake_engine>"
    NORVANE_SOURCE_DIR="${CMAKE_SOURCE_DIR}" NORVANE_BINARY_DIR="${CMAKE_BINARY_DIR}")
  if(WIN32)
    target_sources(WindowsTest PRIVATE ${CMAKE_SOURCE_DIR}/tests/windows/WindowsTestWin32.cpp)
    target_link_libraries(WindowsTest PRIVATE PkgConfig::LIBZIP user32)
    # GCC 12's false -Wrestrict on a text joined with operator+ (its bug
    # 105329), which only the 32-bit build's inlining brings out.
    target_compile_options(WindowsTest PRIVATE -Wno-restrict)
    add_test(NAME WindowsTest COMMAND WindowsTest)
    set_tests_properties(WindowsTest PROPERTIES LABELS unit)
  else()
    pkg_check_modules(NORVANE_WINDOWS_TEST_LIBS REQUIRED IMPORTED_TARGET gtk+-3.0 x11)
    target_sources(WindowsTest PRIVATE ${CMAKE_SOURCE_DIR}/tests/windows/BrowserExternalModuleTest.cpp)
    target_link_libraries(WindowsTest PRIVATE norvane_BrowserExternalModule PkgConfig::NORVANE_WINDOWS_TEST_LIBS)
    target_include_directories(WindowsTest SYSTEM PRIVATE ${NORVANE_WINDOWS_TEST_LIBS_INCLUDE_DIRS})
    add_test(NAME windows.WindowsTest
             COMMAND bash ${CMAKE_SOURCE_DIR}/scripts/with-display.sh $<TARGET_FILE:WindowsTest>)
    set_tests_properties(windows.WindowsTest PROPERTIES LABELS unit RESOURCE_LOCK norvane_display TIMEOUT 600)
  endif()
endif()
