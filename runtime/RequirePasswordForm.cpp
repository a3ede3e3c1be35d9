#include "runtime/RequirePasswordForm.h"

#include "shared/Resources.h"

namespace Norvane::Runtime {

using namespace Platform::Ui;

TRequirePasswordForm::TRequirePasswordForm(TComponent* AOwner) : Kestrin::Win11Forms::TForm(AOwner) {
    SetCaption(DesignCaption);
    SetBorderStyle(TBorderStyle::bsDialog);
    SetPosition(TPosition::poMainFormCenter); // no main window yet: the screen's centre
    SetColor(clBtnFace);
    SetClientSize(DesignClientWidth, DesignClientHeight);

    ImageCollection = new TImageCollection(this);
    ImageCollection->SetName("ImageCollection");
    std::string_view key = Shared::FindResource(KeyImageResource);
    if (key.data())
        ImageCollection->Add(KeyImageName, std::string(key));
    VirtualImageList = new TVirtualImageList(this);
    VirtualImageList->SetName("VirtualImageList");
    VirtualImageList->SetSize(16, 16);
    VirtualImageList->SetImageCollection(ImageCollection);
    VirtualImageList->Add(KeyImageName);

    PasswordEdit = new TEdit(this);
    PasswordEdit->SetName("PasswordEdit");
    PasswordEdit->SetParent(this);
    PasswordEdit->SetBounds(24, 24, 257, 21);
    PasswordEdit->SetPasswordChar(U'*');
    PasswordEdit->SetTabOrder(0);
    PasswordEdit->SetImages(VirtualImageList);
    PasswordEdit->SetLeftButtonImageIndex(0);
    PasswordEdit->SetLeftButtonVisible(true);
    PasswordEdit->OnKeyUp = [this](TObject* Sender, std::uint16_t& Key, TShiftState Shift) {
        PasswordEditKeyUp(Sender, Key, Shift);
    };
    SetActiveControl(PasswordEdit);

    OnCreate = [this](TObject* Sender) { FormCreate(Sender); };
}

void TRequirePasswordForm::FormCreate(TObject*) {
    FPassword.clear();
}

void TRequirePasswordForm::PasswordEditKeyUp(TObject*, std::uint16_t&, TShiftState) {
    if (PasswordEdit->Text() == FPassword)
        SetModalResult(mrOk);
}

} // namespace Norvane::Runtime
