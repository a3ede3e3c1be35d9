# Writes the source file of embedded resources (see EmbedResources.cmake).
# Run as: cmake -DMANIFEST=<file> -DOUTPUT=<file.cpp> -P EmbedResourceFiles.cmake
# The manifest holds one line per resource: its name, a tab and the file.

if(NOT MANIFEST OR NOT OUTPUT)
  message(FATAL_ERROR "EmbedResourceFiles.cmake needs -DMANIFEST=... and -DOUTPUT=...")
endif()

file(STRINGS ${MANIFEST} lines)
set(arrays "")
set(entries "")
set(index 0)
foreach(line IN LISTS lines)
  string(FIND "${line}" "\t" tab)
  string(SUBSTRING "${line}" 0 ${tab} name)
  math(EXPR rest "${tab} + 1")
  string(SUBSTRING "${line}" ${rest} -1 file)

  file(SIZE "${file}" size)
  file(READ "${file}" hex HEX)
  # 16 bytes to a line, each written 0xNN,
  string(REGEX REPLACE "([0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f])"
         "\\1\n    " hex "${hex}")
  string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
  # A terminating zero keeps empty files valid arrays; it is not part of the resource.
  string(APPEND arrays "// ${name}: ${file}\nconstexpr unsigned char Resource${index}[] = {\n    ${bytes}0x00};\n\n")
  string(APPEND entries "    TEmbeddedResource{\"${name}\", Resource${index}, ${size}u},\n")
  math(EXPR index "${index} + 1")
endforeach()

set(text "// Generated from ${MANIFEST}; do not edit.
#include \"shared/Resources.h\"

#include <array>
#include <cstddef>
#include <string>
#include <vector>

namespace {

${arrays}struct TEmbeddedResource {
    std::string_view Name;
    const unsigned char* Bytes;
    std::size_t Size;
};

constexpr std::array<TEmbeddedResource, ${index}> Resources{{
${entries}}};

} // namespace

namespace Norvane::Shared {

std::string_view FindResource(std::string_view name) {
    for (const TEmbeddedResource& resource : Resources) {
        if (resource.Name == name)
            return std::string_view(reinterpret_cast<const char*>(resource.Bytes), resource.Size);
    }
    return std::string_view();
}

std::vector<std::string_view> ResourceNames(std::string_view prefix) {
    std::vector<std::string_view> names;
    for (const TEmbeddedResource& resource : Resources) {
        if (resource.Name.substr(0, prefix.size()) == prefix)
            names.push_back(resource.Name);
    }
    return names;
}

} // namespace Norvane::Shared
")

file(WRITE ${OUTPUT} "${text}")
