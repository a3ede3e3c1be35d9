// The main window of the application. It shows nothing of its own: it embeds
// the browser window as a child filling its client area, creates the bridge
// module, applies the window settings of the "App" section, chooses the start
// page, follows the document title when asked to, and runs the close
// protocol with the page:
//  1. every close request is answered with FCanClose (false at first) and
//     runs "qvx.events.onCloseQuery();" in the page;
//  2. the page's default handler calls qvx.app.close(), whose request sets
//     FCanClose and closes the window again; a page can replace the handler
//     to ask the user first, or to keep the window open;
//  3. closing frees the bridge module, then the browser window.
#pragma once

#include "shared/bridge/BrowserExternalModule.h"
#include "shared/browser/BrowserForm.h"
#include "win11forms/Win11Forms.h"

namespace Norvane::Runtime {

// The script run in the page on every close request.
inline constexpr std::string_view CloseQueryScript = "qvx.events.onCloseQuery();";

class TMainForm : public Kestrin::Win11Forms::TForm {
public:
    explicit TMainForm(Platform::Ui::TComponent* AOwner = nullptr);
    ~TMainForm() override;

    void FormCreate(Platform::Ui::TObject* Sender);
    void FormCloseQuery(Platform::Ui::TObject* Sender, bool& CanClose);
    void FormClose(Platform::Ui::TObject* Sender, Platform::Ui::TCloseAction& Action);
    void EdgeBrowserDocumentTitleChanged(Shared::TCustomEdgeBrowser* Sender,
                                         const std::string& ADocumentTitle);
    void BrowserExternalModuleAppCloseRequest(Platform::Ui::TObject* Sender);

    bool CanClose() const { return FCanClose; }
    // An author's run with reloading: the pages are served from Zip from now
    // on (the caller keeps it, and the one before, alive) and the current page
    // is loaded again; the window keeps its size and place.
    void ReloadPayload(Shared::TExeZip* Zip);

    // The smallest width or height the window gets from its settings, unless
    // the work area is smaller still.
    static constexpr int MinUsableSize = 200;
    // A width or height of the settings made to fit: Default when it is zero
    // or less, then at most Available (when known, above zero) and at least
    // MinUsableSize.
    static int FitWindowSize(int Value, int Default, int Available);
    Shared::TBrowserForm* BrowserForm() const { return FBrowserForm; }
    Shared::TBrowserExternalModule* BrowserExternalModule() const { return FBrowserExternalModule; }

private:
    void FreeOwned();

    bool FCanClose = false;
    Shared::TBrowserForm* FBrowserForm = nullptr;
    Shared::TBrowserExternalModule* FBrowserExternalModule = nullptr;
};

} // namespace Norvane::Runtime
