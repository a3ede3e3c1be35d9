# The window tests: the browser window, the bridge module and the main window
# over the fake engine library (loaded by path like the real one), with
# payload archives made by Info-ZIP zip. They need a display.
if(NOT WIN32 AND TARGET norvane_MainForm AND TARGET norvane_fake_engine)
  pkg_check_modules(NORVANE_WINDOWS_TEST_LIBS REQUIRED IMPORTED_TARGET gtk+-3.0 x11)
  add_executable(WindowsTest
    ${CMAKE_SOURCE_DIR}/tests/windows/WindowsTestMain.cpp
    ${CMAKE_SOURCE_DIR}/tests/windows/WindowsTestSupport.cpp
    ${CMAKE_SOURCE_DIR}/tests/windows/BrowserFormTest.cpp
    ${CMAKE_SOURCE_DIR}/tests/windows/BrowserExternalModuleTest.cpp
    ${CMAKE_SOURCE_DIR}/tests/windows/MainFormTest.cpp
    ${CMAKE_SOURCE_DIR}/tests/edgeex/EdgeExTestSupport.cpp
    ${CMAKE_SOURCE_DIR}/tests/edgeex/TestProcess.cpp)
  target_link_libraries(WindowsTest PRIVATE norvane_MainForm norvane_BrowserExternalModule norvane_BrowserForm
                        norvane_fake_engine norvane_test_support PkgConfig::NORVANE_WINDOWS_TEST_LIBS
                        GTest::gtest GTest::gmock norvane_warnings)
  target_include_directories(WindowsTest SYSTEM PRIVATE ${NORVANE_WINDOWS_TEST_LIBS_INCLUDE_DIRS})
  target_compile_definitions(WindowsTest PRIVATE
    NORVANE_FAKE_ENGINE="$<TARGET_FILE:norvane_fake_engine>"
    NORVANE_SOURCE_DIR="${CMAKE_SOURCE_DIR}")
  add_test(NAME windows.WindowsTest
           COMMAND bash ${CMAKE_SOURCE_DIR}/scripts/with-display.sh $<TARGET_FILE:WindowsTest>)
  set_tests_properties(windows.WindowsTest PROPERTIES LABELS unit RESOURCE_LOCK norvane_display TIMEOUT 600)
endif()

# On Windows the browser window's and the main window's cases, under wine by
# scripts/test-windows.sh (payloads written with libzip, the close box's
# command posted to the window). The bridge module's cases drive GTK's file
# choosers and stay Linux-only.
if(WIN32 AND TARGET norvane_MainForm AND TARGET norvane_fake_engine)
  add_executable(WindowsTest
    ${CMAKE_SOURCE_DIR}/tests/windows/WindowsTestMain.cpp
    ${CMAKE_SOURCE_DIR}/tests/windows/WindowsTestSupport.cpp
    ${CMAKE_SOURCE_DIR}/tests/windows/WindowsTestWin32.cpp
    ${CMAKE_SOURCE_DIR}/tests/windows/BrowserFormTest.cpp
    ${CMAKE_SOURCE_DIR}/tests/windows/MainFormTest.cpp
    ${CMAKE_SOURCE_DIR}/tests/edgeex/EdgeExTestSupport.cpp
    ${CMAKE_SOURCE_DIR}/tests/edgeex/TestProcess.cpp)
  target_link_libraries(WindowsTest PRIVATE norvane_MainForm norvane_BrowserForm norvane_fake_engine
                        norvane_test_support PkgConfig::LIBZIP GTest::gtest GTest::gmock norvane_warnings user32)
  target_compile_definitions(WindowsTest PRIVATE
    NORVANE_FAKE_ENGINE="$<TARGET_FILE:norvane_fake_engine>"
    NORVANE_SOURCE_DIR="${CMAKE_SOURCE_DIR}")
  # GCC 12's false -Wrestrict on a text joined with operator+ (its bug 105329),
  # which only the 32-bit build's inlining brings out.
  target_compile_options(WindowsTest PRIVATE -Wno-restrict)
  add_test(NAME WindowsTest COMMAND WindowsTest)
  set_tests_properties(WindowsTest PROPERTIES LABELS unit)
endif()
