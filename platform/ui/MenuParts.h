// The menus' internals shared by the portable part (platform/ui/Menus.cpp)
// and each backend.
#pragma once

namespace Norvane::Platform::Ui::MenuParts {

// Backend: the lower-case form of a character as the toolkit knows it (the
// access key of a caption).
char32_t LowerCase(char32_t Character);

} // namespace Norvane::Platform::Ui::MenuParts
