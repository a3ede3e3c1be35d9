#include "tests/windows/WindowsTestSupport.h"

#include "platform/Process.h"
#include "shared/PayloadFormat.h"
#include "shared/StrUtils.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>

#ifdef _WIN32
#include <zip.h>
#else
#include <X11/Xlib.h>
#include <gdk/gdkx.h>
#include <gtk/gtk.h>
#endif

namespace Norvane::Testing::Windows {

namespace fs = std::filesystem;
using namespace Norvane::Testing::FakeEngine;
using Norvane::Testing::EdgeEx::PumpUntil;
using Norvane::Testing::EdgeEx::Settle;

bool HandleRelaunch(int argc, char** argv) {
    if (argc != 3 || std::string(argv[1]) != RelaunchTestID)
        return false;
    if (const char* folder = std::getenv(RelaunchRecordsVariable)) {
        const std::string name = std::string(folder) + "/" + std::to_string(Platform::CurrentProcessId());
        {
            std::ofstream out(name + ".part", std::ios::binary);
            out << argv[2];
        }
        fs::rename(name + ".part", name + ".txt");
    }
    return true;
}

#ifdef _WIN32
// Without the zip tool: libzip writes the same archive (traditional
// encryption with the payload password), as the packer does.
TPayload::TPayload(const std::map<std::string, std::string>& Files) {
    const std::string archive = (FFolder.Path() / "payload.zip").string();
    int error = 0;
    zip_t* zip = zip_open(archive.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
    if (!zip)
        throw std::runtime_error("cannot create " + archive);
    for (const auto& [name, text] : Files) {
        zip_source_t* source = zip_source_buffer(zip, text.data(), text.size(), 0);
        const zip_int64_t index = source ? zip_file_add(zip, name.c_str(), source, ZIP_FL_ENC_UTF_8) : -1;
        if (index < 0 || zip_file_set_encryption(zip, static_cast<zip_uint64_t>(index), ZIP_EM_TRAD_PKWARE,
                                                 Shared::PayloadPassword) != 0) {
            if (index < 0 && source)
                zip_source_free(source);
            zip_discard(zip);
            throw std::runtime_error("cannot add " + name + " to " + archive);
        }
    }
    if (zip_close(zip) != 0) {
        zip_discard(zip);
        throw std::runtime_error("cannot write " + archive);
    }
    const std::vector<std::uint8_t> bytes = Shared::ReadFileBytes(archive);
    FStream.Write(bytes.data(), static_cast<std::int64_t>(bytes.size()));
    FZip.SetPassword(Shared::PayloadPassword);
    FZip.Open(FStream);
}
#else
TPayload::TPayload(const std::map<std::string, std::string>& Files) {
    const fs::path content = FFolder.Path() / "content";
    std::string names;
    for (const auto& [name, text] : Files) {
        const fs::path file = content / name;
        fs::create_directories(file.parent_path());
        WriteFile(file.string(), text);
        names += " " + ShellQuote(name);
    }
    const std::string archive = (FFolder.Path() / "payload.zip").string();
    const CommandResult result =
        RunCommand("cd " + ShellQuote(content.string()) + " && zip -q -X -P " +
                   ShellQuote(Shared::PayloadPassword) + " " + ShellQuote(archive) + names);
    if (result.ExitCode != 0)
        throw std::runtime_error("zip failed: " + result.Output);
    const std::vector<std::uint8_t> bytes = Shared::ReadFileBytes(archive);
    FStream.Write(bytes.data(), static_cast<std::int64_t>(bytes.size()));
    FZip.SetPassword(Shared::PayloadPassword);
    FZip.Open(FStream);
}
#endif

TComPtr<TMessageArgs> JsonMessage(const std::string& Json) {
    return MakeComObject<TMessageArgs>(Json, std::nullopt);
}

TComPtr<TMessageArgs> StringMessage(const std::string& Text) {
    return MakeComObject<TMessageArgs>("\"" + Text + "\"", Text);
}

void FireWebMessage(TMessageArgs* Args) {
    TFakeView* view = Engine().View();
    ASSERT_NE(view, nullptr);
    const auto results = view->Fire<ICoreWebView2WebMessageReceivedEventHandler>("WebMessageReceived", Args);
    ASSERT_EQ(results.size(), 1u);
    EXPECT_EQ(results[0], S_OK);
}

TFakeWebResourceResponse* FireResourceRequest(const std::string& Address, const std::string& Headers) {
    TFakeView* view = Engine().View();
    if (!view)
        return nullptr;
    auto args = MakeComObject<TFakeWebResourceRequestedArgs>(Address);
    args->Request->Headers = Headers;
    view->Fire<ICoreWebView2WebResourceRequestedEventHandler>("WebResourceRequested", args.Get());
    if (!args->Response)
        return nullptr;
    // The response must be one the environment made.
    for (auto& made : Engine().Environment()->Responses)
        if (static_cast<ICoreWebView2WebResourceResponse*>(made.Get()) == args->Response.Get())
            return made.Get();
    ADD_FAILURE() << "the response set for " << Address << " was not made by the environment";
    return nullptr;
}

namespace {
std::size_t TheCallMark = 0;
}

void MarkCalls() {
    TheCallMark = Engine().Calls().size();
}

void ClearCallMark() {
    TheCallMark = 0;
}

std::vector<std::string> DetailsOf(const std::string& Name) {
    std::vector<std::string> details;
    const std::vector<TCall> calls = Engine().Calls();
    for (std::size_t i = TheCallMark; i < calls.size(); ++i)
        if (calls[i].Name == Name)
            details.push_back(calls[i].Detail);
    return details;
}

std::size_t CallCount(const std::string& Name) {
    return DetailsOf(Name).size();
}

#ifdef _WIN32
bool RequestCloseByWindowManager(Platform::Ui::TCustomForm& Form) {
    if (!PumpUntil([&] { return Form.HandleAllocated() && Form.Showing(); }))
        return false;
    return PostCloseCommand(Form.NativeWindow());
}
#else
bool RequestCloseByWindowManager(Platform::Ui::TCustomForm& Form) {
    GtkWidget* widget = GTK_WIDGET(Form.NativeWindow());
    Display* display = GDK_DISPLAY_XDISPLAY(gdk_display_get_default());
    unsigned long xid = 0;
    const bool shown = PumpUntil([&] {
        GdkWindow* window = gtk_widget_get_window(widget);
        xid = window ? GDK_WINDOW_XID(window) : 0;
        XWindowAttributes attributes;
        return xid != 0 && XGetWindowAttributes(display, xid, &attributes) &&
               attributes.map_state == IsViewable;
    });
    if (!shown)
        return false;
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = xid;
    event.xclient.message_type = XInternAtom(display, "_NET_CLOSE_WINDOW", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = CurrentTime;
    event.xclient.data.l[1] = 2; // from a pager or the like
    XSendEvent(display, DefaultRootWindow(display), False, SubstructureRedirectMask | SubstructureNotifyMask,
               &event);
    XFlush(display);
    return true;
}
#endif

bool WaitCreated(Shared::TCustomEdgeBrowser* Browser) {
    using TState = Shared::TCustomEdgeBrowser::TBrowserControlState;
    const bool done = PumpUntil([Browser] { return Browser->BrowserControlState() != TState::Creating; });
    Settle();
    return done;
}

void BrowserWindowFixture::SetUp() {
    Shared::WebView2LoaderPath = NORVANE_FAKE_ENGINE;
    Engine().Reset();
    ClearCallMark();
    EdgeEx::ReportedErrors().clear();
    // Content types from the built-in list only, whatever the system registers.
    Shared::TStrUtils::SetMimeSources({});
}

void BrowserWindowFixture::TearDown() {
    FreeWindow();
    Settle();
    Engine().Reset();
    Shared::TStrUtils::ResetMimeSources();
}

Shared::TBrowserForm*
BrowserWindowFixture::MakeWindow(const TScenario& Scenario,
                                 const std::function<void(Shared::TBrowserForm&)>& Configure) {
    Engine().Reset(Scenario);
    ClearCallMark();
    Window = Platform::Ui::TCustomForm::Create<Shared::TBrowserForm>(nullptr);
    if (Configure)
        Configure(*Window);
    EXPECT_TRUE(WaitCreated(Window->EdgeBrowser()));
    return Window;
}

void BrowserWindowFixture::FreeWindow() {
    delete Window;
    Window = nullptr;
}

} // namespace Norvane::Testing::Windows
