#include "shared/bridge/BridgeDispatcher.h"

#include <cstdio>
#include <stdexcept>

namespace Norvane::Shared {

std::string RuntimeOnlyRefusal(std::string_view Name) {
    return "Calls to " + std::string(Name) + "() works only at runtime.";
}

void TBridgeDispatcher::Register(TBridgeFunction Function, TBridgeHandler Handler) {
    const std::int32_t id = Function.Id;
    if (id <= 0 || FTable.count(id) != 0)
        throw std::invalid_argument("bridge function " + std::to_string(id) +
                                    " cannot be put into the table");
    FTable.emplace(id, TEntry{std::move(Function), std::move(Handler)});
}

void TBridgeDispatcher::Serve(std::int32_t Id, TBridgeHandler Handler) {
    const auto entry = FTable.find(Id);
    if (entry == FTable.end())
        throw std::invalid_argument("bridge function " + std::to_string(Id) + " is not in the table");
    entry->second.Handler = std::move(Handler);
}

const TBridgeFunction* TBridgeDispatcher::Find(std::int32_t Id) const {
    const auto entry = FTable.find(Id);
    return entry == FTable.end() ? nullptr : &entry->second.Function;
}

bool TBridgeDispatcher::IsServed(std::int32_t Id) const {
    const auto entry = FTable.find(Id);
    return entry != FTable.end() && entry->second.Handler != nullptr;
}

std::vector<TBridgeFunction> TBridgeDispatcher::Functions() const {
    std::vector<TBridgeFunction> functions;
    for (const auto& [id, entry] : FTable)
        functions.push_back(entry.Function);
    return functions;
}

void TBridgeDispatcher::HandleWebMessage(std::string_view Source, std::string_view MessageAsString,
                                         std::string_view MessageAsJson) {
    if (!IsApplicationAddress(Source)) {
        std::fprintf(stderr, "norvane: refused a bridge message from %.*s\n", static_cast<int>(Source.size()),
                     Source.data());
        return;
    }
    if (!FHost.IsRuntimeMode() && MessageAsString == BrowserClickedMessage) {
        FHost.FocusBrowser();
        return;
    }

    const TBridgeRequest request = ParseBridgeRequest(MessageAsJson);

    std::int32_t id = 0;
    if (!TryParseInt32(request.IdText, id))
        return;

    const auto entry = FTable.find(id);
    if (entry == FTable.end()) {
        if (FReportFailures)
            std::fprintf(stderr, "norvane: no bridge function %d; the call gets no answer\n", id);
        return;
    }
    if (FReportFailures) {
        if (FPendingCalls.size() >= 4096)
            FPendingCalls.clear();
        FPendingCalls[request.Uuid] = entry->second.Function.ScriptName;
    }
    if (entry->second.Function.RuntimeOnly && !FHost.IsRuntimeMode()) {
        FHost.ShowRefusal(entry->second.Function.RefusalText);
        return;
    }
    // A copy: a modal window of the function may let further messages (and
    // registrations) through before it returns.
    const TBridgeHandler run = entry->second.Handler;
    if (!run)
        return;
    TBridgeResult result = TBridgeResult::NoReply();
    try {
        result = run(TBridgeCall{request.Uuid, request.Data});
    } catch (const EBridgeFailure& failure) {
        result = TBridgeResult::Error(failure.what());
    }
    Reply(request.Uuid, result);
}

void TBridgeDispatcher::Reply(std::string_view Uuid, const TBridgeResult& Result) {
    if (Result.Replies())
        SendReply(Uuid, Result.Json(), Result.Success());
}

void TBridgeDispatcher::SendReply(std::string_view Uuid, std::string_view Result, bool Success) {
    if (FReportFailures) {
        const auto call = FPendingCalls.find(std::string(Uuid));
        if (!Success)
            std::fprintf(stderr, "norvane: %s failed: %.*s\n",
                         call != FPendingCalls.end() ? call->second.c_str() : "a bridge call",
                         static_cast<int>(Result.size()), Result.data());
        if (call != FPendingCalls.end())
            FPendingCalls.erase(call);
    }
    FHost.PostWebMessageAsJson(FormatBridgeReply(Uuid, Result, Success));
}

} // namespace Norvane::Shared
