#include "engine/webkitgtk/NavigationTracker.h"

namespace Norvane::Engine {

using namespace WebView2;
using EState = TNavigationTracker::EState;
using EReport = TNavigationTracker::EReport;

std::uint64_t TNavigationTracker::StartNew(const std::string& Uri, EState State) {
    FState = State;
    FId = ++FCounter;
    FUri = Uri;
    FError = COREWEBVIEW2_WEB_ERROR_STATUS_UNKNOWN;
    FErrorPageFollows = false;
    return FId;
}

std::uint64_t TNavigationTracker::Decide(const std::string& Uri) {
    if (FState == EState::Provisional || FState == EState::Committed)
        FSuperseded = TSuperseded{FState, FId, FUri};
    else if (FState != EState::Allowed)
        FSuperseded.reset();
    return StartNew(Uri, EState::Allowed);
}

std::uint64_t TNavigationTracker::DecideRedirect(const std::string& Uri) {
    FUri = Uri; // the engine's REDIRECTED step to it is then no news
    return FId;
}

TNavigationTracker::TReport TNavigationTracker::Cancel() {
    if (FState == EState::Provisional) {
        CancelLate(); // a redirect refused: the load fails
        return {};
    }
    if (FState != EState::Allowed)
        return {};
    const TReport Report{EReport::Completed, FId, false, false,
                         COREWEBVIEW2_WEB_ERROR_STATUS_OPERATION_CANCELED};
    if (FSuperseded) {
        FState = FSuperseded->State;
        FId = FSuperseded->Id;
        FUri = FSuperseded->Uri;
        FSuperseded.reset();
    } else {
        FState = EState::Idle;
    }
    return Report;
}

void TNavigationTracker::CancelLate() {
    if (FState != EState::Provisional && FState != EState::Committed && FState != EState::Failing)
        return;
    FState = EState::Failing;
    if (FError == COREWEBVIEW2_WEB_ERROR_STATUS_UNKNOWN)
        FError = COREWEBVIEW2_WEB_ERROR_STATUS_OPERATION_CANCELED;
    FErrorPageFollows = false;
}

TNavigationTracker::TReport TNavigationTracker::Started(const std::string& Uri) {
    switch (FState) {
    case EState::Granting:
        if (Uri == GrantAddress)
            return {};
        break;
    case EState::Allowed:
        FState = EState::Provisional;
        FSuperseded.reset();
        return {};
    case EState::ErrorPagePending:
        FState = EState::ErrorPage;
        return {};
    case EState::Provisional:
        return {}; // started again (an error page's start came in between)
    default:
        break;
    }
    return {EReport::Starting, StartNew(Uri, EState::Provisional)};
}

TNavigationTracker::TReport TNavigationTracker::Redirected(const std::string& Uri) {
    if (FState != EState::Provisional || Uri == FUri)
        return {};
    FUri = Uri;
    return {EReport::RedirectStarting, FId};
}

TNavigationTracker::TReport TNavigationTracker::Committed() {
    switch (FState) {
    case EState::Granting:
        return {};
    case EState::Provisional:
        FState = EState::Committed;
        break;
    case EState::ErrorPage:
        return {EReport::ContentLoading, FId, true};
    case EState::Allowed:
        if (FSuperseded) { // the navigation the decided one replaces goes on
            FSuperseded->State = EState::Committed;
            return {EReport::ContentLoading, FSuperseded->Id};
        }
        break;
    default:
        break;
    }
    return {EReport::ContentLoading, FId};
}

bool TNavigationTracker::Failed(const std::string& Uri, COREWEBVIEW2_WEB_ERROR_STATUS Error,
                                bool ErrorPageFollows) {
    // A cancelled load of another address is an earlier one the current
    // replaced; a failing navigation's own stop may name any of its addresses.
    const bool Loading = FState == EState::Provisional || FState == EState::Committed;
    const bool Current =
        FState == EState::Failing ||
        (Loading && (Error != COREWEBVIEW2_WEB_ERROR_STATUS_OPERATION_CANCELED || Uri == FUri));
    if (!Current) {
        if (FState == EState::ErrorPage)
            FState = EState::Idle;
        if (FState == EState::Allowed)
            FSuperseded.reset();
        ++FStaleEnds;
        return false;
    }
    if (FState != EState::Failing) // else the first failure (or the host's cancel) stands
        FErrorPageFollows = ErrorPageFollows;
    FState = EState::Failing;
    if (FError == COREWEBVIEW2_WEB_ERROR_STATUS_UNKNOWN)
        FError = Error;
    return true;
}

void TNavigationTracker::NoteError(COREWEBVIEW2_WEB_ERROR_STATUS Error) {
    if (FState == EState::Provisional || FState == EState::Committed)
        FError = Error;
}

TNavigationTracker::TReport TNavigationTracker::Finished() {
    if (FStaleEnds > 0) {
        --FStaleEnds;
        return {};
    }
    switch (FState) {
    case EState::ErrorPage:
        FState = EState::Idle;
        return {};
    case EState::Provisional:
    case EState::Committed:
        FState = EState::Idle;
        return {EReport::Completed, FId, false, true};
    case EState::Failing:
        FState = FErrorPageFollows ? EState::ErrorPagePending : EState::Idle;
        return {EReport::Completed, FId, false, false, FError};
    case EState::Allowed:
        if (FSuperseded) { // the replaced navigation ended before the decided one started
            const std::uint64_t Id = FSuperseded->Id;
            FSuperseded.reset();
            return {EReport::Completed, Id, false, true};
        }
        return {};
    default:
        return {};
    }
}

} // namespace Norvane::Engine
