# Small packages: the programs that travel inside a package (the runtime, the
# engine library and its extension) are stripped after linking, and their
# debug information is kept beside them as <file>.debug, named in the stripped
# file's debug link, so that debuggers and crash reports still find it.
option(NORVANE_SPLIT_DEBUG "Strip the shipped programs, keeping their debug information beside them" ON)
find_program(NORVANE_OBJCOPY NAMES objcopy)

function(norvane_split_debug target)
  if(WIN32 OR NOT NORVANE_SPLIT_DEBUG OR NOT NORVANE_OBJCOPY)
    return()
  endif()
  add_custom_command(TARGET ${target} POST_BUILD
    COMMAND ${NORVANE_OBJCOPY} --only-keep-debug $<TARGET_FILE_NAME:${target}> $<TARGET_FILE_NAME:${target}>.debug
    COMMAND ${NORVANE_OBJCOPY} --strip-all --add-gnu-debuglink=$<TARGET_FILE_NAME:${target}>.debug
            $<TARGET_FILE_NAME:${target}>
    WORKING_DIRECTORY $<TARGET_FILE_DIR:${target}>
    COMMENT "Stripping ${target}; its debug information stays beside it (.debug)"
    VERBATIM)
endfunction()
