# The start-up of the runtime: a probe program that runs the loader and prints
# what it left behind (packed like the runtime by the loader's unit test), the
# in-process tests of the start-up windows and dialogs, and the helpers of the
# end-to-end scripts tests/scripts/startup_*.sh (a GTK module that reports
# what the windows show, a close request as the close box sends it, and a
# drag source of files as a file manager offers them).
if(TARGET norvane-runtime AND TARGET norvane_ui)
  add_executable(startup_loader_probe ${CMAKE_SOURCE_DIR}/tests/startup/LoaderProbe.cpp)
  target_link_libraries(startup_loader_probe PRIVATE norvane_ExeZipLoader norvane_warnings)

  pkg_check_modules(NORVANE_STARTUP_TEST_LIBS REQUIRED IMPORTED_TARGET gtk+-3.0 x11 xtst xext)
  add_library(startup_widget_dump MODULE ${CMAKE_SOURCE_DIR}/tests/startup/WidgetDump.cpp)
  target_link_libraries(startup_widget_dump PRIVATE PkgConfig::NORVANE_STARTUP_TEST_LIBS)
  target_include_directories(startup_widget_dump SYSTEM PRIVATE ${NORVANE_STARTUP_TEST_LIBS_INCLUDE_DIRS})
  set_target_properties(startup_widget_dump PROPERTIES PREFIX "")
  # GTK_MODULES reaches WebKit's content processes too, which have no sanitizers.
  target_compile_options(startup_widget_dump PRIVATE -fno-sanitize=all)
  target_link_options(startup_widget_dump PRIVATE -fno-sanitize=all)
  add_executable(startup_xclose ${CMAKE_SOURCE_DIR}/tests/startup/XCloseWindow.cpp)
  target_link_libraries(startup_xclose PRIVATE PkgConfig::NORVANE_STARTUP_TEST_LIBS)
  add_executable(startup_drag_source ${CMAKE_SOURCE_DIR}/tests/startup/DragSource.cpp)
  target_link_libraries(startup_drag_source PRIVATE PkgConfig::NORVANE_STARTUP_TEST_LIBS norvane_warnings)
  target_include_directories(startup_drag_source SYSTEM PRIVATE ${NORVANE_STARTUP_TEST_LIBS_INCLUDE_DIRS})

  if(TARGET ExeZipLoaderTest)
    add_dependencies(ExeZipLoaderTest startup_loader_probe norvane-pack sysutils_engine_fixture
                     sysutils_engine_without_entry)
    target_compile_definitions(ExeZipLoaderTest PRIVATE
      STARTUP_LOADER_PROBE="$<TARGET_FILE:startup_loader_probe>"
      STARTUP_PACKER="$<TARGET_FILE:norvane-pack>"
      STARTUP_ENGINE_FIXTURE="$<TARGET_FILE:sysutils_engine_fixture>"
      STARTUP_ENGINE_WITHOUT_ENTRY="$<TARGET_FILE:sysutils_engine_without_entry>")
  endif()

  add_executable(StartupFormsTest ${CMAKE_SOURCE_DIR}/tests/startup/StartupFormsTest.cpp
                                  ${CMAKE_SOURCE_DIR}/tests/ui/UiTestSupport.cpp)
  target_include_directories(StartupFormsTest PRIVATE ${CMAKE_SOURCE_DIR}/tests/ui)
  target_link_libraries(StartupFormsTest PRIVATE norvane_LocalizedMessages norvane_EdgeInstallerForm
                        norvane_RequirePasswordForm norvane_test_support PkgConfig::NORVANE_STARTUP_TEST_LIBS
                        GTest::gtest GTest::gmock norvane_warnings)
  target_include_directories(StartupFormsTest SYSTEM PRIVATE ${NORVANE_STARTUP_TEST_LIBS_INCLUDE_DIRS})
  add_test(NAME startup.StartupFormsTest
           COMMAND bash ${CMAKE_SOURCE_DIR}/scripts/with-display.sh $<TARGET_FILE:StartupFormsTest>)
  set_tests_properties(startup.StartupFormsTest PROPERTIES LABELS ui RESOURCE_LOCK norvane_display TIMEOUT 300)

  # The end-to-end scripts drive windows with real input: one at a time on the display.
  foreach(script startup_payload startup_password startup_instances startup_engine)
    if(TEST script.${script})
      set_tests_properties(script.${script} PROPERTIES RESOURCE_LOCK norvane_display)
    endif()
  endforeach()
  add_custom_target(startup_test_programs DEPENDS norvane-runtime norvane-pack startup_loader_probe
                    startup_widget_dump startup_xclose startup_drag_source sysutils_engine_fixture sysutils_engine_without_entry
                    StartupFormsTest)
endif()

# The start program of the runtime and its loading of the runtime library.
if(TARGET norvane_start)
  add_library(library_image_fixture MODULE ${CMAKE_SOURCE_DIR}/tests/fixtures/Start/ImageFixture.cpp)
  target_link_libraries(library_image_fixture PRIVATE norvane_warnings)
  add_executable(LibraryImageTest ${CMAKE_SOURCE_DIR}/tests/startup/LibraryImageTest.cpp)
  target_link_libraries(LibraryImageTest PRIVATE norvane_start norvane_test_support GTest::gtest_main norvane_warnings)
  target_compile_definitions(LibraryImageTest PRIVATE
    LIBRARY_IMAGE_FIXTURE="$<TARGET_FILE:library_image_fixture>"
    RUNTIME_PROGRAM="$<TARGET_FILE:norvane-runtime>"
    RUNTIME_LIBRARY="$<TARGET_FILE:norvane-runtime-library>")
  add_dependencies(LibraryImageTest library_image_fixture norvane-runtime)
  gtest_discover_tests(LibraryImageTest DISCOVERY_TIMEOUT 60 PROPERTIES LABELS unit)
endif()
