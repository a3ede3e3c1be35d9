#include "runtime/MainForm.h"

#include "runtime/ExeZipLoader.h"
#include "shared/ProjectIni.h"

namespace Norvane::Runtime {

using namespace Platform::Ui;
namespace Ini = Shared::AppIni;

TMainForm::TMainForm(TComponent* AOwner) : Kestrin::Win11Forms::TForm(AOwner) {
    OnCreate = [this](TObject* Sender) { FormCreate(Sender); };
}

void TMainForm::FormCreate(TObject*) {
    SetCaption(AppName);
    SetColor(clBtnFace);
    if (ProjectINI) {
        int left = ProjectINI->ReadInteger(Ini::Section, Ini::Left, Ini::DefaultLeft);
        int top = ProjectINI->ReadInteger(Ini::Section, Ini::Top, Ini::DefaultTop);
        int width = ProjectINI->ReadInteger(Ini::Section, Ini::Width, Ini::DefaultWidth);
        int height = ProjectINI->ReadInteger(Ini::Section, Ini::Height, Ini::DefaultHeight);
        SetBounds(left, top, width, height);
        int position = ProjectINI->ReadInteger(Ini::Section, Ini::WindowPosition, Ini::DefaultWindowPosition);
        SetPosition(position == 0 ? TPosition::poDesktopCenter : TPosition::poDefaultPosOnly);
    }
}

} // namespace Norvane::Runtime
