#include "runtime/MainForm.h"

#include "platform/Process.h"
#include "platform/ui/Application.h"
#include "runtime/ExeZipLoader.h"
#include "shared/ProjectIni.h"
#include "webview2/WebView2.h"

#include <algorithm>
#include <cstdio>

namespace Norvane::Runtime {

using namespace Platform::Ui;
namespace Ini = Shared::AppIni;

namespace {

// The archive entry with the application's extra page script.
constexpr const char* WebviewJavascriptEntry = "qvx-webviewjs";

int ReadAppInteger(const char* Key, int Default) {
    return ProjectINI ? ProjectINI->ReadInteger(Ini::Section, Key, Default) : Default;
}

bool ReadAppBool(const char* Key, bool Default) {
    return ProjectINI ? ProjectINI->ReadBool(Ini::Section, Key, Default) : Default;
}

} // namespace

int TMainForm::FitWindowSize(int Value, int Default, int Available) {
    if (Value <= 0)
        Value = Default;
    if (Available > 0)
        Value = std::min(Value, Available);
    return std::max(Value, std::min(MinUsableSize, Available > 0 ? Available : MinUsableSize));
}

TMainForm::TMainForm(TComponent* AOwner) : Kestrin::Win11Forms::TForm(AOwner) {
    SetClientSize(568, 424);
    SetColor(clWindow);
    OnCreate = [this](TObject* Sender) { FormCreate(Sender); };
    OnCloseQuery = [this](TObject* Sender, bool& Result) { FormCloseQuery(Sender, Result); };
    OnClose = [this](TObject* Sender, TCloseAction& Action) { FormClose(Sender, Action); };
    // The window's changes, for the page (the module goes at the close).
    OnResize = [this](TObject*) {
        if (FBrowserExternalModule)
            FBrowserExternalModule->WindowPlaceChanged();
    };
    OnMove = OnResize;
    OnWindowStateChange = [this](TObject*) {
        if (FBrowserExternalModule)
            FBrowserExternalModule->WindowStateChanged();
    };
    OnActivate = [this](TObject*) {
        if (FBrowserExternalModule)
            FBrowserExternalModule->WindowFocusChanged(true);
    };
    OnDeactivate = [this](TObject*) {
        if (FBrowserExternalModule)
            FBrowserExternalModule->WindowFocusChanged(false);
    };
    Application().OnSystemThemeChange = [this] {
        if (FBrowserExternalModule)
            FBrowserExternalModule->ThemeChanged();
    };
}

TMainForm::~TMainForm() {
    Application().OnSystemThemeChange = nullptr;
    // A window destroyed without being closed still frees what it owns.
    delete FBrowserExternalModule;
    FBrowserExternalModule = nullptr;
    delete FBrowserForm;
    FBrowserForm = nullptr;
}

void TMainForm::FormCreate(TObject*) {
    FCanClose = false;

    FBrowserExternalModule = new Shared::TBrowserExternalModule(nullptr);
    FBrowserExternalModule->SetExeZip(ExeZip);

    FBrowserForm = TCustomForm::Create<Shared::TBrowserForm>(nullptr);
    FBrowserForm->SetParent(this);
    FBrowserForm->SetAlign(TAlign::alClient);
    FBrowserForm->Show();

    FBrowserForm->SetExeZip(ExeZip);
    FBrowserForm->SetIsRuntime(true);
    FBrowserForm->SetAppDirName(AppFolderName);
    FBrowserForm->SetHandleRequests(true);
    FBrowserForm->SetRuntimeAppID(AppID);
    FBrowserForm->SetWithExternal(true);
    // An author's run (norvane-pack run) has the inspector whatever the
    // settings say, and hears of every failed bridge call.
    const auto development = Platform::GetEnv(WebView2::DevelopmentVariable);
    const bool developing = development && WebView2::DevelopmentRun(development->c_str());
    FBrowserForm->SetAllowDebug(developing || ReadAppBool(Ini::AllowDebug, Ini::DefaultAllowDebug));
    FBrowserExternalModule->Dispatcher().SetReportFailures(developing);
    FBrowserForm->SetAllowZoom(ReadAppBool(Ini::AllowZoom, Ini::DefaultAllowZoom));
    FBrowserForm->SetAllowContextMenu(ReadAppBool(Ini::AllowContextMenu, Ini::DefaultAllowContextMenu));

    Shared::TEdgeBrowser* browser = FBrowserForm->EdgeBrowser();
    Shared::TBrowserExternalModule* module = FBrowserExternalModule;
    // The one way in for the page's messages.
    FBrowserForm->OnPageMessage = [module](const std::string& Source, const std::string& AsString,
                                           const std::string& AsJson) {
        module->ReceiveWebMessage(Source, AsString, AsJson);
    };
    browser->OnFilesDropped = [module](Shared::TCustomEdgeBrowser*, const std::vector<std::string>& Paths) {
        module->FilesDropped(Paths);
    };
    browser->OnDocumentTitleChanged = [this](Shared::TCustomEdgeBrowser* Sender, const std::string& Title) {
        EdgeBrowserDocumentTitleChanged(Sender, Title);
    };

    module->SetMainForm(this);
    module->SetBrowserForm(FBrowserForm);
    module->SetProjectINI(ProjectINI);
    module->OnAppCloseRequest = [this](TObject* Sender) { BrowserExternalModuleAppCloseRequest(Sender); };

    FBrowserForm->SetWebviewJavascript(ExeZip ? ExeZip->ExtractEntryToString(WebviewJavascriptEntry)
                                              : std::string());

    SetCaption(AppName);
    Application().SetTitle(AppName);

    // The window always fits the work area of the screen (with its frame),
    // also at a larger display scale, and is never too small to use; a size
    // the settings cannot mean is the default.
    const TRect workArea = TScreen::WorkArea();
    const int availableWidth = workArea.Right - workArea.Left,
              availableHeight = workArea.Bottom - workArea.Top;
    SetBounds(
        ReadAppInteger(Ini::Left, Ini::DefaultLeft), ReadAppInteger(Ini::Top, Ini::DefaultTop),
        FitWindowSize(ReadAppInteger(Ini::Width, Ini::DefaultWidth), Ini::DefaultWidth, availableWidth),
        FitWindowSize(ReadAppInteger(Ini::Height, Ini::DefaultHeight), Ini::DefaultHeight, availableHeight));
    TSizeConstraints limits;
    limits.MaxWidth = ReadAppInteger(Ini::MaxWidth, Ini::DefaultMaxWidth);
    limits.MaxHeight = ReadAppInteger(Ini::MaxHeight, Ini::DefaultMaxHeight);
    limits.MinWidth = ReadAppInteger(Ini::MinWidth, Ini::DefaultMinWidth);
    limits.MinHeight = ReadAppInteger(Ini::MinHeight, Ini::DefaultMinHeight);
    // Neither may a minimum push the window past the work area.
    if (availableWidth > 0)
        limits.MinWidth = std::min(limits.MinWidth, availableWidth);
    if (availableHeight > 0)
        limits.MinHeight = std::min(limits.MinHeight, availableHeight);
    SetConstraints(limits);

    SetPosition(ReadAppInteger(Ini::WindowPosition, Ini::DefaultWindowPosition) == 0
                    ? TPosition::poDesktopCenter
                    : TPosition::poDefaultPosOnly);

    if (ReadAppInteger(Ini::WindowStyle, Ini::DefaultWindowStyle) == 1) {
        SetBorderStyle(TBorderStyle::bsNone);
        SetWindowState(TWindowState::wsMaximized);
        module->SetInFullscreen(true);
    } else {
        SetBorderStyle(
            Shared::BorderStyleOfSetting(ReadAppInteger(Ini::WindowBorder, Ini::DefaultWindowBorder)));
        switch (ReadAppInteger(Ini::WindowState, Ini::DefaultWindowState)) {
        case 0:
            SetWindowState(TWindowState::wsNormal);
            break;
        case 1:
            SetWindowState(TWindowState::wsMaximized);
            break;
        default:
            break;
        }
    }

    if (ReadAppInteger(Ini::WindowOrder, Ini::DefaultWindowOrder) == 1)
        SetFormStyle(TFormStyle::fsStayOnTop);

    // A start page given by a relaunch is taken only when it is a page of
    // the payload: a file from the disk would run as the application's own.
    std::string startPage = "file:///" + AppIndexHtml;
    if (ParamCount() == 2 && ParamStr(1) == AppID) {
        if (FBrowserForm->PayloadEntryName(ParamStr(2)))
            startPage = ParamStr(2);
        else
            std::fprintf(stderr, "norvane: the start page %s is not a page of the application; showing %s\n",
                         ParamStr(2).c_str(), startPage.c_str());
    }
    FBrowserForm->SetStartPageURL(startPage);
}

void TMainForm::ReloadPayload(Shared::TExeZip* Zip) {
    if (!FBrowserForm || !FBrowserExternalModule || !Zip)
        return;
    FBrowserForm->SetExeZip(Zip);
    FBrowserExternalModule->SetExeZip(Zip);
    if (WebView2::ICoreWebView2* view = FBrowserForm->EdgeBrowser()->DefaultInterface())
        view->Reload();
}

void TMainForm::FormCloseQuery(TObject*, bool& CanClose) {
    CanClose = FCanClose;
    Shared::TEdgeBrowser* browser = FBrowserForm ? FBrowserForm->EdgeBrowser() : nullptr;
    if (!browser)
        return;
    // A document that is not one of the application's own (a web page the
    // application navigated to) has no bridge and cannot agree: it is not
    // asked, and the window closes.
    if (!Shared::IsApplicationAddress(browser->LocationURL())) {
        CanClose = true;
        return;
    }
    browser->ExecuteScript(std::string(CloseQueryScript));
}

void TMainForm::FormClose(TObject*, TCloseAction&) {
    // The close may come from inside the browser's message callback (the
    // page's qvx.app.close()), so the module and the browser window are freed
    // from the message loop once that callback has returned: the module
    // first, then the browser window.
    Shared::TBrowserExternalModule* module = FBrowserExternalModule;
    Shared::TBrowserForm* browserForm = FBrowserForm;
    FBrowserExternalModule = nullptr;
    FBrowserForm = nullptr;
    if (browserForm)
        browserForm->EdgeBrowser()->OnDocumentTitleChanged = nullptr;
    Application().Queue([module, browserForm] {
        delete module;
        delete browserForm;
    });
}

void TMainForm::EdgeBrowserDocumentTitleChanged(Shared::TCustomEdgeBrowser*,
                                                const std::string& ADocumentTitle) {
    if (ReadAppBool(Ini::DynamicAppTitle, Ini::DefaultDynamicAppTitle))
        SetCaption(ADocumentTitle);
}

void TMainForm::BrowserExternalModuleAppCloseRequest(TObject*) {
    FCanClose = true;
    Close();
}

} // namespace Norvane::Runtime
