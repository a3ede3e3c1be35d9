# Embedding of resource files into a program.
#
#   norvane_embed_resources(<target> <name>=<file> [<name>=<file> ...])
#
# Adds to <target> a generated source file that holds the bytes of every file
# as a constexpr array, and the lookup
#
#   std::string_view Norvane::Shared::FindResource(std::string_view name);
#
# and the listing ResourceNames(prefix), declared in shared/Resources.h. A file
# may be the output of a build rule of the calling folder. Relative file names are taken from the
# calling folder. Names consist of letters, digits and "_", "-", "." and "/".
# The bytes are read when the target is built, so editing a resource file
# rebuilds the target. A target gets its resources from one call only, because
# the call defines the lookup.

set(NORVANE_EMBED_RESOURCE_SCRIPT ${CMAKE_CURRENT_LIST_DIR}/EmbedResourceFiles.cmake)
# The folder that holds shared/Resources.h.
get_filename_component(NORVANE_EMBED_RESOURCE_INCLUDE ${CMAKE_CURRENT_LIST_DIR}/.. ABSOLUTE)

function(norvane_embed_resources target)
  if(NOT TARGET ${target})
    message(FATAL_ERROR "norvane_embed_resources: ${target} is not a target")
  endif()
  get_target_property(done ${target} NORVANE_EMBEDDED_RESOURCES)
  if(done)
    message(FATAL_ERROR "norvane_embed_resources: ${target} already has its resources")
  endif()
  set_target_properties(${target} PROPERTIES NORVANE_EMBEDDED_RESOURCES ON)

  set(manifest "")
  set(files "")
  set(names "")
  foreach(pair IN LISTS ARGN)
    string(FIND "${pair}" "=" eq)
    if(eq LESS 1)
      message(FATAL_ERROR "norvane_embed_resources: '${pair}' is not <name>=<file>")
    endif()
    string(SUBSTRING "${pair}" 0 ${eq} name)
    math(EXPR rest "${eq} + 1")
    string(SUBSTRING "${pair}" ${rest} -1 file)
    if(NOT name MATCHES "^[A-Za-z0-9_./-]+$")
      message(FATAL_ERROR "norvane_embed_resources: resource name '${name}' has characters outside A-Z a-z 0-9 _ . / -")
    endif()
    if(name IN_LIST names)
      message(FATAL_ERROR "norvane_embed_resources: resource name '${name}' given twice")
    endif()
    list(APPEND names ${name})
    get_filename_component(file "${file}" ABSOLUTE BASE_DIR ${CMAKE_CURRENT_SOURCE_DIR})
    get_source_file_property(generated "${file}" GENERATED)
    if(NOT EXISTS "${file}" AND NOT generated)
      message(FATAL_ERROR "norvane_embed_resources: ${file} does not exist")
    endif()
    list(APPEND files "${file}")
    # One line per resource: the name, a tab, the file.
    string(APPEND manifest "${name}\t${file}\n")
  endforeach()

  set(dir ${CMAKE_CURRENT_BINARY_DIR}/embedded_resources)
  set(manifest_file ${dir}/${target}.manifest)
  set(output ${dir}/${target}_resources.cpp)
  # Written only when its text changes, so reconfiguring does not rebuild.
  file(CONFIGURE OUTPUT ${manifest_file} CONTENT "${manifest}" @ONLY)

  add_custom_command(
    OUTPUT ${output}
    COMMAND ${CMAKE_COMMAND} -DMANIFEST=${manifest_file} -DOUTPUT=${output} -P ${NORVANE_EMBED_RESOURCE_SCRIPT}
    DEPENDS ${manifest_file} ${files} ${NORVANE_EMBED_RESOURCE_SCRIPT}
    COMMENT "Embedding resources of ${target}"
    VERBATIM)
  target_sources(${target} PRIVATE ${output})
  target_include_directories(${target} PRIVATE ${NORVANE_EMBED_RESOURCE_INCLUDE})
endfunction()
