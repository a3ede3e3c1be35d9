#include "engine/webkitgtk/Environment.h"

#include "engine/webkitgtk/AddressMapping.h"
#include "engine/webkitgtk/EmbeddedExtension.h"
#include "engine/webkitgtk/Foreign.h"
#include "engine/webkitgtk/WebResources.h"
#include "engine/webkitgtk/WebView.h"

#include <dlfcn.h>

#include <map>

namespace Norvane::Engine {

namespace {

// Every request of the application's scheme, from any view of the context.
// Only a view of the engine's own gets an answer; any other view gets nothing
// from the disk.
void OnSchemeRequest(WebKitURISchemeRequest* Request, gpointer) {
    TWebView* Owner = TWebView::FromWebKitView(webkit_uri_scheme_request_get_web_view(Request));
    if (Owner && Owner->HandleSchemeRequest(Request))
        return;
    if (Owner) {
        FinishFromDisk(Request);
        return;
    }
    GError* Error = g_error_new_literal(G_IO_ERROR, G_IO_ERROR_PERMISSION_DENIED,
                                        "Only the application's own views read its addresses");
    webkit_uri_scheme_request_finish_error(Request, Error);
    g_error_free(Error);
}

// The application's pages may show notifications without asking, as they get
// every permission: WebKit would refuse a request made without a user's
// gesture (at load) before the view could answer it.
void OnInitializeNotificationPermissions(WebKitWebContext* Context, gpointer) {
    WebKitSecurityOrigin* Origin = webkit_security_origin_new_for_uri(AppPrefix().c_str());
    GList* Allowed = g_list_prepend(nullptr, Origin);
    webkit_web_context_initialize_notification_permissions(Context, Allowed, nullptr);
    g_list_free(Allowed);
    webkit_security_origin_unref(Origin);
}

// The host loads this library with its own dependencies kept out of the
// program's global scope, which keeps the symbol lookups of WebKit's libraries
// and of the graphics drivers that WebKit's first context loads short. After
// that context, the library and everything it brought join the global scope,
// as in a program linked with WebKitGTK: GTK finds some of its own types by
// name through the program (the widgets its dialogs build from templates, such
// as the font chooser's). Only once; the extra reference is never given back.
void JoinGlobalScope() {
    static bool Joined = false;
    if (Joined)
        return;
    Joined = true;
    Dl_info Self;
    if (!::dladdr(reinterpret_cast<void*>(&JoinGlobalScope), &Self) || !Self.dli_fname ||
        !::dlopen(Self.dli_fname, RTLD_NOW | RTLD_NOLOAD | RTLD_GLOBAL))
        g_warning("The engine library could not join the global symbol scope: %s", ::dlerror());
}

std::map<std::string, TEngineContext*>& Contexts() {
    static auto* Map = new std::map<std::string, TEngineContext*>(); // lives as long as the process
    return *Map;
}

gboolean RunWork(gpointer Data) {
    (*static_cast<std::function<void()>*>(Data))();
    return G_SOURCE_REMOVE;
}

void DeleteWork(gpointer Data) {
    delete static_cast<std::function<void()>*>(Data);
}

} // namespace

void RunOnUiThread(std::function<void()> Work) {
    auto* Job = new std::function<void()>(std::move(Work));
    GSource* Source = g_idle_source_new();
    g_source_set_priority(Source, G_PRIORITY_DEFAULT);
    g_source_set_callback(Source, RunWork, Job, DeleteWork);
    g_source_attach(Source, g_main_context_default());
    g_source_unref(Source);
}

std::string WebKitVersionText() {
    return std::to_string(webkit_get_major_version()) + "." + std::to_string(webkit_get_minor_version()) +
           "." + std::to_string(webkit_get_micro_version());
}

TEngineContext* GetEngineContext(const std::string& DataFolder) {
    auto& Map = Contexts();
    if (auto Found = Map.find(DataFolder); Found != Map.end())
        return Found->second;

    WebKitWebsiteDataManager* Manager =
        DataFolder.empty()
            ? webkit_website_data_manager_new(nullptr)
            : webkit_website_data_manager_new("base-data-directory", (DataFolder + "/WebKit").c_str(),
                                              "base-cache-directory", (DataFolder + "/WebKitCache").c_str(),
                                              nullptr);
    auto* Result = new TEngineContext();
    Result->DataFolder = DataFolder;
    Result->Context = webkit_web_context_new_with_website_data_manager(Manager);
    if (!DataFolder.empty()) {
        const std::string Cookies = DataFolder + "/WebKit/cookies.sqlite";
        webkit_cookie_manager_set_persistent_storage(webkit_website_data_manager_get_cookie_manager(Manager),
                                                     Cookies.c_str(),
                                                     WEBKIT_COOKIE_PERSISTENT_STORAGE_SQLITE);
    }
    g_object_unref(Manager);
    JoinGlobalScope();

    const std::string ExtensionFolder = PrepareExtensionDirectory();
    if (!ExtensionFolder.empty()) {
        webkit_web_context_set_web_extensions_directory(Result->Context, ExtensionFolder.c_str());
        Result->HasExtension = true;
    } else {
        g_warning(
            "the engine's web-process extension could not be set up; absolute file: addresses inside pages "
            "will not be served");
    }

    webkit_web_context_register_uri_scheme(Result->Context, AppScheme, OnSchemeRequest, nullptr, nullptr);
    WatchDownloads(Result->Context, true);
    g_signal_connect(Result->Context, "initialize-notification-permissions",
                     G_CALLBACK(OnInitializeNotificationPermissions), nullptr);
    WebKitSecurityManager* Security = webkit_web_context_get_security_manager(Result->Context);
    // Local: pages of the scheme may reach other local addresses (as file: pages
    // could on Windows); secure: a secure context; CORS-enabled: fetch() and
    // XMLHttpRequest work between its addresses.
    webkit_security_manager_register_uri_scheme_as_local(Security, AppScheme);
    webkit_security_manager_register_uri_scheme_as_secure(Security, AppScheme);
    webkit_security_manager_register_uri_scheme_as_cors_enabled(Security, AppScheme);

    Map.emplace(DataFolder, Result);
    return Result;
}

HRESULT TEnvironment::CreateCoreWebView2Controller(
    void* ParentWindow, ICoreWebView2CreateCoreWebView2ControllerCompletedHandler* Handler) {
    if (!Handler)
        return E_POINTER;
    if (!ParentWindow || !GTK_IS_CONTAINER(ParentWindow))
        return E_INVALIDARG;
    const TComPtr<TEnvironment> Keep(this);
    const TComPtr<ICoreWebView2CreateCoreWebView2ControllerCompletedHandler> Completion(Handler);
    GtkContainer* Parent = GTK_CONTAINER(g_object_ref(ParentWindow));
    RunOnUiThread([Keep, Completion, Parent] {
        auto View = MakeComObject<TWebView>(Keep.Get(), Parent);
        g_object_unref(Parent);
        if (!View->Initialize()) {
            Completion->Invoke(E_FAIL, nullptr);
            return;
        }
        Completion->Invoke(S_OK, static_cast<ICoreWebView2Controller*>(View.Get()));
    });
    return S_OK;
}

HRESULT TEnvironment::CreateWebResourceResponse(IStream* Content, std::int32_t StatusCode,
                                                const char* ReasonPhrase, const char* Headers,
                                                ICoreWebView2WebResourceResponse** Response) {
    if (!Response)
        return E_POINTER;
    *Response = nullptr;
    if (StatusCode < 100 || StatusCode > 999)
        return E_INVALIDARG;
    *Response = new TWebResourceResponse(TComPtr<IStream>(Content), StatusCode,
                                         ReasonPhrase ? ReasonPhrase : "", Headers ? Headers : "");
    return S_OK;
}

HRESULT TEnvironment::get_BrowserVersionString(char** VersionInfo) {
    return ReturnText(WebKitVersionText(), VersionInfo);
}

} // namespace Norvane::Engine
