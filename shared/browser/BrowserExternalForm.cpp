#include "shared/browser/BrowserExternalForm.h"

namespace Norvane::Shared {

using namespace Platform::Ui;

TBrowserExternalForm::TBrowserExternalForm(TComponent* AOwner) : TForm(AOwner) {
    SetCaption(std::string(BrowserExternalFormCaption));
    SetClientSize(568, 326);
    MainMenu = new TMainMenu(this);
    MainMenu->SetName("MainMenu");
    MainMenuVirtualImageList = new TVirtualImageList(this);
    MainMenuVirtualImageList->SetName("MainMenuVirtualImageList");
    MainMenuImageCollection = new TImageCollection(this);
    MainMenuImageCollection->SetName("MainMenuImageCollection");
    MainMenuVirtualImageList->SetImageCollection(MainMenuImageCollection);
    MainMenuVirtualImageList->SetAutoFill(true);
    MainMenuVirtualImageList->SetDisabledGrayscale(true);
    MainMenuVirtualImageList->SetDisabledSuffix("_Disabled");
    MainMenuVirtualImageList->SetPreserveItems(true);
    MainMenu->SetImages(MainMenuVirtualImageList);
}

} // namespace Norvane::Shared
