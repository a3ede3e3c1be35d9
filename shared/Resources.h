// Files embedded into the program when it is built (the script library of the
// pages and other resources), looked up by name. The build rule
// norvane_embed_resources (cmake/EmbedResources.cmake) generates the lookup.
#pragma once

#include <string_view>
#include <vector>

namespace Norvane::Shared {

// The bytes of the resource called name, exactly as in its file; they live as
// long as the program. A name that is not embedded gives a view whose data()
// is nullptr, so an empty resource (a non-null empty view) can be told apart.
std::string_view FindResource(std::string_view name);

// The names of the embedded resources that start with prefix, in the order
// they were embedded.
std::vector<std::string_view> ResourceNames(std::string_view prefix);

} // namespace Norvane::Shared
