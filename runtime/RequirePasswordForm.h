// The access password prompt: one masked edit with a key image on its left
// button. The window closes by itself at the first key release after which the
// edit holds exactly the password; there is no button, no message on a
// mismatch, and Enter and Escape do nothing.
#pragma once

#include <cstdint>
#include <string>

#include "platform/ui/Controls.h"
#include "platform/ui/ImageList.h"
#include "win11forms/Win11Forms.h"

namespace Norvane::Runtime {

class TRequirePasswordForm : public Kestrin::Win11Forms::TForm {
public:
    static constexpr int DesignClientWidth = 308;
    static constexpr int DesignClientHeight = 71;
    static constexpr const char* DesignCaption = "[App Name]";
    // The picture of the edit's left button, an embedded resource.
    static constexpr const char* KeyImageResource = "REQUIRE_PASSWORD_KEY";
    static constexpr const char* KeyImageName = "key";

    explicit TRequirePasswordForm(Platform::Ui::TComponent* AOwner = nullptr);

    Platform::Ui::TImageCollection* ImageCollection = nullptr;
    Platform::Ui::TVirtualImageList* VirtualImageList = nullptr;
    Platform::Ui::TEdit* PasswordEdit = nullptr;

    // The expected password (emptied by FormCreate).
    const std::string& Password() const { return FPassword; }
    void SetPassword(const std::string& Value) { FPassword = Value; }

    void FormCreate(Platform::Ui::TObject* Sender);
    // After every key release in the edit: the whole text equal to the password
    // (case-sensitive) sets the modal result to OK, which closes the window.
    void PasswordEditKeyUp(Platform::Ui::TObject* Sender, std::uint16_t& Key,
                           Platform::Ui::TShiftState Shift);

private:
    std::string FPassword;
};

} // namespace Norvane::Runtime
