// Form base class with the rounded window corners of the desktop: each window
// chooses the kind of corner; the unit default is round.
#pragma once

#include "platform/ui/Forms.h"

#include <cstdint>

namespace Kestrin::Win11Forms {

enum class TRoundedCornerType { rcDefault, rcOff, rcOn, rcSmall };

// The unit-wide default, rcOn from unit initialisation on.
extern TRoundedCornerType DefaultRoundedCorners;

// The window-corner preference passed for a form's choice: rcOff 1 (square),
// rcOn 2 (round), rcSmall 3 (small round); rcDefault takes the unit default by
// the same rows, and 0 (the system's default) when that is rcDefault too.
std::int32_t CornerPreferenceValue(TRoundedCornerType Corners, TRoundedCornerType Default);

class TForm : public Norvane::Platform::Ui::TForm {
public:
    explicit TForm(Norvane::Platform::Ui::TComponent* AOwner = nullptr);

    TRoundedCornerType RoundedCorners() const { return FRoundedCorners; }
    // Stores the value and applies it at once when the window exists.
    void SetRoundedCorners(TRoundedCornerType Value);
    // Applies the preference to the native window; nothing without one. The
    // result of the platform call is ignored: where it cannot be honoured the
    // window keeps its usual corners.
    void ApplyRoundedCorners();

    // How often a preference reached a native window, and the last value (for
    // the tests of this unit).
    int CornerApplications() const { return FCornerApplications; }
    std::int32_t LastCornerPreference() const { return FLastCornerPreference; }

protected:
    // The framework's window creation step, then the corner preference.
    void CreateWnd() override;

private:
    TRoundedCornerType FRoundedCorners = TRoundedCornerType::rcDefault;
    int FCornerApplications = 0;
    std::int32_t FLastCornerPreference = -1;
};

} // namespace Kestrin::Win11Forms
