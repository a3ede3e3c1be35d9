// The navigation tracker's transitions, without WebKit: each row brings a
// fresh tracker to a state by a path of steps, takes one more step and checks
// the state it reaches and what the view is told to raise.
#include "engine/webkitgtk/NavigationTracker.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using namespace Norvane::Engine;
using namespace Norvane::WebView2;
using S = TNavigationTracker::EState;
using R = TNavigationTracker::EReport;

enum class EStep {
    Decide,         // a new navigation announced at its decision
    DecideRedirect, // a redirect announced at its decision
    Cancel,         // the host cancelled what was announced
    CancelLate,     // the host cancelled a start or redirect reported late
    Start,
    StartGrant, // the start of the grant's own load
    Redirect,
    RedirectSame, // the engine's step to the address already reported
    Commit,
    Fail,              // a failure with no error page after it
    FailToErrorPage,   // a failure the engine's error page follows
    FailCancelledElse, // an earlier load of another address, cancelled
    Finish,
};

TNavigationTracker::TReport Take(TNavigationTracker& T, EStep Step) {
    switch (Step) {
    case EStep::Decide:
        return {R::None, T.Decide("file:///b.html")};
    case EStep::DecideRedirect:
        return {R::None, T.DecideRedirect("file:///r.html")};
    case EStep::Cancel:
        return T.Cancel();
    case EStep::CancelLate:
        T.CancelLate();
        return {};
    case EStep::Start:
        return T.Started("file:///s.html");
    case EStep::StartGrant:
        return T.Started(TNavigationTracker::GrantAddress);
    case EStep::Redirect:
        return T.Redirected("file:///moved.html");
    case EStep::RedirectSame:
        return T.Redirected(T.Uri());
    case EStep::Commit:
        return T.Committed();
    case EStep::Fail:
        T.Failed(T.Uri(), COREWEBVIEW2_WEB_ERROR_STATUS_HOST_NAME_NOT_RESOLVED, false);
        return {};
    case EStep::FailToErrorPage:
        T.Failed(T.Uri(), COREWEBVIEW2_WEB_ERROR_STATUS_HOST_NAME_NOT_RESOLVED, true);
        return {};
    case EStep::FailCancelledElse:
        T.Failed("file:///earlier.html", COREWEBVIEW2_WEB_ERROR_STATUS_OPERATION_CANCELED, false);
        return {};
    case EStep::Finish:
        return T.Finished();
    }
    return {};
}

using TPath = std::vector<EStep>;
using enum EStep;
const TPath Granting{};
const TPath Allowed{Decide};
const TPath Provisional{Decide, Start};
const TPath Committed{Decide, Start, Commit};
const TPath Idle{Decide, Start, Commit, Finish};
const TPath Failing{Decide, Start, FailToErrorPage};
const TPath ErrorPagePending{Decide, Start, FailToErrorPage, Finish};
const TPath ErrorPage{Decide, Start, FailToErrorPage, Finish, Start};
// A decided navigation that replaced one still loading.
const TPath Replacing{Decide, Start, Decide};
// A loading navigation with the end of an earlier load still to come.
const TPath StaleEndAhead{Decide, Start, FailCancelledElse};

enum class EId { Any, Same, New, First }; // the report's id against the one before the step (First: id 1)
enum class EFlag { Any, Yes, No };        // Completed: success; ContentLoading: error page

struct TRow {
    TPath Path;
    EStep Step;
    S After;
    R Report;
    EId Id = EId::Any;
    EFlag Flag = EFlag::Any;
};

TEST(EngineNavigationTracker, Transitions) {
    const std::vector<TRow> Rows = {
        {Granting, StartGrant, S::Granting, R::None},
        {Granting, Commit, S::Granting, R::None},
        {Granting, Start, S::Provisional, R::Starting, EId::New},
        {Granting, Decide, S::Allowed, R::None, EId::New},
        {Idle, Decide, S::Allowed, R::None, EId::New},
        {Idle, Start, S::Provisional, R::Starting, EId::New},
        {Idle, Commit, S::Idle, R::ContentLoading, EId::Same, EFlag::No},
        {Idle, Finish, S::Idle, R::None},
        {Idle, Cancel, S::Idle, R::None},
        {Allowed, Start, S::Provisional, R::None},
        {Allowed, Cancel, S::Idle, R::Completed, EId::Same, EFlag::No},
        {Allowed, Finish, S::Allowed, R::None},
        {Provisional, Redirect, S::Provisional, R::RedirectStarting, EId::Same},
        {Provisional, RedirectSame, S::Provisional, R::None},
        {Provisional, DecideRedirect, S::Provisional, R::None, EId::Same},
        {Provisional, Cancel, S::Failing, R::None}, // a refused redirect fails the load
        {Provisional, Start, S::Provisional, R::None},
        {Provisional, Commit, S::Committed, R::ContentLoading, EId::Same, EFlag::No},
        {Provisional, Fail, S::Failing, R::None},
        {Provisional, FailCancelledElse, S::Provisional, R::None},
        {Provisional, Finish, S::Idle, R::Completed, EId::Same, EFlag::Yes},
        {Provisional, Decide, S::Allowed, R::None, EId::New},
        {Committed, Finish, S::Idle, R::Completed, EId::Same, EFlag::Yes},
        {Committed, CancelLate, S::Failing, R::None},
        {Committed, Redirect, S::Committed, R::None},
        {Committed, Start, S::Provisional, R::Starting, EId::New},
        {Failing, Fail, S::Failing, R::None},
        {Failing, FailCancelledElse, S::Failing, R::None},
        {Failing, Finish, S::ErrorPagePending, R::Completed, EId::Same, EFlag::No},
        {ErrorPagePending, Start, S::ErrorPage, R::None},
        {ErrorPagePending, Finish, S::ErrorPagePending, R::None},
        {ErrorPagePending, Decide, S::Allowed, R::None, EId::New},
        {ErrorPage, Commit, S::ErrorPage, R::ContentLoading, EId::Same, EFlag::Yes},
        {ErrorPage, Finish, S::Idle, R::None},
        {ErrorPage, Fail, S::Idle, R::None},
        {ErrorPage, Start, S::Provisional, R::Starting, EId::New},
        // The replaced navigation goes on when the new one is cancelled, and
        // ends as itself when it finishes before the new one starts.
        {Replacing, Cancel, S::Provisional, R::Completed, EId::Same, EFlag::No},
        {{Decide, Start, Decide, Cancel}, Commit, S::Committed, R::ContentLoading, EId::First},
        {Replacing, Finish, S::Allowed, R::Completed, EId::First, EFlag::Yes},
        {Replacing, Start, S::Provisional, R::None},
        {StaleEndAhead, Finish, S::Provisional, R::None},
        {{Decide, Start, FailCancelledElse, Finish}, Finish, S::Idle, R::Completed, EId::Same, EFlag::Yes},
        {{Fail}, Finish, S::Granting, R::None}, // the grant's stop
        {{Decide, Start, Fail}, Finish, S::Idle, R::Completed, EId::Same, EFlag::No},
    };
    for (std::size_t Index = 0; Index < Rows.size(); ++Index) {
        const TRow& Row = Rows[Index];
        TNavigationTracker T;
        for (EStep Step : Row.Path)
            Take(T, Step);
        const std::uint64_t IdBefore = T.NavigationId();
        const TNavigationTracker::TReport Report = Take(T, Row.Step);
        SCOPED_TRACE("row " + std::to_string(Index));
        EXPECT_EQ(T.State(), Row.After);
        EXPECT_EQ(Report.Kind, Row.Report);
        const std::uint64_t Expected = Row.Id == EId::Same ? IdBefore : Row.Id == EId::New ? IdBefore + 1 : 1;
        if (Row.Id != EId::Any) {
            EXPECT_EQ(Report.Id, Expected);
        }
        const bool Flag = Report.Kind == R::Completed ? Report.Success : Report.ErrorPage;
        if (Row.Flag != EFlag::Any) {
            EXPECT_EQ(Flag, Row.Flag == EFlag::Yes);
        }
    }
}

// The status a failed navigation completes with: the first one known.
TEST(EngineNavigationTracker, CompletionCarriesTheFirstKnownError) {
    TNavigationTracker T;
    T.Decide("https://a.example/");
    T.Started("https://a.example/");
    T.NoteError(COREWEBVIEW2_WEB_ERROR_STATUS_CERTIFICATE_EXPIRED);
    T.Failed("https://a.example/", COREWEBVIEW2_WEB_ERROR_STATUS_UNKNOWN, true);
    EXPECT_EQ(T.Finished().Error, COREWEBVIEW2_WEB_ERROR_STATUS_CERTIFICATE_EXPIRED);

    T.Decide("https://b.example/");
    EXPECT_EQ(T.Cancel().Error, COREWEBVIEW2_WEB_ERROR_STATUS_OPERATION_CANCELED);

    T.Decide("https://c.example/");
    T.Started("https://c.example/");
    T.CancelLate();
    EXPECT_TRUE(T.Failed("https://c.example/", COREWEBVIEW2_WEB_ERROR_STATUS_CONNECTION_RESET, true));
    const TNavigationTracker::TReport End = T.Finished();
    EXPECT_EQ(End.Error, COREWEBVIEW2_WEB_ERROR_STATUS_OPERATION_CANCELED);
    EXPECT_EQ(T.State(), S::Idle); // a cancelled load gets no error page
}

} // namespace
