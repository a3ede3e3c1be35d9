// The page's navigation as the host is told of it: which navigation is under
// way, in which step it is, and what each of the engine's load notifications
// means for it. Pure bookkeeping, without WebKit: the view feeds it the main
// frame's navigation decisions and load steps, and raises the host events the
// tracker answers with. Addresses are given in the host's form.
//
//   Granting ──Decide──▶ Allowed ──Started──▶ Provisional ──Committed──▶ Committed
//                           │                     │  ▲                      │
//                        Cancel                 Failed, Finished          Finished
//                           ▼                     ▼  │ Redirected           ▼
//                         Idle ◀──Finished──── Failing ───Finished──▶ ErrorPagePending
//                           ▲                                              │ Started
//                           └──────────────Finished─────────────────── ErrorPage
//
// A load that starts without a decision the host was told of (one WebKit took
// for a frame's) is reported when it starts; a redirect not decided before
// when it is followed.
#pragma once

#include "webview2/WebView2Base.h"

#include <cstdint>
#include <optional>
#include <string>

namespace Norvane::Engine {

class TNavigationTracker {
public:
    enum class EState : std::uint8_t {
        Granting,         // the view's own first load (the local-file grant); nothing of it is reported
        Idle,             // no navigation of the page under way
        Allowed,          // NavigationStarting raised, the navigation let go; its load has not started
        Provisional,      // its load started; no document committed yet
        Committed,        // its document is loading
        Failing,          // it failed; the engine's end of the load is still to come
        ErrorPagePending, // it ended as failed; the engine is about to load its error page
        ErrorPage,        // the engine's error page is loading (reported by ContentLoading only)
    };

    // What the view raises after a step.
    enum class EReport : std::uint8_t {
        None,
        Starting,         // NavigationStarting of a load that started undecided
        RedirectStarting, // NavigationStarting(IsRedirected) of a redirect followed undecided
        ContentLoading,
        Completed,
    };
    struct TReport {
        EReport Kind = EReport::None;
        std::uint64_t Id = 0;
        bool ErrorPage = false; // ContentLoading: the document is the engine's error page
        bool Success = false;   // Completed
        WebView2::COREWEBVIEW2_WEB_ERROR_STATUS Error = WebView2::COREWEBVIEW2_WEB_ERROR_STATUS_UNKNOWN;
    };

    // The empty document the view loads first to be let open local files.
    static constexpr const char* GrantAddress = "file:///";

    EState State() const { return FState; }
    // The current (or last) navigation's id; 0 before the first.
    std::uint64_t NavigationId() const { return FId; }
    // The address the current navigation was last reported with.
    const std::string& Uri() const { return FUri; }
    bool AnyNavigation() const { return FCounter > 0; }

    // A new navigation the host is told of before the engine may start it.
    std::uint64_t Decide(const std::string& Uri);
    // A redirect of the current navigation the host is told of before it is followed.
    std::uint64_t DecideRedirect(const std::string& Uri);
    // The host cancelled what Decide or DecideRedirect reported; the engine
    // was told to ignore it (a cancelled redirect then fails the load).
    TReport Cancel();
    // The host cancelled a Starting or RedirectStarting reported late; the
    // view stops the load, whose failure and end follow.
    void CancelLate();

    // The engine's steps of the page's load. Uri: the address a load that
    // started undecided is reported with; the address followed.
    TReport Started(const std::string& Uri);
    TReport Redirected(const std::string& Uri);
    TReport Committed();
    // The load of Uri failed. False when the failure is not the current
    // navigation's (an earlier load's, the grant's, the error page's): it is
    // then not reported and no error page should follow.
    bool Failed(const std::string& Uri, WebView2::COREWEBVIEW2_WEB_ERROR_STATUS Error, bool ErrorPageFollows);
    // A status known before the failure that follows (certificate errors).
    void NoteError(WebView2::COREWEBVIEW2_WEB_ERROR_STATUS Error);
    TReport Finished();

private:
    struct TSuperseded {
        EState State;
        std::uint64_t Id;
        std::string Uri;
    };
    std::uint64_t StartNew(const std::string& Uri, EState State);

    EState FState = EState::Granting;
    std::uint64_t FCounter = 0;
    std::uint64_t FId = 0;
    std::string FUri;
    WebView2::COREWEBVIEW2_WEB_ERROR_STATUS FError = WebView2::COREWEBVIEW2_WEB_ERROR_STATUS_UNKNOWN;
    bool FErrorPageFollows = false;
    // Ends (FINISHED) still to come of loads that are not the navigation's.
    unsigned FStaleEnds = 0;
    // The navigation a decided one replaces until that one starts: it goes on
    // when the decided one is cancelled.
    std::optional<TSuperseded> FSuperseded;
};

} // namespace Norvane::Engine
