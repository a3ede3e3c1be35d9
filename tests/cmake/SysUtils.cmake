# Fixtures of the system utilities' tests: two stand-ins for the browser-engine
# loader library and a program that restarts itself.
add_library(sysutils_engine_fixture MODULE ${CMAKE_SOURCE_DIR}/tests/fixtures/SysUtils/EngineLoaderFixture.cpp)
add_library(sysutils_engine_without_entry MODULE
            ${CMAKE_SOURCE_DIR}/tests/fixtures/SysUtils/EngineLoaderWithoutEntry.cpp)
foreach(fixture sysutils_engine_fixture sysutils_engine_without_entry)
  target_link_libraries(${fixture} PRIVATE norvane_includes norvane_warnings)
  set_target_properties(${fixture} PROPERTIES PREFIX "" CXX_VISIBILITY_PRESET hidden)
endforeach()

add_executable(sysutils_restart_probe ${CMAKE_SOURCE_DIR}/tests/fixtures/SysUtils/RestartProbe.cpp)
target_link_libraries(sysutils_restart_probe PRIVATE norvane_SysUtils norvane_warnings)

if(TARGET SysUtilsTest)
  add_dependencies(SysUtilsTest sysutils_engine_fixture sysutils_engine_without_entry sysutils_restart_probe)
  target_compile_definitions(SysUtilsTest PRIVATE
    SYSUTILS_ENGINE_FIXTURE="$<TARGET_FILE:sysutils_engine_fixture>"
    SYSUTILS_ENGINE_WITHOUT_ENTRY="$<TARGET_FILE:sysutils_engine_without_entry>"
    SYSUTILS_RESTART_PROBE="$<TARGET_FILE:sysutils_restart_probe>")
endif()
