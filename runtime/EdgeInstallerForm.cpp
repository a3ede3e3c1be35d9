#include "runtime/EdgeInstallerForm.h"

namespace Norvane::Runtime {

using namespace Platform::Ui;

TEdgeInstallerForm::TEdgeInstallerForm(TComponent* AOwner) : Kestrin::Win11Forms::TForm(AOwner) {
    // Layout of the window.
    SetCaption(DesignCaption);
    SetPosition(TPosition::poMainFormCenter); // no main window yet: the screen's centre
    SetColor(clHotLight);
    SetCursor(TCursor::crAppStart);
    SetClientSize(DesignClientWidth, DesignClientHeight);

    ActivityIndicator = new TActivityIndicator(this);
    ActivityIndicator->SetName("ActivityIndicator");
    ActivityIndicator->SetParent(this);
    ActivityIndicator->SetIndicatorSize(TActivityIndicatorSize::aisXLarge);
    int size = TActivityIndicator::SizeInPixels(TActivityIndicatorSize::aisXLarge);
    ActivityIndicator->SetBounds(IndicatorLeft, IndicatorTop, size, size);
    ActivityIndicator->SetIndicatorColor(TActivityIndicatorColor::aicWhite);
    ActivityIndicator->SetIndicatorType(TActivityIndicatorType::aitMomentumDots);
    ActivityIndicator->SetCursor(TCursor::crAppStart);
    ActivityIndicator->SetAnimate(true);

    OnCreate = [this](TObject* Sender) { FormCreate(Sender); };
    OnCloseQuery = [this](TObject* Sender, bool& CanClose) { FormCloseQuery(Sender, CanClose); };
}

void TEdgeInstallerForm::FormCreate(TObject*) {
    // A plain pop-up window: no frame, no title bar, with a shadow.
    SetBorderStyle(TBorderStyle::bsNone);
    SetClientSize(DesignClientWidth, DesignClientHeight);
    SetDropShadow(true);
    ApplyRegion();
}

void TEdgeInstallerForm::FormCloseQuery(TObject*, bool& CanClose) {
    CanClose = false;
}

void TEdgeInstallerForm::CreateWnd() {
    Kestrin::Win11Forms::TForm::CreateWnd();
    // Both belong to the native window, so a new one gets them again.
    SetDropShadow(DropShadow());
    ApplyRegion();
}

void TEdgeInstallerForm::ApplyRegion() {
    FRegionApplied =
        SetWindowRoundRectRegion(0, 0, Width() + 1, Height() + 1, RegionCornerWidth, RegionCornerHeight);
    if (!FRegionApplied)
        ClearWindowRegion();
}

void TEdgeInstallerForm::ApplySettings(std::int32_t FormColor, std::int32_t IndicatorColor,
                                       std::int32_t IndicatorType) {
    SetColor(static_cast<TColor>(FormColor));
    ActivityIndicator->SetIndicatorColor(IndicatorColor == 0 ? TActivityIndicatorColor::aicBlack
                                                             : TActivityIndicatorColor::aicWhite);
    switch (IndicatorType) {
    case 1:
        ActivityIndicator->SetIndicatorType(TActivityIndicatorType::aitRotatingSector);
        break;
    case 2:
        ActivityIndicator->SetIndicatorType(TActivityIndicatorType::aitSectorRing);
        break;
    default:
        ActivityIndicator->SetIndicatorType(TActivityIndicatorType::aitMomentumDots);
        break;
    }
}

} // namespace Norvane::Runtime
