// The colours' internals shared by the portable part (platform/ui/Graphics.cpp)
// and each backend.
#pragma once

#include "platform/ui/Graphics.h"

namespace Norvane::Platform::Ui::GraphicsParts {

// Backend: the system's own value of system colour Index (0 to 30), which the
// active style leaves to the system.
TRgb NativeSystemColor(unsigned Index);

} // namespace Norvane::Platform::Ui::GraphicsParts
