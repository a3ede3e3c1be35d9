// Forms through the real toolkit and window manager: geometry, constraints,
// placement, border style and state changes while shown, closing, the modal
// loop, embedding and re-creation of the native window.
#include "UiTestSupport.h"

#include "platform/ui/Application.h"
#include "platform/ui/Forms.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

using namespace Norvane::Platform::Ui;
using namespace Norvane::Testing::Ui;

namespace {

bool Contains(const std::vector<std::string>& List, const std::string& Item) {
    return std::find(List.begin(), List.end(), Item) != List.end();
}

// A form that counts its native window creations.
class TCountingForm : public TForm {
public:
    using TForm::TForm;
    int Created = 0;

protected:
    void CreateWnd() override {
        TForm::CreateWnd();
        ++Created;
    }
};

// A windowed control that records the window commands and visibility changes.
class TRecordingControl : public TWinControl {
public:
    using TWinControl::TWinControl;
    std::vector<unsigned> Commands;
    int VisibleChanges = 0;
    int Resizes = 0;
    void SysCommand(unsigned Command) override { Commands.push_back(Command); }

protected:
    void VisibleChanged() override { ++VisibleChanges; }
    void Resize() override {
        ++Resizes;
        TWinControl::Resize();
    }
};

unsigned long ShownXid(TCustomForm& Form) {
    Form.Show();
    EXPECT_TRUE(WaitFor([&] { return HasProperty(XidOf(Form.NativeWindow()), "_NET_FRAME_EXTENTS"); }));
    Pump(100);
    return XidOf(Form.NativeWindow());
}

} // namespace

TEST(UiForms, ClientSizeAndOuterBoundsMatchTheWindowManagersFrame) {
    TForm form;
    form.SetCaption("geometry");
    form.SetPosition(TPosition::poDesigned);
    form.SetBounds(100, 80, 500, 400);
    unsigned long xid = ShownXid(form);
    auto frame = FrameExtents(xid);
    ASSERT_EQ(frame.size(), 4u);
    int frameW = static_cast<int>(frame[0] + frame[1]), frameH = static_cast<int>(frame[2] + frame[3]);
    EXPECT_GT(frameH, 0);
    ASSERT_TRUE(WaitFor([&] { return ClientGeometry(xid).Width == 500 - frameW; }));
    TGeometry g = ClientGeometry(xid);
    EXPECT_EQ(g.Height, 400 - frameH);
    EXPECT_EQ(g.X - frame[0], 100);
    EXPECT_EQ(g.Y - frame[2], 80);
    EXPECT_EQ(form.Width(), 500);
    EXPECT_EQ(form.Height(), 400);
    EXPECT_EQ(form.ClientWidth(), 500 - frameW);
    EXPECT_EQ(form.ClientHeight(), 400 - frameH);

    form.SetClientSize(300, 200);
    ASSERT_TRUE(
        WaitFor([&] { return ClientGeometry(xid).Width == 300 && ClientGeometry(xid).Height == 200; }));
    EXPECT_TRUE(WaitFor([&] { return form.Width() == 300 + frameW && form.Height() == 200 + frameH; }));
    EXPECT_EQ(form.ClientWidth(), 300);
}

TEST(UiForms, ConstraintsLimitTheOuterSizeAlsoForTheWindowManager) {
    TForm form;
    form.SetCaption("constraints");
    form.SetBounds(0, 0, 800, 300);
    form.SetConstraints({900, 0, 0, 500}); // MinWidth 900, MaxHeight 500
    EXPECT_EQ(form.Width(), 900);
    unsigned long xid = ShownXid(form);
    auto frame = FrameExtents(xid);
    int frameW = static_cast<int>(frame[0] + frame[1]), frameH = static_cast<int>(frame[2] + frame[3]);
    ASSERT_TRUE(WaitFor([&] { return ClientGeometry(xid).Width == 900 - frameW; }));
    ASSERT_TRUE(WaitFor([&] {
        TSizeHints hints = NormalHints(xid);
        return hints.MinWidth == 900 - frameW && hints.MaxHeight == 500 - frameH;
    }));
    // A larger size asked for is cut to the limit.
    form.SetBounds(form.Left(), form.Top(), 950, 700);
    EXPECT_EQ(form.Height(), 500);
    EXPECT_TRUE(WaitFor([&] { return ClientGeometry(xid).Height == 500 - frameH; }));
    // Zero removes the limit.
    form.SetConstraints({});
    form.SetBounds(form.Left(), form.Top(), 400, 300);
    EXPECT_TRUE(WaitFor([&] { return ClientGeometry(xid).Width == 400 - frameW; }));
}

TEST(UiForms, DesktopCenterOverridesLeftAndTopOnFirstShow) {
    TForm form;
    form.SetCaption("centred");
    form.SetBounds(10, 10, 400, 300);
    form.SetPosition(TPosition::poDesktopCenter);
    unsigned long xid = ShownXid(form);
    TRect desktop = TScreen::DesktopRect();
    ASSERT_TRUE(WaitFor([&] {
        auto frame = FrameExtents(xid);
        if (frame.size() != 4)
            return false;
        TGeometry g = ClientGeometry(xid);
        int outerX = g.X - static_cast<int>(frame[0]);
        int outerY = g.Y - static_cast<int>(frame[2]);
        return std::abs(outerX - (desktop.Width() - 400) / 2) <= 1 &&
               std::abs(outerY - (desktop.Height() - 300) / 2) <= 1;
    })) << ClientGeometry(xid).X
        << "," << ClientGeometry(xid).Y << " " << ClientGeometry(xid).Width << "x"
        << ClientGeometry(xid).Height << " form " << form.Left() << "," << form.Top() << " " << form.Width()
        << "x" << form.Height();
    EXPECT_NE(form.Left(), 10);
}

TEST(UiForms, BorderStyleChangesWhileShown) {
    TForm form;
    form.SetCaption("border");
    form.SetBounds(50, 50, 400, 300);
    unsigned long xid = ShownXid(form);
    EXPECT_TRUE(Contains(AtomListProperty(xid, "_NET_WM_WINDOW_TYPE"), "_NET_WM_WINDOW_TYPE_NORMAL"));
    EXPECT_TRUE(Contains(AtomListProperty(xid, "_NET_WM_ALLOWED_ACTIONS"), "_NET_WM_ACTION_RESIZE"));

    form.SetBorderStyle(TBorderStyle::bsDialog);
    ASSERT_TRUE(WaitFor([&] {
        return Contains(AtomListProperty(xid, "_NET_WM_WINDOW_TYPE"), "_NET_WM_WINDOW_TYPE_DIALOG") &&
               WindowViewable(xid);
    }));
    EXPECT_TRUE(WaitFor([&] {
        return !Contains(AtomListProperty(xid, "_NET_WM_ALLOWED_ACTIONS"), "_NET_WM_ACTION_RESIZE");
    }));

    form.SetBorderStyle(TBorderStyle::bsNone);
    EXPECT_TRUE(WaitFor([&] {
        auto f = FrameExtents(xid);
        return f.size() == 4 && f[0] == 0 && f[1] == 0 && f[2] == 0 && f[3] == 0 && WindowViewable(xid);
    }));
    EXPECT_EQ(form.FrameWidth() + form.FrameHeight(), 0);

    form.SetBorderStyle(TBorderStyle::bsSizeable);
    EXPECT_TRUE(WaitFor([&] {
        auto f = FrameExtents(xid);
        return f.size() == 4 && f[2] > 0 && WindowViewable(xid) &&
               Contains(AtomListProperty(xid, "_NET_WM_ALLOWED_ACTIONS"), "_NET_WM_ACTION_RESIZE");
    }));
    EXPECT_TRUE(form.Visible());
}

TEST(UiForms, WindowStateSetWhileShownAndFollowedWhenTheUserChangesIt) {
    TForm form;
    form.SetCaption("state");
    form.SetBounds(60, 60, 400, 300);
    auto* control = new TRecordingControl(&form);
    control->SetParent(&form);
    control->SetAlign(TAlign::alClient);
    unsigned long xid = ShownXid(form);

    form.SetWindowState(TWindowState::wsMaximized);
    // A shown window is in the state the window manager reports, once it has made the change.
    EXPECT_EQ(form.WindowState(), TWindowState::wsNormal);
    ASSERT_TRUE(WaitFor(
        [&] { return Contains(AtomListProperty(xid, "_NET_WM_STATE"), "_NET_WM_STATE_MAXIMIZED_VERT"); }));
    EXPECT_TRUE(WaitFor([&] { return form.WindowState() == TWindowState::wsMaximized; }));
    form.SetWindowState(TWindowState::wsNormal);
    ASSERT_TRUE(WaitFor(
        [&] { return !Contains(AtomListProperty(xid, "_NET_WM_STATE"), "_NET_WM_STATE_MAXIMIZED_VERT"); }));
    EXPECT_TRUE(WaitFor([&] { return form.WindowState() == TWindowState::wsNormal; }));

    Pump(200); // let the window manager settle before the next request
    // The user (here: a pager's requests to the window manager).
    SendNetWmState(xid, true, "_NET_WM_STATE_MAXIMIZED_VERT", "_NET_WM_STATE_MAXIMIZED_HORZ");
    EXPECT_TRUE(WaitFor([&] { return form.WindowState() == TWindowState::wsMaximized; }))
        << testing::PrintToString(AtomListProperty(xid, "_NET_WM_STATE"));
    SendNetWmState(xid, false, "_NET_WM_STATE_MAXIMIZED_VERT", "_NET_WM_STATE_MAXIMIZED_HORZ");
    EXPECT_TRUE(WaitFor([&] { return form.WindowState() == TWindowState::wsNormal; }));

    control->Commands.clear();
    SendIconify(xid);
    ASSERT_TRUE(WaitFor([&] { return form.WindowState() == TWindowState::wsMinimized; }));
    EXPECT_TRUE(Contains(AtomListProperty(xid, "_NET_WM_STATE"), "_NET_WM_STATE_HIDDEN"));
    SendActivate(xid);
    ASSERT_TRUE(WaitFor([&] { return form.WindowState() == TWindowState::wsNormal; }));
    std::vector<unsigned> expected{SC_MINIMIZE, SC_RESTORE};
    EXPECT_EQ(control->Commands, expected);

    form.SetWindowState(TWindowState::wsMinimized);
    EXPECT_TRUE(
        WaitFor([&] { return Contains(AtomListProperty(xid, "_NET_WM_STATE"), "_NET_WM_STATE_HIDDEN"); }));
    form.SetWindowState(TWindowState::wsNormal);
    EXPECT_TRUE(WaitFor([&] { return WindowViewable(xid); }));
}

TEST(UiForms, MaximizedFillsTheWorkAreaWhateverTheBorderAndBorderlessTheScreen) {
    TRect work = TScreen::WorkArea();
    auto outerSize = [](unsigned long xid) {
        auto f = FrameExtents(xid);
        TGeometry g = ClientGeometry(xid);
        return f.size() != 4 ? TRect{}
                             : TRect{0, 0, g.Width + static_cast<int>(f[0] + f[1]),
                                     g.Height + static_cast<int>(f[2] + f[3])};
    };
    auto resizable = [](unsigned long xid) {
        return Contains(AtomListProperty(xid, "_NET_WM_ALLOWED_ACTIONS"), "_NET_WM_ACTION_RESIZE");
    };
    // The styles of a fixed size: maximized they fill the work area, restored
    // they are their own size again and fixed (the single border stays
    // resizable for the window manager, which maximizes nothing else, and
    // undoes resizes itself).
    for (TBorderStyle style : {TBorderStyle::bsSingle, TBorderStyle::bsDialog, TBorderStyle::bsToolWindow}) {
        SCOPED_TRACE(static_cast<int>(style));
        TForm form;
        form.SetCaption("fixed");
        form.SetBorderStyle(style);
        form.SetBounds(40, 40, 400, 300);
        unsigned long xid = ShownXid(form);
        form.SetWindowState(TWindowState::wsMaximized);
        EXPECT_TRUE(WaitFor([&] {
            TRect r = outerSize(xid);
            return r.Width() == work.Width() && r.Height() == work.Height() &&
                   form.WindowState() == TWindowState::wsMaximized;
        })) << outerSize(xid).Width()
            << "x" << outerSize(xid).Height();
        form.SetWindowState(TWindowState::wsNormal);
        EXPECT_TRUE(WaitFor([&] {
            TRect r = outerSize(xid);
            return r.Width() == 400 && r.Height() == 300 &&
                   resizable(xid) == (style == TBorderStyle::bsSingle) &&
                   form.WindowState() == TWindowState::wsNormal;
        })) << outerSize(xid).Width()
            << "x" << outerSize(xid).Height();
    }

    // Borderless and maximized is full screen; a border while maximized makes
    // it a maximized window in the work area.
    TForm form;
    form.SetCaption("borderless");
    form.SetBorderStyle(TBorderStyle::bsNone);
    form.SetWindowState(TWindowState::wsMaximized);
    unsigned long xid = ShownXid(form);
    TRect desktop = TScreen::DesktopRect();
    EXPECT_TRUE(WaitFor([&] {
        TGeometry g = ClientGeometry(xid);
        return Contains(AtomListProperty(xid, "_NET_WM_STATE"), "_NET_WM_STATE_FULLSCREEN") && g.X == 0 &&
               g.Y == 0 && g.Width == desktop.Width() && g.Height == desktop.Height();
    }));
    EXPECT_EQ(form.WindowState(), TWindowState::wsMaximized);
    form.SetBorderStyle(TBorderStyle::bsSingle);
    EXPECT_TRUE(WaitFor([&] {
        auto state = AtomListProperty(xid, "_NET_WM_STATE");
        TRect r = outerSize(xid);
        return !Contains(state, "_NET_WM_STATE_FULLSCREEN") &&
               Contains(state, "_NET_WM_STATE_MAXIMIZED_HORZ") && r.Width() == work.Width() &&
               r.Height() == work.Height();
    })) << testing::PrintToString(AtomListProperty(xid, "_NET_WM_STATE"))
        << " " << outerSize(xid).Width() << "x" << outerSize(xid).Height() << " frame "
        << testing::PrintToString(FrameExtents(xid));
}

TEST(UiForms, StayOnTopIsTheWindowManagersAboveState) {
    TForm form;
    form.SetCaption("on top");
    unsigned long xid = ShownXid(form);
    form.SetFormStyle(TFormStyle::fsStayOnTop);
    EXPECT_TRUE(
        WaitFor([&] { return Contains(AtomListProperty(xid, "_NET_WM_STATE"), "_NET_WM_STATE_ABOVE"); }));
    form.SetFormStyle(TFormStyle::fsNormal);
    EXPECT_TRUE(
        WaitFor([&] { return !Contains(AtomListProperty(xid, "_NET_WM_STATE"), "_NET_WM_STATE_ABOVE"); }));
}

TEST(UiForms, CloseAsksOnCloseQueryThenRaisesOnCloseAndActs) {
    TForm form;
    form.SetCaption("closing");
    bool allow = false;
    int queries = 0, closes = 0;
    form.OnCloseQuery = [&](TObject* Sender, bool& CanClose) {
        EXPECT_EQ(Sender, &form);
        ++queries;
        CanClose = allow;
    };
    form.OnClose = [&](TObject*, TCloseAction& Action) {
        ++closes;
        EXPECT_EQ(Action, TCloseAction::caHide);
    };
    unsigned long xid = ShownXid(form);
    // The close box (through the window manager) is refused.
    SendCloseRequest(xid);
    ASSERT_TRUE(WaitFor([&] { return queries == 1; }));
    Pump(100);
    EXPECT_EQ(closes, 0);
    EXPECT_TRUE(form.Visible());
    EXPECT_TRUE(WindowViewable(xid));
    allow = true;
    SendCloseRequest(xid);
    ASSERT_TRUE(WaitFor([&] { return closes == 1; }));
    EXPECT_FALSE(form.Visible());
    EXPECT_TRUE(WaitFor([&] { return !WindowViewable(xid); }));
}

TEST(UiForms, CloseActionFreeReleasesTheFormAndRaisesOnDestroy) {
    bool destroyed = false;
    auto* form = TCustomForm::Create<TForm>();
    form->OnDestroy = [&](TObject*) { destroyed = true; };
    form->OnClose = [](TObject*, TCloseAction& Action) { Action = TCloseAction::caFree; };
    form->Show();
    form->Close();
    EXPECT_TRUE(WaitFor([&] { return destroyed; }));
}

TEST(UiForms, OnCreateRunsOnceAfterConstruction) {
    int created = 0;
    struct TCreatingForm : TForm {
        explicit TCreatingForm(int& Counter) {
            OnCreate = [&Counter, this](TObject* Sender) {
                EXPECT_EQ(Sender, this);
                ++Counter;
            };
        }
    };
    std::unique_ptr<TCreatingForm> form(TCustomForm::Create<TCreatingForm>(created));
    EXPECT_EQ(created, 1);
    form->Show();
    form->AfterConstruction();
    EXPECT_EQ(created, 1);
}

TEST(UiForms, ShowModalReturnsTheModalResultOfAButtonClickedWithThePointer) {
    TForm dialog;
    dialog.SetCaption("modal");
    dialog.SetClientSize(300, 120);
    auto* yes = new TButton(&dialog);
    yes->SetParent(&dialog);
    yes->SetCaption("&Yes");
    yes->SetBounds(20, 40, 100, 34);
    yes->SetModalResult(mrYes);
    EXPECT_EQ(RunModal(dialog, [&] { ClickWidget(GTK_WIDGET(yes->Widget())); }), mrYes);
    EXPECT_FALSE(dialog.Visible());
    EXPECT_FALSE(dialog.IsModal());
}

TEST(UiForms, ShowModalGivesCancelForTheCloseBoxAndKeepsRunningWhileCloseIsRefused) {
    TForm dialog;
    dialog.SetCaption("modal close");
    int queries = 0;
    dialog.OnCloseQuery = [&](TObject*, bool& CanClose) { CanClose = ++queries > 1; };
    When([&] { return queries == 1; }, [&] { SendCloseRequest(XidOf(dialog.NativeWindow())); });
    EXPECT_EQ(RunModal(dialog, [&] { SendCloseRequest(XidOf(dialog.NativeWindow())); }), mrCancel);
    EXPECT_EQ(queries, 2);
}

TEST(UiForms, NestedModalLoops) {
    TForm outer, inner;
    outer.SetCaption("outer");
    inner.SetCaption("inner");
    TModalResult innerResult = mrNone;
    When([&] { return outer.IsModal(); },
         [&] {
             When([&] { return inner.IsModal(); }, [&] { inner.SetModalResult(mrRetry); });
             innerResult = inner.ShowModal();
             // Still inside the outer loop.
             EXPECT_TRUE(outer.IsModal());
             outer.SetModalResult(mrAbort);
         });
    EXPECT_EQ(outer.ShowModal(), mrAbort);
    EXPECT_EQ(innerResult, mrRetry);
}

TEST(UiForms, EmbeddedFormFillsTheParentsClientAreaAndFollowsIt) {
    TForm host;
    host.SetCaption("host");
    host.SetClientSize(400, 300);
    TForm child;
    auto* inner = new TRecordingControl(&child);
    inner->SetParent(&child);
    inner->SetAlign(TAlign::alClient);
    child.SetParent(&host);
    child.SetAlign(TAlign::alClient);
    child.Show();
    EXPECT_TRUE(child.IsEmbedded());
    ShownXid(host);
    ASSERT_TRUE(WaitFor([&] { return child.Width() == 400 && child.Height() == 300; }));
    EXPECT_TRUE(WaitFor([&] { return inner->Width() == 400 && inner->Height() == 300; }));
    EXPECT_EQ(gtk_widget_get_toplevel(GTK_WIDGET(inner->Widget())), GTK_WIDGET(host.NativeWindow()));
    int resizes = inner->Resizes;
    host.SetClientSize(500, 350);
    EXPECT_TRUE(WaitFor([&] { return inner->Width() == 500 && inner->Height() == 350; }));
    EXPECT_GT(inner->Resizes, resizes);
    EXPECT_EQ(inner->GetParentForm(), &host);
    // Back to a window of its own.
    child.SetParent(nullptr);
    EXPECT_FALSE(child.IsEmbedded());
    EXPECT_EQ(gtk_widget_get_toplevel(GTK_WIDGET(inner->Widget())), GTK_WIDGET(child.NativeWindow()));
}

TEST(UiForms, CreateWndRunsForEachNativeWindow) {
    TCountingForm form;
    form.SetCaption("recreate");
    EXPECT_FALSE(form.HandleAllocated());
    unsigned long first = ShownXid(form);
    EXPECT_EQ(form.Created, 1);
    form.RecreateWnd();
    EXPECT_EQ(form.Created, 2);
    ASSERT_TRUE(WaitFor([&] { return HasProperty(XidOf(form.NativeWindow()), "_NET_FRAME_EXTENTS"); }));
    EXPECT_NE(XidOf(form.NativeWindow()), first);
    EXPECT_TRUE(form.Visible());
}

TEST(UiForms, ColoursPaintTheClientAreaIncludingSystemColours) {
    TForm form;
    form.SetCaption("colour");
    form.SetBorderStyle(TBorderStyle::bsNone);
    form.SetPosition(TPosition::poDesigned);
    form.SetBounds(200, 200, 120, 120);
    form.SetColor(0x00336699); // blue 0x33, green 0x66, red 0x99
    unsigned long xid = ShownXid(form);
    TGeometry g = ClientGeometry(xid);
    TPixel p = ScreenPixel(g.X + 60, g.Y + 60);
    EXPECT_EQ(p.R, 0x99);
    EXPECT_EQ(p.G, 0x66);
    EXPECT_EQ(p.B, 0x33);

    form.SetColor(clHotLight);
    TRgb hot = ColorToRgb(clHotLight);
    p = ScreenPixel(g.X + 60, g.Y + 60);
    EXPECT_EQ(p.R, hot.R);
    EXPECT_EQ(p.G, hot.G);
    EXPECT_EQ(p.B, hot.B);
    // System colours come from the theme and differ from each other.
    EXPECT_NE(ColorToRgb(clWindow), ColorToRgb(clHotLight));
    EXPECT_NE(ColorToRgb(clBtnFace), ColorToRgb(clHotLight));
    EXPECT_EQ(ColorToRgb(0x00123456), (TRgb{0x56, 0x34, 0x12}));
}

TEST(UiForms, RoundRectRegionCutsTheCorners) {
    TForm form;
    form.SetCaption("region");
    form.SetBorderStyle(TBorderStyle::bsNone);
    form.SetClientSize(80, 80);
    form.SetColor(0x000000FF);
    form.SetPosition(TPosition::poDesigned);
    form.SetBounds(300, 300, 80, 80);
    ASSERT_TRUE(form.SetWindowRoundRectRegion(0, 0, 81, 81, 12, 12));
    unsigned long xid = ShownXid(form);
    TGeometry g = ClientGeometry(xid);
    ASSERT_EQ(g.Width, 80);
    TPixel inside = ScreenPixel(g.X + 40, g.Y + 40);
    TPixel corner = ScreenPixel(g.X, g.Y);
    EXPECT_EQ(inside.R, 255);
    EXPECT_NE(corner.R, 255); // the root window shows through the cut corner
    TPixel edge = ScreenPixel(g.X + 40, g.Y);
    EXPECT_EQ(edge.R, 255);
}

// A control that counts the exit notices it gets while it is whole.
class TExitCountingControl : public TWinControl {
public:
    using TWinControl::TWinControl;
    int* Exits = nullptr;
    void DoExit() override {
        ++*Exits;
        TWinControl::DoExit();
    }
};

TEST(UiForms, DestroyingTheActiveControlOfAnEmbeddedFormLeavesTheWindowWithoutOne) {
    TForm host;
    host.SetCaption("active-host");
    host.SetClientSize(300, 200);
    auto* child = new TForm(&host);
    child->SetParent(&host);
    child->SetAlign(TAlign::alClient);
    child->Show();
    int exits = 0;
    auto* inner = new TExitCountingControl(child);
    inner->Exits = &exits;
    inner->SetParent(child);
    inner->SetTabStop(true);
    ShownXid(host);
    host.SetActiveControl(inner);
    ASSERT_EQ(host.ActiveControl(), inner);
    delete inner;
    EXPECT_EQ(host.ActiveControl(), nullptr);
    EXPECT_EQ(exits, 0);
    Pump(50);
    // The window goes on normally with another control.
    auto* next = new TExitCountingControl(child);
    next->Exits = &exits;
    next->SetParent(child);
    host.SetActiveControl(next);
    EXPECT_EQ(host.ActiveControl(), next);
    host.SetActiveControl(nullptr);
    EXPECT_EQ(exits, 1);
}
