// The standard controls' toolkit-free part: properties that only keep a
// value and ask the backend to show it again, and the animation timers.
#include "platform/ui/ControlParts.h"
#include "platform/ui/Controls.h"
#include "platform/ui/Forms.h"
#include "platform/ui/ImageList.h"

#include <algorithm>
#include <cmath>

namespace Norvane::Platform::Ui {

namespace {

constexpr double Pi = 3.14159265358979323846;

} // namespace

// The activity indicator's figures.

std::array<ControlParts::TIndicatorDot, 5> ControlParts::MomentumDots(double Size, double T) {
    // Five dots chasing each other round a circle, fast at the bottom and slow
    // at the top.
    std::array<TIndicatorDot, 5> dots{};
    const double orbit = Size * 0.38, cx = Size / 2, cy = Size / 2;
    for (int i = 0; i < 5; ++i) {
        double p = std::fmod(T - i * 0.07 + 1.0, 1.0);
        double eased = p - std::sin(2 * Pi * p) / (2 * Pi) * 0.85;
        double angle = -Pi / 2 + 2 * Pi * eased;
        dots[static_cast<std::size_t>(i)] = {cx + orbit * std::cos(angle), cy + orbit * std::sin(angle),
                                             Size * 0.055};
    }
    return dots;
}

double ControlParts::SectorStart(double T) {
    return -Pi / 2 + 2 * Pi * T;
}

std::array<ControlParts::TIndicatorSector, 12> ControlParts::RingSectors(double T) {
    // Twelve sectors round a ring; the lit one moves on with a fading trail.
    std::array<TIndicatorSector, 12> result{};
    const int sectors = 12;
    int lit = static_cast<int>(T * sectors) % sectors;
    for (int i = 0; i < sectors; ++i) {
        int age = (lit - i + sectors) % sectors;
        result[static_cast<std::size_t>(i)] = {-Pi / 2 + 2 * Pi * i / sectors + 0.06,
                                               -Pi / 2 + 2 * Pi * (i + 1) / sectors - 0.06,
                                               std::max(0.15, 1.0 - age * 0.12)};
    }
    return result;
}

// TButton.

void TButton::Click() {
    if (OnClick)
        OnClick(this);
    if (FModalResult != mrNone)
        if (TCustomForm* form = GetParentForm())
            form->SetModalResult(FModalResult);
}

// TEdit.

TEdit::~TEdit() = default;

void TEdit::SetImages(TCustomImageList* Value) {
    FImages = Value;
    FImagesNotifier = Value ? Value->Notifier() : std::weak_ptr<TChangeNotifier>();
    UpdateLeftButton();
}

void TEdit::SetLeftButtonVisible(bool Value) {
    FLeftButtonVisible = Value;
    UpdateLeftButton();
}

void TEdit::SetLeftButtonImageIndex(int Value) {
    FLeftButtonImageIndex = Value;
    UpdateLeftButton();
}

// TProgressBar.

TProgressBar::~TProgressBar() {
    ControlParts::StopTimer(FTimer);
}

void TProgressBar::SetRange(int AMin, int AMax) {
    FMin = AMin;
    FMax = AMax;
    UpdateFraction();
}

void TProgressBar::SetPosition(int Value) {
    FPosition = std::clamp(Value, FMin, FMax);
    UpdateFraction();
}

void TProgressBar::UpdateTimer() {
    bool want = FStyle == TProgressBarStyle::pbstMarquee && Visible();
    if (want && !FTimer)
        FTimer = ControlParts::StartTimer(static_cast<unsigned>(FMarqueeInterval), [this] { MarqueeTick(); });
    else if (!want && FTimer) {
        ControlParts::StopTimer(FTimer);
        FTimer = 0;
        UpdateFraction(); // the marquee comes to rest
    }
}

// TActivityIndicator.

TActivityIndicator::~TActivityIndicator() {
    ControlParts::StopTimer(FTimer);
}

int TActivityIndicator::SizeInPixels(TActivityIndicatorSize Size) {
    switch (Size) {
    case TActivityIndicatorSize::aisSmall:
        return 24;
    case TActivityIndicatorSize::aisMedium:
        return 32;
    case TActivityIndicatorSize::aisLarge:
        return 48;
    case TActivityIndicatorSize::aisXLarge:
        return 64;
    }
    return 32;
}

void TActivityIndicator::SetAnimate(bool Value) {
    FAnimate = Value;
    UpdateTimer();
}

void TActivityIndicator::UpdateTimer() {
    if (FAnimate && !FTimer)
        FTimer = ControlParts::StartTimer(30, [this] { NextFrame(); });
    else if (!FAnimate && FTimer) {
        ControlParts::StopTimer(FTimer);
        FTimer = 0;
    }
}

// TImage.

void TImage::SetPicture(const TBitmap& Value) {
    FPicture = Value;
    FIconName.clear();
    UpdateNative();
}

void TImage::SetStretch(bool Value) {
    FStretch = Value;
    UpdateNative();
}

} // namespace Norvane::Platform::Ui
