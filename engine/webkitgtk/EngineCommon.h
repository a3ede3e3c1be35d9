// Shared pieces of the WebKitGTK engine: the interface headers, texts handed
// out to callers, handler lists with registration tokens.
#pragma once

#include "webview2/WebView2.h"
#include "webview2/WebView2Com.h"

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace Norvane::Engine {

using namespace Norvane::WebView2;

// A copy of Text for a caller, to be freed with CoTaskMemFree (the C heap).
inline char* DupText(const std::string& Text) {
    auto* Copy = static_cast<char*>(std::malloc(Text.size() + 1));
    if (Copy)
        std::memcpy(Copy, Text.c_str(), Text.size() + 1);
    return Copy;
}

// Writes a copy of Text to *Result; E_POINTER for a null Result.
inline HRESULT ReturnText(const std::string& Text, char** Result) {
    if (!Result)
        return E_POINTER;
    *Result = DupText(Text);
    return *Result ? S_OK : E_OUTOFMEMORY;
}

template <class T> inline HRESULT ReturnValue(T Value, T* Result) {
    if (!Result)
        return E_POINTER;
    *Result = Value;
    return S_OK;
}

inline BOOL ToBOOL(bool Value) {
    return Value ? 1 : 0;
}

// Registration tokens are unique in the process.
inline INT64 NextRegistrationToken() {
    static std::atomic<INT64> Counter{0};
    return ++Counter;
}

// The handlers registered for one notification, in registration order.
template <class THandler> class TEventList {
public:
    HRESULT Add(THandler* NewHandler, EventRegistrationToken* Token) {
        if (!NewHandler || !Token)
            return E_POINTER;
        Token->value = NextRegistrationToken();
        FEntries.push_back({Token->value, TComPtr<THandler>(NewHandler)});
        return S_OK;
    }
    HRESULT Remove(EventRegistrationToken Token) {
        std::erase_if(FEntries, [&](const TEntry& Entry) { return Entry.Token == Token.value; });
        return S_OK;
    }
    bool Empty() const { return FEntries.empty(); }
    void Clear() { FEntries.clear(); }

    // Calls Invoke(THandler*) for every handler, in order. A handler removed
    // by an earlier one during the same round is skipped; one added during
    // the round waits for the next notification.
    template <class F> void Fire(F&& Invoke) {
        const std::vector<TEntry> Snapshot = FEntries;
        for (const TEntry& Entry : Snapshot) {
            const bool StillThere = std::any_of(FEntries.begin(), FEntries.end(),
                                                [&](const TEntry& E) { return E.Token == Entry.Token; });
            if (StillThere)
                Invoke(Entry.Handler.Get());
        }
    }

private:
    struct TEntry {
        INT64 Token;
        TComPtr<THandler> Handler;
    };
    std::vector<TEntry> FEntries;
};

} // namespace Norvane::Engine
