# The browser control's tests: a fake engine library that the control loads by
# path like the real one (and that the tests link to drive it), an engine
# library that lacks an entry, and the test programs, which need a display.
#
# The fake's completions "from the main loop" go through the toolkit's loop: a
# GLib idle source, or a message-only window on Windows. There its loader
# entries are __stdcall, exported under their plain names (--kill-at) as the
# control looks them up, and the library's own code is exported for the tests
# that link it (a library with explicit exports exports nothing else by
# itself); the static runtime libraries inside it stay its own.
if(TARGET norvane_EdgeEx)
  set(NORVANE_FAKE_ENGINE_DIR ${CMAKE_SOURCE_DIR}/tests/fakeengine)
  if(WIN32)
    set(NORVANE_FAKE_ENGINE_UI_LOOP ${NORVANE_FAKE_ENGINE_DIR}/UiLoopWin32.cpp)
  else()
    set(NORVANE_FAKE_ENGINE_UI_LOOP ${NORVANE_FAKE_ENGINE_DIR}/UiLoopGlib.cpp)
  endif()
  add_library(norvane_fake_engine SHARED ${NORVANE_FAKE_ENGINE_DIR}/FakeEngine.cpp ${NORVANE_FAKE_ENGINE_DIR}/FakeEngine.h
                                         ${NORVANE_FAKE_ENGINE_DIR}/UiLoop.h ${NORVANE_FAKE_ENGINE_UI_LOOP})
  target_link_libraries(norvane_fake_engine PUBLIC norvane_includes PRIVATE norvane_warnings)

  add_library(norvane_fake_engine_without_version MODULE ${NORVANE_FAKE_ENGINE_DIR}/WithoutVersionEntry.cpp)
  target_link_libraries(norvane_fake_engine_without_version PRIVATE norvane_includes norvane_warnings)
  set_target_properties(norvane_fake_engine_without_version PROPERTIES CXX_VISIBILITY_PRESET hidden)

  if(WIN32)
    target_link_options(norvane_fake_engine PRIVATE -Wl,--kill-at -Wl,--export-all-symbols -Wl,--exclude-libs,libpthread.a:libgcc_eh.a)
    target_link_libraries(norvane_fake_engine PRIVATE user32)
    target_link_options(norvane_fake_engine_without_version PRIVATE -Wl,--kill-at)
  else()
    pkg_check_modules(NORVANE_FAKE_ENGINE_GLIB REQUIRED IMPORTED_TARGET glib-2.0)
    target_link_libraries(norvane_fake_engine PRIVATE PkgConfig::NORVANE_FAKE_ENGINE_GLIB)
    target_include_directories(norvane_fake_engine SYSTEM PRIVATE ${NORVANE_FAKE_ENGINE_GLIB_INCLUDE_DIRS})
  endif()

  set(NORVANE_EDGEEX_SUPPORT ${CMAKE_SOURCE_DIR}/tests/edgeex/EdgeExTestSupport.cpp
                             ${CMAKE_SOURCE_DIR}/tests/edgeex/TestProcess.cpp)
  add_executable(EdgeExTest ${CMAKE_SOURCE_DIR}/tests/edgeex/EdgeExTest.cpp
                            ${CMAKE_SOURCE_DIR}/tests/edgeex/EdgeExEventsTest.cpp
                            ${CMAKE_SOURCE_DIR}/tests/edgeex/EdgeExHostingTest.cpp ${NORVANE_EDGEEX_SUPPORT})
  add_executable(EdgeExLoaderTest ${CMAKE_SOURCE_DIR}/tests/edgeex/EdgeExLoaderTest.cpp ${NORVANE_EDGEEX_SUPPORT})
  foreach(test_name EdgeExTest EdgeExLoaderTest)
    target_link_libraries(${test_name} PRIVATE norvane_EdgeEx norvane_fake_engine norvane_test_support
                          GTest::gtest GTest::gmock norvane_warnings)
    target_compile_definitions(${test_name} PRIVATE
      NORVANE_FAKE_ENGINE="$<TARGET_FILE:norvane_fake_engine>"
      NORVANE_FAKE_ENGINE_WITHOUT_VERSION="$<TARGET_FILE:norvane_fake_engine_without_version>")
    add_dependencies(${test_name} norvane_fake_engine_without_version)
  endforeach()

  if(WIN32)
    # Each program is one test, run under wine by scripts/test-windows.sh. The
    # loader cases then share a process: the one that loads a library for good
    # comes last in its file, so the others still find nothing loaded.
    foreach(test_name EdgeExTest EdgeExLoaderTest)
      add_test(NAME ${test_name} COMMAND ${test_name})
      set_tests_properties(${test_name} PROPERTIES LABELS unit)
    endforeach()
  else()
    # One process for the control's tests, on a display of their own.
    add_test(NAME edgeex.EdgeExTest
             COMMAND bash ${CMAKE_SOURCE_DIR}/scripts/with-display.sh $<TARGET_FILE:EdgeExTest>)
    set_tests_properties(edgeex.EdgeExTest PROPERTIES LABELS unit RESOURCE_LOCK norvane_display TIMEOUT 600)
    # A process per loader test: a library once loaded stays for the run.
    set_target_properties(EdgeExLoaderTest PROPERTIES
                          CROSSCOMPILING_EMULATOR "bash;${CMAKE_SOURCE_DIR}/scripts/with-display.sh")
    gtest_discover_tests(EdgeExLoaderTest TEST_PREFIX edgeex.loader. DISCOVERY_TIMEOUT 120
                         PROPERTIES LABELS unit RESOURCE_LOCK norvane_display TIMEOUT 120)
  endif()
endif()

# The control against the real engine library of this project, when it is built.
if(NOT WIN32 AND TARGET norvane_EdgeEx AND TARGET norvane-engine)
  add_executable(EdgeExRealEngineTest ${CMAKE_SOURCE_DIR}/tests/edgeex/EdgeExRealEngineTest.cpp
                                      ${CMAKE_SOURCE_DIR}/tests/edgeex/EdgeExTestSupport.cpp
                                      ${CMAKE_SOURCE_DIR}/tests/edgeex/TestProcess.cpp)
  target_link_libraries(EdgeExRealEngineTest PRIVATE norvane_EdgeEx norvane_fake_engine norvane_test_support
                        GTest::gtest GTest::gmock norvane_warnings)
  target_compile_definitions(EdgeExRealEngineTest PRIVATE
    NORVANE_FAKE_ENGINE="$<TARGET_FILE:norvane_fake_engine>"
    NORVANE_REAL_ENGINE="$<TARGET_FILE:norvane-engine>")
  add_dependencies(EdgeExRealEngineTest norvane-engine)
  add_test(NAME edgeex.EdgeExRealEngineTest
           COMMAND bash ${CMAKE_SOURCE_DIR}/scripts/with-display.sh $<TARGET_FILE:EdgeExRealEngineTest>)
  set_tests_properties(edgeex.EdgeExRealEngineTest PROPERTIES LABELS engine RESOURCE_LOCK norvane_display TIMEOUT 300)
endif()
