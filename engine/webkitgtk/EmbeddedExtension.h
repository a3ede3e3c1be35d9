// The web-process extension: a second small library that WebKit loads into
// each of its content processes. It is built beside the engine library and
// also carried inside it, because the runtime receives the engine as one file.
#pragma once

#include <string>

namespace Norvane::Engine {

inline constexpr const char* ExtensionFolderName = "webkit-extensions";
inline constexpr const char* ExtensionFileName = "libnorvane-engine-extension.so";

// Folder of the engine library itself.
std::string EngineLibraryDirectory();

// A folder holding only the extension, for WebKit to load: the folder
// "webkit-extensions" beside the engine library, written from the carried copy
// when it is missing or differs, else a folder in the user's cache. Empty when
// no folder could be prepared.
std::string PrepareExtensionDirectory();

} // namespace Norvane::Engine
