// The keys' internals shared by the portable part (platform/ui/Keys.cpp) and
// each backend.
#pragma once

#include "platform/ui/Keys.h"

#include <span>

namespace Norvane::Platform::Ui::KeyParts {

// One modifier of the shift state and the toolkit's mask bit for it.
struct TModifierBit {
    TShiftState Shift;
    unsigned Native;
};

// Backend: the toolkit's mask bit of each of ssShift, ssCtrl, ssAlt, ssLeft,
// ssRight and ssMiddle.
std::span<const TModifierBit> NativeModifierBits();

} // namespace Norvane::Platform::Ui::KeyParts
