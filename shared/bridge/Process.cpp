// The process functions: spawn, write, closeInput and kill. A started
// program's standard output and standard error are read on threads of their
// own and handed to the page in the order read, as
// qvx.events.onProcessOutput(id, stream, text) calls run from the UI thread,
// then qvx.events.onProcessExit(id, code) once both have ended and the
// process with them.
//
// Bounds: each call carries at most OutputChunk bytes; the text queued for a
// process and not yet taken by the page (its script has not finished) is held
// under OutputCap: beyond it the readers stop reading, so the program waits
// on its full pipe instead of the window's memory growing. Input waits on a
// writer thread of the process, at most InputCap bytes of it.
#include "shared/bridge/BrowserExternalModule.h"

#include "platform/ChildProcess.h"
#include "platform/System.h"
#include "platform/Text.h"
#include "platform/ui/Application.h"

#include <charconv>
#include <condition_variable>
#include <deque>
#include <map>
#include <mutex>
#include <thread>
#include <utility>

namespace Norvane::Shared {

namespace {

constexpr std::size_t OutputChunk = 16 * 1024;
constexpr std::size_t OutputCap = 1024 * 1024;
constexpr std::size_t InputCap = 16 * 1024 * 1024;
constexpr std::size_t MaxProcesses = 64;
constexpr std::size_t MaxArguments = 4096;

// The number of bytes at the end of Bytes that begin a UTF-8 sequence the
// next bytes may complete (0 to 3); they wait for the next chunk.
std::size_t IncompleteTail(std::string_view Bytes) {
    const std::size_t size = Bytes.size();
    for (std::size_t back = 1; back <= 3 && back <= size; ++back) {
        const auto byte = static_cast<unsigned char>(Bytes[size - back]);
        if ((byte & 0xC0) == 0x80)
            continue;
        const std::size_t length = byte >= 0xF5   ? 1
                                   : byte >= 0xF0 ? 4
                                   : byte >= 0xE0 ? 3
                                   : byte >= 0xC0 ? 2
                                                  : 1;
        return length > back ? back : 0;
    }
    return 0;
}

enum class TOutputKind : std::uint8_t { Output, Error, Exit };

struct TOutputItem {
    TOutputKind Kind;
    std::string Text; // the decoded text; empty for the exit
    int Code = 0;     // the exit code
};

struct TInputItem {
    std::string Data;
    std::string Uuid;
    bool Close = false;
};

} // namespace

// One started program. Process is used by its threads and the UI thread:
// ExitCode and Terminate only under Lock; the readers and the writer use
// their own pipes only.
struct TBrowserExternalModule::TProcessEntry {
    long long Id = 0;
    std::unique_ptr<Platform::ChildProcess> Process;
    Platform::WaitHandle EndHandle = Platform::NoWaitHandle;

    std::mutex Lock;
    std::condition_variable Changed;
    // The window went: readers drop what they read, the writer stops.
    bool Closed = false;
    std::deque<TOutputItem> Output;
    // Bytes queued in Output or given to the page and not yet taken.
    std::size_t OutputBytes = 0;
    bool DrainQueued = false;
    std::deque<TInputItem> Input;
    std::size_t InputBytes = 0;
    // closeInput was called: no more writes are taken.
    bool InputClosed = false;
    // Hands the queued output to the page from the UI thread, while the
    // module lives; queued by the first output after a drain.
    std::function<void()> Drain;
};

struct TBrowserExternalModule::TProcessTable {
    std::map<long long, std::shared_ptr<TProcessEntry>> Running;
    long long NextId = 1;

    ~TProcessTable() {
        // The window goes: its programs are ended. Their threads read on to
        // the pipes' end and drop the rest.
        for (auto& [id, entry] : Running) {
            std::lock_guard lock(entry->Lock);
            entry->Closed = true;
            entry->Process->Terminate(true);
            entry->Changed.notify_all();
        }
    }
};

void TBrowserExternalModule::TProcessTableDeleter::operator()(TProcessTable* Table) const {
    delete Table;
}

void TBrowserExternalModule::CreateProcessTable() {
    FProcesses.reset(new TProcessTable);
}

namespace {

using TEntry = TBrowserExternalModule::TProcessEntry;

// Runs Work on the UI thread if the module is still alive then.
void OnUiThread(std::weak_ptr<bool> Alive, std::function<void()> Work) {
    Platform::Ui::Application().Queue([Alive = std::move(Alive), Work = std::move(Work)] {
        if (Alive.lock())
            Work();
    });
}

// Queues output of a reader thread (or the exit) for the page; a reader waits
// here while the page has not taken OutputCap bytes.
void PushOutput(TEntry& Entry, TOutputKind Kind, std::string Text, int Code) {
    std::unique_lock lock(Entry.Lock);
    if (Kind != TOutputKind::Exit)
        Entry.Changed.wait(lock, [&] { return Entry.Closed || Entry.OutputBytes < OutputCap; });
    if (Entry.Closed)
        return;
    Entry.OutputBytes += Text.size();
    Entry.Output.push_back({Kind, std::move(Text), Code});
    if (Entry.DrainQueued)
        return;
    Entry.DrainQueued = true;
    Platform::Ui::Application().Queue(Entry.Drain);
}

} // namespace

void TBrowserExternalModule::DrainProcessOutput(const std::shared_ptr<TProcessEntry>& Entry) {
    std::deque<TOutputItem> items;
    {
        std::lock_guard lock(Entry->Lock);
        items.swap(Entry->Output);
        Entry->DrainQueued = false;
    }
    const std::string id = std::to_string(Entry->Id);
    for (TOutputItem& item : items) {
        std::string script;
        if (item.Kind == TOutputKind::Exit) {
            script = "qvx.events.onProcessExit(" + id + "," + std::to_string(item.Code) + ");";
            FProcesses->Running.erase(Entry->Id);
            std::lock_guard lock(Entry->Lock);
            Entry->Closed = true; // the writer ends
            Entry->Changed.notify_all();
        } else {
            script = "qvx.events.onProcessOutput(" + id + ",\"" +
                     (item.Kind == TOutputKind::Output ? "stdout" : "stderr") + "\"," +
                     Platform::Text::JsonStringLiteral(item.Text, Platform::Text::ScriptJson) + ");";
        }
        // The bytes count as queued until the page's script has run.
        RunPageScript(script, [Weak = std::weak_ptr<TProcessEntry>(Entry), size = item.Text.size()] {
            if (auto entry = Weak.lock()) {
                std::lock_guard lock(entry->Lock);
                entry->OutputBytes -= size;
                entry->Changed.notify_all();
            }
        });
    }
}

void TBrowserExternalModule::RunPageScript(const std::string& Script, std::function<void()> Done) {
    TEdgeBrowser* browser = Browser();
    WebView2::ICoreWebView2* view = browser ? browser->DefaultInterface() : nullptr;
    // Another document (a web page the application went to) hears nothing.
    if (!view || !IsApplicationAddress(browser->LocationURL())) {
        if (Done)
            Done();
        return;
    }
    // Done runs once: from the completion, or here when the engine refused
    // the script without completing it.
    auto once = std::make_shared<std::function<void()>>(std::move(Done));
    auto handler = WebView2::Callback<WebView2::ICoreWebView2ExecuteScriptCompletedHandler>(
        [once](WebView2::HRESULT, const char*) -> WebView2::HRESULT {
            if (auto done = std::exchange(*once, nullptr))
                done();
            return WebView2::S_OK;
        });
    if (view->ExecuteScript(Script.c_str(), handler.Get()) < 0)
        if (auto done = std::exchange(*once, nullptr))
            done();
}

std::shared_ptr<TBrowserExternalModule::TProcessEntry>
TBrowserExternalModule::FindProcess(const TBridgeCall& Call) {
    const std::string text = ReadTextArg(Call.Data, "id");
    long long id = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), id);
    if (text.empty() || error != std::errc() || end != text.data() + text.size())
        throw EBridgeFailure("Missing id");
    const auto found = FProcesses->Running.find(id);
    if (found == FProcesses->Running.end())
        throw EBridgeFailure("No such process");
    return found->second;
}

TBridgeResult TBrowserExternalModule::ProcessSpawn(const TBridgeCall& Call) {
    std::string command = ReadTextArg(Call.Data, "command");
    const std::string workingDir = ReadTextArg(Call.Data, "workingDir");
    AcceptPath(command, "Missing command");
    AcceptPath(workingDir);
    Platform::ProcessStartInfo info;
    // A name with a folder part is a path of the page; a bare name is looked
    // up in PATH.
    info.Arguments.push_back(command.find('/') == std::string::npos ? command : ResolvePagePath(command));
    if (const TJsonValue* args = Call.Data.Find("args"); args && !args->IsNull()) {
        if (!args->IsArray())
            return TBridgeResult::Error("args must be an array of strings");
        if (args->Items().size() > MaxArguments)
            return TBridgeResult::Error("Too many arguments");
        for (const TJsonValue& item : args->Items()) {
            if (!item.IsString())
                return TBridgeResult::Error("args must be an array of strings");
            if (item.Text().find('\0') != std::string::npos)
                return TBridgeResult::Error("Invalid argument");
            info.Arguments.push_back(item.Text());
        }
    }
    if (FProcesses->Running.size() >= MaxProcesses)
        return TBridgeResult::Error("Too many processes");
    info.WorkingDir = workingDir;
    info.CaptureOutput = true;
    info.SeparateErrorOutput = true;
    info.InputPipe = true;
    std::unique_ptr<Platform::ChildProcess> process = Platform::StartProcess(info);
    if (!process)
        return TBridgeResult::Error(Platform::LastErrorMessage());

    auto entry = std::make_shared<TProcessEntry>();
    entry->Id = FProcesses->NextId++;
    entry->Process = std::move(process);
    entry->EndHandle = entry->Process->EndHandle();
    entry->Drain = [this, alive = std::weak_ptr<bool>(FAlive), weak = std::weak_ptr<TProcessEntry>(entry)] {
        auto current = weak.lock();
        if (alive.lock() && current)
            DrainProcessOutput(current);
    };
    FProcesses->Running.emplace(entry->Id, entry);

    // The readers, then the end: a thread that waits for both readers and
    // the process, so that the exit follows the last output.
    auto reader = [entry](TOutputKind Kind) {
        std::string buffer(OutputChunk, '\0');
        std::string pending;
        for (;;) {
            const std::size_t read =
                Kind == TOutputKind::Output
                    ? entry->Process->ReadOutputOfProcess(buffer.data(), buffer.size())
                    : entry->Process->ReadErrorOutputOfProcess(buffer.data(), buffer.size());
            pending.append(buffer.data(), read);
            const std::size_t keep = read == 0 ? 0 : IncompleteTail(pending);
            if (pending.size() > keep) {
                PushOutput(
                    *entry, Kind,
                    Platform::Text::ValidUtf8(std::string_view(pending).substr(0, pending.size() - keep)), 0);
                pending.erase(0, pending.size() - keep);
            }
            if (read == 0)
                return;
        }
    };
    std::thread([entry, reader] {
        std::thread output(reader, TOutputKind::Output);
        std::thread error(reader, TOutputKind::Error);
        output.join();
        error.join();
        int code = Platform::StillActive;
        for (;;) {
            {
                std::lock_guard lock(entry->Lock);
                code = entry->Process->ExitCode();
            }
            if (code != Platform::StillActive)
                break;
            Platform::WaitForHandle(entry->EndHandle, 200);
        }
        PushOutput(*entry, TOutputKind::Exit, {}, code);
    }).detach();

    // The writer: input in the order of the calls, each answered once written.
    std::thread([entry, alive = std::weak_ptr<bool>(FAlive), this] {
        for (;;) {
            TInputItem item;
            {
                std::unique_lock lock(entry->Lock);
                entry->Changed.wait(lock, [&] { return entry->Closed || !entry->Input.empty(); });
                if (entry->Closed) {
                    // The process has ended: the writes still waiting are answered.
                    for (TInputItem& waiting : entry->Input)
                        if (!waiting.Close)
                            OnUiThread(alive, [this, Uuid = std::move(waiting.Uuid)] {
                                FDispatcher.Reply(Uuid, TBridgeResult::Error("The process has ended"));
                            });
                    return;
                }
                item = std::move(entry->Input.front());
                entry->Input.pop_front();
            }
            if (item.Close) {
                entry->Process->CloseInput();
                return;
            }
            const bool written = entry->Process->WriteInput(item.Data.data(), item.Data.size());
            {
                std::lock_guard lock(entry->Lock);
                entry->InputBytes -= item.Data.size();
            }
            OnUiThread(alive, [this, Uuid = std::move(item.Uuid), written] {
                FDispatcher.Reply(Uuid, written
                                            ? TBridgeResult::Boolean(true)
                                            : TBridgeResult::Error("The process does not read its input"));
            });
        }
    }).detach();
    return TBridgeResult::Integer(entry->Id);
}

TBridgeResult TBrowserExternalModule::ProcessWrite(const TBridgeCall& Call) {
    std::shared_ptr<TProcessEntry> entry = FindProcess(Call);
    std::string data = ReadTextArg(Call.Data, "data");
    std::lock_guard lock(entry->Lock);
    if (entry->InputClosed)
        return TBridgeResult::Error("The input is closed");
    if (data.size() > InputCap - entry->InputBytes)
        return TBridgeResult::Error("Too much input waiting");
    entry->InputBytes += data.size();
    entry->Input.push_back({std::move(data), Call.Uuid, false});
    entry->Changed.notify_all();
    return TBridgeResult::NoReply();
}

TBridgeResult TBrowserExternalModule::ProcessCloseInput(const TBridgeCall& Call) {
    std::shared_ptr<TProcessEntry> entry = FindProcess(Call);
    std::lock_guard lock(entry->Lock);
    if (!entry->InputClosed) {
        entry->InputClosed = true;
        entry->Input.push_back({{}, {}, true});
        entry->Changed.notify_all();
    }
    return TBridgeResult::Boolean(true);
}

TBridgeResult TBrowserExternalModule::ProcessKill(const TBridgeCall& Call) {
    std::shared_ptr<TProcessEntry> entry = FindProcess(Call);
    std::lock_guard lock(entry->Lock);
    return TBridgeResult::Boolean(entry->Process->Terminate(true));
}

} // namespace Norvane::Shared
