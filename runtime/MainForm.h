// The main window of the application: a form captioned with the application's
// name, placed and sized by the settings, that closes normally and ends the
// message loop. This first version shows no content; the browser-hosting main
// window replaces it.
#pragma once

#include "win11forms/Win11Forms.h"

namespace Norvane::Runtime {

class TMainForm : public Kestrin::Win11Forms::TForm {
public:
    explicit TMainForm(Platform::Ui::TComponent* AOwner = nullptr);

    void FormCreate(Platform::Ui::TObject* Sender);
};

} // namespace Norvane::Runtime
