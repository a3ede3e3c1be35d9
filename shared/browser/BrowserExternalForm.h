// The hidden form of the bridge: it is never shown and only holds the main
// menu that a page gives the main window, with the images of its items.
#pragma once

#include "platform/ui/Forms.h"
#include "platform/ui/ImageList.h"
#include "platform/ui/Menus.h"

#include <string_view>

namespace Norvane::Shared {

inline constexpr std::string_view BrowserExternalFormCaption =
    "[Not visible form: intended to be used to place DPI aware controls]";

class TBrowserExternalForm : public Platform::Ui::TForm {
public:
    explicit TBrowserExternalForm(Platform::Ui::TComponent* AOwner = nullptr);

    // Components, in this order; all owned by the form.
    Platform::Ui::TMainMenu* MainMenu = nullptr;
    Platform::Ui::TVirtualImageList* MainMenuVirtualImageList = nullptr;
    Platform::Ui::TImageCollection* MainMenuImageCollection = nullptr;
};

} // namespace Norvane::Shared
