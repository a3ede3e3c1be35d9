// The settings reader over arbitrary bytes, and reading its keys.
#include <cstddef>
#include <cstdint>
#include <string>

#include "shared/ProjectIni.h"

using namespace Norvane::Shared;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size) {
    TProjectIni ini;
    ini.LoadFromBytes(std::string(reinterpret_cast<const char*>(Data), Size));
    for (const char* key : {AppIni::ID, AppIni::Name, AppIni::DirName, AppIni::IndexHtml})
        ini.ReadString(AppIni::Section, key, "");
    ini.ReadString("", "", "default");
    return 0;
}
