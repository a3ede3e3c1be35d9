# The payload tests read the built runtime.
if(TARGET ExeUtilsTest AND TARGET norvane-runtime)
  add_dependencies(ExeUtilsTest norvane-runtime)
endif()
