// The engine library against a bare WebKitGTK program, side by side:
//   load     time from creating the view to the end of loading a small local page
//            (engine: environment, controller, Navigate("file:///index.html")
//            served from memory by the resource handler, NavigationCompleted;
//            bare: a WebKitWebView loading the same page from a file, FINISHED)
//   round    one page -> host -> page message round trip, averaged over many
//            (engine: chrome.webview.postMessage / PostWebMessageAsJson;
//            bare: a script message handler / webkit_web_view_evaluate_javascript)
//   memory   resident memory of this process and its children at the end
// Every sample runs in a fresh process with a fresh profile folder, the two
// kinds taking turns; the engine's view has developer tools off, as the
// browser window sets it without AllowDebug. Run under a display:
//   bash scripts/with-display.sh build/bench/engine/EngineBench [rounds] [round-trips]

#include "tests/engine/EngineHarness.h"

#include <webkit2/webkit2.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <unistd.h>

using namespace Norvane::Testing::EngineHarness;
using Clock = std::chrono::steady_clock;

namespace {

// The page posts a message; each answer from the host makes it post the next,
// until the host has had `total` of them (total - 1 full round trips).
std::string BenchPage(bool Engine) {
    const std::string Post =
        Engine ? "chrome.webview.postMessage(n)" : "webkit.messageHandlers.bench.postMessage(n)";
    const std::string Listen =
        Engine ? "chrome.webview.addEventListener('message', function (e) { answer(e.data); });"
               : "window.__answer = function (d) { answer(d); };";
    return "<!DOCTYPE html><html><head><meta charset=\"utf-8\"><title>bench</title>"
           "<style>body{font-family:sans-serif}</style></head><body><h1>Bench</h1><p>A small local page.</p>"
           "<script>var n = 0, total = 0; function answer(d) { if (++n < total) " +
           Post + "; }" + Listen + "window.startRoundTrips = function (count) { n = 0; total = count; " +
           Post + "; };</script></body></html>";
}

double Ms(Clock::duration D) {
    return std::chrono::duration<double, std::milli>(D).count();
}

// Resident memory (MB) of this process and every process below it.
double ResidentMegabytes() {
    const pid_t Self = getpid();
    std::vector<pid_t> Tree{Self};
    std::vector<std::pair<pid_t, pid_t>> Parents;
    std::vector<std::pair<pid_t, long>> Resident;
    for (const auto& Entry : std::filesystem::directory_iterator("/proc")) {
        const std::string Name = Entry.path().filename().string();
        if (Name.empty() || !std::all_of(Name.begin(), Name.end(), ::isdigit))
            continue;
        std::ifstream Status(Entry.path() / "status");
        std::string Line;
        pid_t Parent = 0;
        long Kilobytes = 0;
        while (std::getline(Status, Line)) {
            if (Line.rfind("PPid:", 0) == 0)
                Parent = static_cast<pid_t>(std::atol(Line.c_str() + 5));
            else if (Line.rfind("VmRSS:", 0) == 0)
                Kilobytes = std::atol(Line.c_str() + 6);
        }
        const auto Pid = static_cast<pid_t>(std::atol(Name.c_str()));
        Parents.emplace_back(Pid, Parent);
        Resident.emplace_back(Pid, Kilobytes);
    }
    for (std::size_t i = 0; i < Tree.size(); ++i)
        for (const auto& [Pid, Parent] : Parents)
            if (Parent == Tree[i])
                Tree.push_back(Pid);
    long Total = 0;
    for (const auto& [Pid, Kilobytes] : Resident)
        if (std::find(Tree.begin(), Tree.end(), Pid) != Tree.end())
            Total += Kilobytes;
    return static_cast<double>(Total) / 1024.0;
}

struct TSample {
    double LoadMs = 0, RoundTripMs = 0, ResidentMb = 0;
    bool Ok = false;
};

// ---- One sample with the engine library ----

TSample EngineSample(int RoundTrips) {
    TSample Sample;
    const auto Start = Clock::now();
    TViewHarness H;
    if (!H.Create(800, 600))
        return Sample;
    H.Pages["file:///index.html"] = {"text/html", BenchPage(true)};
    // As the browser window sets it without AllowDebug; WebKit's developer
    // extras slow every script call down (about 0.2 ms a round trip here).
    H.Settings->put_AreDevToolsEnabled(FALSE);
    if (!H.NavigateAndWait("file:///index.html"))
        return Sample;
    Sample.LoadMs = Ms(Clock::now() - Start);

    // Every message from the page is answered at once.
    EventRegistrationToken Token{};
    auto& Library = TEngineLibrary::Get();
    std::size_t Seen = 0;
    H.View->add_WebMessageReceived(
        Callback<ICoreWebView2WebMessageReceivedEventHandler>(
            [&](ICoreWebView2* Sender, ICoreWebView2WebMessageReceivedEventArgs* Args) {
                char* Json = nullptr;
                Args->get_WebMessageAsJson(&Json);
                Sender->PostWebMessageAsJson(Json);
                Library.Take(Json);
                ++Seen;
                return S_OK;
            })
            .Get(),
        &Token);
    H.Messages.clear();
    const auto Trips = Clock::now();
    H.Run("startRoundTrips(" + std::to_string(RoundTrips) + "); 0");
    if (!RunUntil([&] { return Seen >= static_cast<std::size_t>(RoundTrips); }, 120))
        return Sample;
    Sample.RoundTripMs = Ms(Clock::now() - Trips) / (RoundTrips - 1);
    Sample.ResidentMb = ResidentMegabytes();
    Sample.Ok = true;
    return Sample;
}

// ---- One sample with a bare WebKitGTK program ----

struct TBare {
    WebKitWebView* View = nullptr;
    bool Finished = false;
    std::size_t Seen = 0;
};

void BareLoadChanged(WebKitWebView*, WebKitLoadEvent Event, TBare* Bare) {
    if (Event == WEBKIT_LOAD_FINISHED)
        Bare->Finished = true;
}

void BareMessage(WebKitUserContentManager*, WebKitJavascriptResult* Result, TBare* Bare) {
    gchar* Json = jsc_value_to_json(webkit_javascript_result_get_js_value(Result), 0);
    const std::string Script = std::string("window.__answer(") + (Json ? Json : "null") + ")";
    g_free(Json);
    webkit_web_view_evaluate_javascript(Bare->View, Script.c_str(), -1, nullptr, nullptr, nullptr, nullptr,
                                        nullptr);
    ++Bare->Seen;
}

TSample BareSample(int RoundTrips, const std::string& Folder) {
    TSample Sample;
    const std::string Page = Folder + "/index.html";
    std::ofstream(Page) << BenchPage(false);
    const auto Start = Clock::now();
    TBare Bare;
    WebKitWebsiteDataManager* Manager =
        webkit_website_data_manager_new("base-data-directory", (Folder + "/data").c_str(),
                                        "base-cache-directory", (Folder + "/cache").c_str(), nullptr);
    WebKitWebContext* Context = webkit_web_context_new_with_website_data_manager(Manager);
    WebKitUserContentManager* Content = webkit_user_content_manager_new();
    g_signal_connect(Content, "script-message-received::bench", G_CALLBACK(BareMessage), &Bare);
    webkit_user_content_manager_register_script_message_handler(Content, "bench");
    GtkWidget* Window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    gtk_window_set_default_size(GTK_WINDOW(Window), 800, 600);
    Bare.View = WEBKIT_WEB_VIEW(
        g_object_new(WEBKIT_TYPE_WEB_VIEW, "web-context", Context, "user-content-manager", Content, nullptr));
    g_signal_connect(Bare.View, "load-changed", G_CALLBACK(BareLoadChanged), &Bare);
    gtk_container_add(GTK_CONTAINER(Window), GTK_WIDGET(Bare.View));
    gtk_widget_show_all(Window);
    const std::string Uri = "file://" + Page;
    webkit_web_view_load_uri(Bare.View, Uri.c_str());
    if (!RunUntil([&] { return Bare.Finished; }, 60))
        return Sample;
    Sample.LoadMs = Ms(Clock::now() - Start);

    const auto Trips = Clock::now();
    const std::string Go = "startRoundTrips(" + std::to_string(RoundTrips) + ")";
    webkit_web_view_evaluate_javascript(Bare.View, Go.c_str(), -1, nullptr, nullptr, nullptr, nullptr,
                                        nullptr);
    if (!RunUntil([&] { return Bare.Seen >= static_cast<std::size_t>(RoundTrips); }, 120))
        return Sample;
    Sample.RoundTripMs = Ms(Clock::now() - Trips) / (RoundTrips - 1);
    Sample.ResidentMb = ResidentMegabytes();
    Sample.Ok = true;
    gtk_widget_destroy(Window);
    return Sample;
}

// ---- The driver ----

bool RunSample(const std::string& Self, const std::string& Kind, int RoundTrips, TSample& Sample) {
    char Folder[] = "/tmp/norvane-engine-bench-XXXXXX";
    if (!mkdtemp(Folder))
        return false;
    const std::string Command = "'" + Self + "' --sample " + Kind + " " + std::to_string(RoundTrips) + " '" +
                                Folder + "' 2>/dev/null";
    FILE* Pipe = popen(Command.c_str(), "r");
    bool Ok = false;
    if (Pipe) {
        Ok = std::fscanf(Pipe, "%lf %lf %lf", &Sample.LoadMs, &Sample.RoundTripMs, &Sample.ResidentMb) == 3;
        Ok = pclose(Pipe) == 0 && Ok;
    }
    std::error_code Error;
    std::filesystem::remove_all(Folder, Error);
    return Ok;
}

double Median(std::vector<double> Values) {
    if (Values.empty())
        return 0;
    std::sort(Values.begin(), Values.end());
    const std::size_t Mid = Values.size() / 2;
    return Values.size() % 2 ? Values[Mid] : (Values[Mid - 1] + Values[Mid]) / 2;
}

} // namespace

int main(int argc, char** argv) {
    if (argc == 5 && std::string(argv[1]) == "--sample") {
        if (!gtk_init_check(&argc, &argv))
            return 1;
        const std::string Kind = argv[2];
        const int RoundTrips = std::atoi(argv[3]);
        setenv("WEBVIEW2_USER_DATA_FOLDER", argv[4], 1);
        const TSample Sample = Kind == "engine" ? EngineSample(RoundTrips) : BareSample(RoundTrips, argv[4]);
        if (!Sample.Ok)
            return 2;
        std::printf("%.3f %.5f %.1f\n", Sample.LoadMs, Sample.RoundTripMs, Sample.ResidentMb);
        return 0;
    }
    const int Rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 7;
    const int RoundTrips = argc > 2 ? std::max(10, std::atoi(argv[2])) : 2000;
    const std::string Self = std::filesystem::read_symlink("/proc/self/exe").string();

    std::vector<double> Load[2], Trip[2], Memory[2];
    const char* Kinds[2] = {"bare", "engine"};
    for (int Round = 0; Round < Rounds; ++Round) {
        for (int k = 0; k < 2; ++k) {
            // Alternate which kind goes first, so neither always runs on a warmer machine.
            const int Which = (Round % 2) ? 1 - k : k;
            TSample Sample;
            if (!RunSample(Self, Kinds[Which], RoundTrips, Sample)) {
                std::fprintf(stderr, "sample %s failed (is there a display?)\n", Kinds[Which]);
                return 1;
            }
            Load[Which].push_back(Sample.LoadMs);
            Trip[Which].push_back(Sample.RoundTripMs);
            Memory[Which].push_back(Sample.ResidentMb);
        }
    }
    std::printf("%d rounds, %d round trips each, medians\n", Rounds, RoundTrips);
    std::printf("%-28s %12s %12s %10s\n", "", "bare WebKit", "engine", "ratio");
    // The ratio is the median of each round's own ratio: both kinds of a round
    // ran back to back, under the same load of the machine.
    auto Row = [](const char* Name, const std::vector<double>& Bare, const std::vector<double>& Engine,
                  int Decimals) {
        std::vector<double> Ratios;
        for (std::size_t i = 0; i < Bare.size() && i < Engine.size(); ++i)
            if (Bare[i] > 0)
                Ratios.push_back(Engine[i] / Bare[i]);
        std::printf("%-28s %12.*f %12.*f %9.2fx\n", Name, Decimals, Median(Bare), Decimals, Median(Engine),
                    Median(Ratios));
    };
    Row("load finished (ms)", Load[0], Load[1], 1);
    Row("page<->host round trip (ms)", Trip[0], Trip[1], 4);
    Row("resident, all processes (MB)", Memory[0], Memory[1], 0);
    return 0;
}
