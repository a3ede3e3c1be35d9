#include "tests/engine/EngineHarness.h"

#include <dlfcn.h>

#include <chrono>
#include <cstdlib>
#include <thread>

namespace Norvane::Testing::EngineHarness {

std::string TEngineLibrary::Take(char* Text) const {
    if (!Text)
        return "";
    std::string Copy(Text);
    MemFree(Text);
    return Copy;
}

TEngineLibrary TEngineLibrary::Load(const std::string& Path) {
    TEngineLibrary Library;
    Library.Handle = dlopen(Path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!Library.Handle) {
        const char* Error = dlerror();
        Library.Error = Error ? Error : "dlopen failed";
        return Library;
    }
    Library.CreateEnvironment =
        reinterpret_cast<PFN_CreateCoreWebView2Environment>(dlsym(Library.Handle, CreateEnvironmentEntry));
    Library.BrowserVersion =
        reinterpret_cast<PFN_GetCoreWebView2BrowserVersionString>(dlsym(Library.Handle, BrowserVersionEntry));
    Library.AvailableVersion = reinterpret_cast<PFN_GetAvailableCoreWebView2BrowserVersionString>(
        dlsym(Library.Handle, AvailableBrowserVersionEntry));
    Library.MemFree = reinterpret_cast<PFN_CoTaskMemFree>(dlsym(Library.Handle, MemFreeEntry));
    if (!Library.Loaded())
        Library.Error = "an entry is missing";
    return Library;
}

TEngineLibrary& TEngineLibrary::Get() {
    // NORVANE_ENGINE_LIBRARY_PATH names another build of the library (to compare builds).
    const char* Other = std::getenv("NORVANE_ENGINE_LIBRARY_PATH");
    static TEngineLibrary Library = Load(Other && *Other ? Other : NORVANE_ENGINE_LIBRARY);
    return Library;
}

namespace {

gboolean Wake(gpointer) {
    return G_SOURCE_CONTINUE;
}

} // namespace

bool RunUntil(const std::function<bool()>& Done, double Seconds) {
    const auto Deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(Seconds);
    // A periodic wake-up so that a condition set by another thread is seen.
    const guint Timer = g_timeout_add(20, Wake, nullptr);
    bool Result = Done();
    while (!Result && std::chrono::steady_clock::now() < Deadline) {
        g_main_context_iteration(nullptr, TRUE);
        Result = Done();
    }
    g_source_remove(Timer);
    return Result;
}

void RunFor(double Seconds) {
    const auto Deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(Seconds);
    RunUntil([&] { return std::chrono::steady_clock::now() >= Deadline; }, Seconds + 1);
}

TEnvironmentResult CreateEnvironment(bool FromWorkerThread) {
    TEnvironmentResult Result;
    bool Done = false;
    const auto MainThread = std::this_thread::get_id();
    auto Handler = Callback<ICoreWebView2CreateCoreWebView2EnvironmentCompletedHandler>(
        [&](HRESULT Code, ICoreWebView2Environment* Environment) {
            Result.Code = Code;
            Result.Environment = TComPtr<ICoreWebView2Environment>(Environment);
            Result.CompletedOnMainThread = std::this_thread::get_id() == MainThread;
            Done = true;
            return S_OK;
        });
    auto& Library = TEngineLibrary::Get();
    if (!Library.Loaded())
        return Result;
    HRESULT CallResult = E_FAIL;
    if (FromWorkerThread) {
        std::thread Worker([&] { CallResult = Library.CreateEnvironment(Handler.Get()); });
        Worker.join();
    } else {
        CallResult = Library.CreateEnvironment(Handler.Get());
    }
    if (FAILED(CallResult)) {
        Result.Code = CallResult;
        return Result;
    }
    RunUntil([&] { return Done; });
    return Result;
}

THostWindow::THostWindow(int Width, int Height) {
    FWindow = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    gtk_window_set_default_size(GTK_WINDOW(FWindow), Width, Height);
    FParent = gtk_event_box_new();
    gtk_container_add(GTK_CONTAINER(FWindow), FParent);
    gtk_widget_show_all(FWindow);
    RunUntil(
        [&] { return gtk_widget_get_mapped(FParent) && gtk_widget_get_allocated_width(FParent) == Width; },
        5);
}

THostWindow::~THostWindow() {
    gtk_widget_destroy(FWindow);
}

TViewHarness::~TViewHarness() {
    Close();
}

void TViewHarness::Close() {
    if (Controller)
        Controller->Close();
    Settings = nullptr;
    View = nullptr;
    Controller = nullptr;
    Environment = nullptr;
    Host.reset();
}

bool TViewHarness::Create(int Width, int Height) {
    TEnvironmentResult Created = CreateEnvironment(true);
    if (FAILED(Created.Code) || !Created.Environment)
        return false;
    Environment = Created.Environment;
    Host = std::make_unique<THostWindow>(Width, Height);

    bool Done = false;
    HRESULT Code = E_FAIL;
    auto Handler = Callback<ICoreWebView2CreateCoreWebView2ControllerCompletedHandler>(
        [&](HRESULT Result, ICoreWebView2Controller* NewController) {
            Code = Result;
            Controller = TComPtr<ICoreWebView2Controller>(NewController);
            Done = true;
            return S_OK;
        });
    if (FAILED(Environment->CreateCoreWebView2Controller(Host->Parent(), Handler.Get())))
        return false;
    if (!RunUntil([&] { return Done; }) || FAILED(Code) || !Controller)
        return false;
    if (FAILED(Controller->get_CoreWebView2(View.Put())) || FAILED(View->get_Settings(Settings.Put())))
        return false;
    Controller->put_Bounds(RECT{0, 0, Width, Height});

    auto& Library = TEngineLibrary::Get();
    EventRegistrationToken Token{};
    View->AddWebResourceRequestedFilter("*", COREWEBVIEW2_WEB_RESOURCE_CONTEXT_ALL);
    View->add_WebResourceRequested(
        Callback<ICoreWebView2WebResourceRequestedEventHandler>(
            [this, &Library](ICoreWebView2*, ICoreWebView2WebResourceRequestedEventArgs* Args) {
                TComPtr<ICoreWebView2WebResourceRequest> Request;
                Args->get_Request(Request.Put());
                char* Uri = nullptr;
                Request->get_Uri(&Uri);
                const std::string Address = Library.Take(Uri);
                Requests.push_back(Address);
                char* RequestHeaderText = nullptr;
                Request->get_Headers(&RequestHeaderText);
                RequestHeaders.push_back(Library.Take(RequestHeaderText));
                const auto Found = Pages.find(Address);
                if (Found == Pages.end())
                    return S_OK;
                auto Content = MakeComObject<TComMemoryStream>(Found->second.Body);
                TComPtr<ICoreWebView2WebResourceResponse> Response;
                std::string Headers = "Content-Type: " + Found->second.ContentType + "; charset=utf-8";
                if (!Found->second.ExtraHeaders.empty())
                    Headers += "\r\n" + Found->second.ExtraHeaders;
                if (Found->second.FromPayload)
                    Headers +=
                        std::string("\r\n") + ApplicationContentHeader + ": " + ApplicationContentValue;
                Environment->CreateWebResourceResponse(Content.Get(), Found->second.Status,
                                                       Found->second.Status == 200 ? "OK" : "Partial Content",
                                                       Headers.c_str(), Response.Put());
                if (!DeferResponses) {
                    Args->put_Response(Response.Get());
                    return S_OK;
                }
                TComPtr<ICoreWebView2Deferral> Deferral;
                Args->GetDeferral(Deferral.Put());
                struct TLater {
                    TComPtr<ICoreWebView2WebResourceRequestedEventArgs> Args;
                    TComPtr<ICoreWebView2WebResourceResponse> Response;
                    TComPtr<ICoreWebView2Deferral> Deferral;
                };
                auto* Later =
                    new TLater{TComPtr<ICoreWebView2WebResourceRequestedEventArgs>(Args), Response, Deferral};
                g_timeout_add_full(
                    G_PRIORITY_DEFAULT, 30,
                    [](gpointer Data) -> gboolean {
                        auto* Job = static_cast<TLater*>(Data);
                        Job->Args->put_Response(Job->Response.Get());
                        Job->Deferral->Complete();
                        return G_SOURCE_REMOVE;
                    },
                    Later, [](gpointer Data) { delete static_cast<TLater*>(Data); });
                return S_OK;
            })
            .Get(),
        &Token);
    View->add_NavigationStarting(
        Callback<ICoreWebView2NavigationStartingEventHandler>(
            [this, &Library](ICoreWebView2*, ICoreWebView2NavigationStartingEventArgs* Args) {
                char* Uri = nullptr;
                Args->get_Uri(&Uri);
                StartingUris.push_back(Library.Take(Uri));
                if (OnNavigationStarting)
                    OnNavigationStarting(Args);
                return S_OK;
            })
            .Get(),
        &Token);
    View->add_NavigationCompleted(
        Callback<ICoreWebView2NavigationCompletedEventHandler>(
            [this](ICoreWebView2*, ICoreWebView2NavigationCompletedEventArgs* Args) {
                BOOL Success = FALSE;
                Args->get_IsSuccess(&Success);
                Args->get_WebErrorStatus(&LastWebError);
                LastNavigationSuccess = Success != 0;
                ++NavigationsCompleted;
                return S_OK;
            })
            .Get(),
        &Token);
    View->add_WebMessageReceived(
        Callback<ICoreWebView2WebMessageReceivedEventHandler>(
            [this, &Library](ICoreWebView2*, ICoreWebView2WebMessageReceivedEventArgs* Args) {
                char* Json = nullptr;
                Args->get_WebMessageAsJson(&Json);
                char* Text = nullptr;
                const HRESULT Found = Args->TryGetWebMessageAsString(&Text);
                StringMessages.push_back(SUCCEEDED(Found) ? Library.Take(Text) : "<not a string>");
                Messages.push_back(Library.Take(Json));
                char* Source = nullptr;
                Args->get_Source(&Source);
                MessageSources.push_back(Library.Take(Source));
                return S_OK;
            })
            .Get(),
        &Token);
    View->add_DocumentTitleChanged(
        Callback<ICoreWebView2DocumentTitleChangedEventHandler>([this, &Library](ICoreWebView2* Sender,
                                                                                 IUnknown*) {
            char* Title = nullptr;
            Sender->get_DocumentTitle(&Title);
            Titles.push_back(Library.Take(Title));
            return S_OK;
        }).Get(),
        &Token);
    View->add_NewWindowRequested(
        Callback<ICoreWebView2NewWindowRequestedEventHandler>(
            [this, &Library](ICoreWebView2*, ICoreWebView2NewWindowRequestedEventArgs* Args) {
                char* Uri = nullptr;
                Args->get_Uri(&Uri);
                NewWindowUris.push_back(Library.Take(Uri));
                if (HandleNewWindows)
                    Args->put_Handled(-1); // TRUE with all bits set
                return S_OK;
            })
            .Get(),
        &Token);
    View->add_PermissionRequested(
        Callback<ICoreWebView2PermissionRequestedEventHandler>(
            [this](ICoreWebView2*, ICoreWebView2PermissionRequestedEventArgs* Args) {
                COREWEBVIEW2_PERMISSION_KIND Kind = COREWEBVIEW2_PERMISSION_KIND_UNKNOWN_PERMISSION;
                Args->get_PermissionKind(&Kind);
                PermissionKinds.push_back(Kind);
                Args->put_State(PermissionAnswer);
                return S_OK;
            })
            .Get(),
        &Token);
    View->add_ProcessFailed(
        Callback<ICoreWebView2ProcessFailedEventHandler>([this](ICoreWebView2*,
                                                                ICoreWebView2ProcessFailedEventArgs* Args) {
            COREWEBVIEW2_PROCESS_FAILED_KIND Kind{};
            Args->get_ProcessFailedKind(&Kind);
            ProcessFailures.push_back(Kind);
            return S_OK;
        }).Get(),
        &Token);
    Controller->add_ZoomFactorChanged(
        Callback<ICoreWebView2ZoomFactorChangedEventHandler>([this](ICoreWebView2Controller* Sender,
                                                                    IUnknown*) {
            double Zoom = 0;
            Sender->get_ZoomFactor(&Zoom);
            ZoomChanges.push_back(Zoom);
            return S_OK;
        }).Get(),
        &Token);
    return true;
}

bool TViewHarness::WaitForNavigation(int PreviousCount) {
    return RunUntil([&] { return NavigationsCompleted > PreviousCount; }) && LastNavigationSuccess;
}

bool TViewHarness::NavigateAndWait(const std::string& Uri) {
    const int Before = NavigationsCompleted;
    if (FAILED(View->Navigate(Uri.c_str())))
        return false;
    return WaitForNavigation(Before);
}

TScriptResult TViewHarness::Run(const std::string& Script) {
    TScriptResult Result;
    bool Done = false;
    const HRESULT Code = View->ExecuteScript(
        Script.c_str(),
        Callback<ICoreWebView2ExecuteScriptCompletedHandler>([&](HRESULT Error, const char* Json) {
            Result.Code = Error;
            Result.Json = Json ? Json : "";
            Done = true;
            return S_OK;
        }).Get());
    if (FAILED(Code)) {
        Result.Code = Code;
        return Result;
    }
    RunUntil([&] { return Done; });
    return Result;
}

bool TViewHarness::WaitForMessages(std::size_t Count) {
    return RunUntil([&] { return Messages.size() >= Count; });
}

std::string TViewHarness::Source() {
    char* Uri = nullptr;
    View->get_Source(&Uri);
    return TEngineLibrary::Get().Take(Uri);
}

std::string TViewHarness::Title() {
    char* Title = nullptr;
    View->get_DocumentTitle(&Title);
    return TEngineLibrary::Get().Take(Title);
}

GtkWidget* TViewHarness::EngineChild() const {
    GtkWidget* Child = Host ? gtk_bin_get_child(GTK_BIN(Host->Parent())) : nullptr;
    return Child;
}

GtkWidget* TViewHarness::WebKitWidget() const {
    GtkWidget* Child = EngineChild();
    if (!Child || !GTK_IS_CONTAINER(Child))
        return nullptr;
    GList* Children = gtk_container_get_children(GTK_CONTAINER(Child));
    GtkWidget* Result = Children ? GTK_WIDGET(Children->data) : nullptr;
    g_list_free(Children);
    return Result;
}

std::string PageWithBody(const std::string& Title, const std::string& Body) {
    return "<!DOCTYPE html><html><head><meta charset=\"utf-8\"><title>" + Title + "</title></head><body>" +
           Body + "</body></html>";
}

} // namespace Norvane::Testing::EngineHarness
