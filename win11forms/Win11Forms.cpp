#include "win11forms/Win11Forms.h"

namespace Kestrin::Win11Forms {

TRoundedCornerType DefaultRoundedCorners = TRoundedCornerType::rcOn;

namespace {

// Values of the desktop window manager's corner preference.
constexpr std::int32_t CornerDefault = 0;
constexpr std::int32_t CornerDoNotRound = 1;
constexpr std::int32_t CornerRound = 2;
constexpr std::int32_t CornerRoundSmall = 3;

std::int32_t ExplicitValue(TRoundedCornerType Corners) {
    switch (Corners) {
    case TRoundedCornerType::rcOff:
        return CornerDoNotRound;
    case TRoundedCornerType::rcOn:
        return CornerRound;
    case TRoundedCornerType::rcSmall:
        return CornerRoundSmall;
    case TRoundedCornerType::rcDefault:
        break;
    }
    return CornerDefault;
}

} // namespace

std::int32_t CornerPreferenceValue(TRoundedCornerType Corners, TRoundedCornerType Default) {
    return Corners == TRoundedCornerType::rcDefault ? ExplicitValue(Default) : ExplicitValue(Corners);
}

TForm::TForm(Norvane::Platform::Ui::TComponent* AOwner) : Norvane::Platform::Ui::TForm(AOwner) {}

void TForm::SetRoundedCorners(TRoundedCornerType Value) {
    FRoundedCorners = Value;
    ApplyRoundedCorners();
}

void TForm::ApplyRoundedCorners() {
    if (!HandleAllocated() || IsEmbedded())
        return;
    std::int32_t value = CornerPreferenceValue(FRoundedCorners, DefaultRoundedCorners);
    FLastCornerPreference = value;
    ++FCornerApplications;
    (void)SetWindowCornerPreference(value);
}

void TForm::CreateWnd() {
    Norvane::Platform::Ui::TForm::CreateWnd();
    ApplyRoundedCorners();
}

} // namespace Kestrin::Win11Forms
