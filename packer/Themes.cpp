// The style gallery: the names of the visual styles a packaged application
// can start in (Theme= of its settings), and a preview picture of each.
#include "packer/Commands.h"
#include "packer/PackError.h"
#include "platform/Paths.h"
#include "platform/ui/Graphics.h"
#include "platform/ui/Styles.h"
#include "shared/StylesUtils.h"

#include <cstdio>
#include <filesystem>
#include <fstream>

namespace Norvane::Packer {

namespace fs = std::filesystem;
using Norvane::Platform::PathFromUtf8;
using Norvane::Platform::Utf8FromPath;
using Shared::TStylesUtils;

void ListThemes() {
    Shared::TStringList themes;
    TStylesUtils::GetAvailables(themes, true);
    for (const std::string& name : themes.Strings())
        std::printf("%s\n", name.c_str());
}

void WriteThemePreviews(const std::string& Dir) {
    std::error_code ec;
    const fs::path dir = PathFromUtf8(Dir);
    fs::create_directories(dir, ec);
    if (!fs::is_directory(dir))
        throw EPackError("cannot make the folder " + Dir + (ec ? ": " + ec.message() : ""));
    Shared::TStringList themes;
    TStylesUtils::GetAvailables(themes, true);
    int written = 0;
    for (const std::string& name : themes.Strings()) {
        if (name == Platform::Ui::TStyleManager::SystemStyleName)
            continue; // the system look has no picture of its own
        Platform::Ui::TBitmap picture(320, 200);
        TStylesUtils::DrawThemePreview(name, picture);
        const std::string png = picture.EncodePng();
        const fs::path target = dir / PathFromUtf8(name + ".png");
        const fs::path partial = dir / PathFromUtf8("." + name + ".png.part");
        {
            std::ofstream out(partial, std::ios::binary | std::ios::trunc);
            out.write(png.data(), static_cast<std::streamsize>(png.size()));
            if (!out.flush())
                throw EPackError("cannot write " + Utf8FromPath(partial));
        }
        fs::rename(partial, target, ec);
        if (ec)
            throw EPackError("cannot write " + Utf8FromPath(target) + ": " + ec.message());
        ++written;
    }
    Note("wrote " + std::to_string(written) + " style previews to " + Dir);
}

} // namespace Norvane::Packer
