# The packaged test application of tests/e2e end to end with the real engine
# (tests/scripts/app_*e2e.sh): it drives windows under X, so one at a time on
# the display. Build app_e2e_programs before running it.
foreach(name app_e2e app_busy_e2e app_develop_e2e app_watch_e2e app_origin_e2e app_boundary_e2e app_focus_e2e
             app_media_e2e app_menu_e2e app_window_e2e app_themes_e2e app_realapps_e2e
             app_process_e2e app_events_e2e app_fileio_e2e)
  if(TEST script.${name})
    set_tests_properties(script.${name} PROPERTIES LABELS "script;engine" RESOURCE_LOCK norvane_display TIMEOUT 300)
  endif()
endforeach()
# The real applications' one fetches npm's packages on its first run
# (scripts/fetch-realapps.sh): time for that too.
if(TEST script.app_realapps_e2e)
  set_tests_properties(script.app_realapps_e2e PROPERTIES TIMEOUT 600)
endif()
# tests/cmake/Startup.cmake, which defines startup_test_programs under this
# condition, is read after this file.
if(TARGET norvane-engine AND TARGET norvane-runtime AND TARGET norvane_ui)
  add_custom_target(app_e2e_programs)
  add_dependencies(app_e2e_programs norvane-engine startup_test_programs)
endif()
