#include "platform/ui/modal_window.h"

#include <gtest/gtest.h>
#include <termios.h>

#include <functional>
#include <string>
#include <vector>

#include "tests/platform/ui/pty.h"

namespace tabrix {
namespace {

using testing::TNoTerminal;
using testing::TPseudoTerminal;

// A window that records what happens to it, in order; its handlers are
// set per test.
class TRecordingForm : public TModalWindow {
public:
    std::vector<std::string>* Log = nullptr;
    std::function<void()> OnShow;
    std::function<void(unsigned, intptr_t)> OnMessage;
    std::function<bool()> OnCloseQuery;
    std::function<void()> OnCancel;
    std::string Name = "form";
    ~TRecordingForm() override {
        if (Log) Log->push_back(Name + " destroyed");
    }

protected:
    void DoShow() override {
        Log->push_back("show");
        if (OnShow) OnShow();
    }
    void DoMessage(unsigned msg, intptr_t wParam, intptr_t) override {
        Log->push_back("msg " + std::to_string(msg - WM_USER) + "/" + std::to_string(wParam));
        if (OnMessage) OnMessage(msg, wParam);
    }
    bool CloseQuery() override {
        Log->push_back("closequery");
        return OnCloseQuery ? OnCloseQuery() : true;
    }
    void CancelPressed() override {
        Log->push_back("cancel");
        if (OnCancel)
            OnCancel();
        else
            Close();
    }
};

using Log = std::vector<std::string>;

TEST(ModalWindow, WorkPostedAtShowRunsInsideTheLoopAndACloseRequestWaitsForTheHandler) {
    TNoTerminal none;
    Log log;
    TRecordingForm form;
    form.Log = &log;
    form.OnShow = [&] { form.PostMessage(WM_USER, 7); };
    form.OnMessage = [&](unsigned, intptr_t) {
        form.Close();
        log.push_back("handler goes on after Close");
        ProcessMessages();  // pumping inside the handler does not close the window either
        log.push_back("handler returns");
        form.SetModalResult(mrOk);
    };
    EXPECT_EQ(form.ShowModal(), mrOk);
    EXPECT_EQ(log, (Log{"show", "msg 0/7", "handler goes on after Close", "handler returns", "closequery"}));
    EXPECT_FALSE(form.Showing());
}

TEST(ModalWindow, RefusedCloseKeepsTheWindowUntilAllowed) {
    TNoTerminal none;
    Log log;
    TRecordingForm form;
    form.Log = &log;
    int asked = 0;
    form.OnShow = [&] { form.PostMessage(WM_USER, 1); };
    form.OnMessage = [&](unsigned, intptr_t n) {
        form.Close();
        if (n < 3) form.PostMessage(WM_USER, n + 1);
    };
    form.OnCloseQuery = [&] { return ++asked == 3; };
    EXPECT_EQ(form.ShowModal(), mrCancel) << "closed without a result means Cancel";
    EXPECT_EQ(log, (Log{"show", "msg 0/1", "closequery", "msg 0/2", "closequery", "msg 0/3", "closequery"}));
}

TEST(ModalWindow, AWindowNobodyCanCloseDoesNotHangWithoutATerminal) {
    TNoTerminal none;
    Log log;
    TRecordingForm form;
    form.Log = &log;
    EXPECT_EQ(form.ShowModal(), mrCancel);
    EXPECT_EQ(log, (Log{"show"}));
}

TEST(MessagePump, HandlesWhatWaitsInOrderAndLeavesWhatHandlersPostForTheNextCall) {
    Log log;
    TRecordingForm form;
    form.Log = &log;
    form.OnMessage = [&](unsigned, intptr_t n) {
        if (n == 1) form.PostMessage(WM_USER, 9);
    };
    form.PostMessage(WM_USER, 1);
    form.PostMessage(WM_USER + 1, 2);
    ProcessMessages();
    EXPECT_EQ(log, (Log{"msg 0/1", "msg 1/2"}));
    EXPECT_EQ(PendingMessageCount(), 1u);
    ProcessMessages();
    EXPECT_EQ(log.back(), "msg 0/9");
    EXPECT_EQ(PendingMessageCount(), 0u);
    ProcessMessages();  // nothing waiting, no window: a no-op
}

TEST(MessagePump, MessagesOfADestroyedWindowAreDropped) {
    Log log;
    {
        TRecordingForm form;
        form.Log = &log;
        form.PostMessage(WM_USER, 1);
    }
    ProcessMessages();
    EXPECT_EQ(log, (Log{"form destroyed"}));
}

TEST(MessagePump, AReleasedWindowLivesUntilTheMessagesBeforeItAreHandled) {
    Log log;
    auto form = std::make_unique<TRecordingForm>();
    form->Log = &log;
    TRecordingForm* raw = form.get();
    raw->PostMessage(WM_USER, 1);
    TModalWindow::Release(std::move(form));
    EXPECT_TRUE(log.empty());
    ProcessMessages();
    EXPECT_EQ(log, (Log{"msg 0/1", "form destroyed"}));
}

TEST(MessagePump, CancelGoesToTheTopModalWindowOnly) {
    TNoTerminal none;
    Log log;
    TRecordingForm outer, inner;
    outer.Log = inner.Log = &log;
    outer.Name = "outer";
    inner.Name = "inner";
    PressCancel();  // no modal window: nothing happens
    outer.OnShow = [&] { outer.PostMessage(WM_USER, 1); };
    outer.OnMessage = [&](unsigned, intptr_t) {
        inner.OnShow = [&] { PressCancel(); };
        inner.ShowModal();
        PressCancel();
    };
    outer.ShowModal();
    EXPECT_EQ(log, (Log{"show", "msg 0/1", "show", "cancel", "closequery", "cancel", "closequery"}));
    log.clear();
}

class ModalWindowOnTerminal : public ::testing::Test {
protected:
    void SetUp() override {
        if (!pty.Ok()) GTEST_SKIP() << "no pseudo-terminal on this machine";
    }
    // Runs a window whose work polls the pump until cancel is pressed or
    // the polls run out; returns whether cancel came.
    bool CancelledBy(const std::string& keys, bool expectCancel) {
        Log log;
        TRecordingForm form;
        form.Log = &log;
        bool cancelled = false;
        form.OnShow = [&] { form.PostMessage(WM_USER); };
        form.OnCancel = [&] { cancelled = true; };
        form.OnMessage = [&](unsigned, intptr_t) {
            rawDuringWork = CurrentTerminal()->InRawMode();
            pty.Type(keys);
            // Keys that should cancel get a long time to arrive on a
            // loaded machine; the others a fair chance to do harm.
            for (int i = 0; i < (expectCancel ? 2000 : 100) && !cancelled; ++i) {
                ::usleep(2000);
                ProcessMessages();
            }
            form.Close();
        };
        form.ShowModal();
        return cancelled;
    }
    TPseudoTerminal pty;
    bool rawDuringWork = false;
};

TEST_F(ModalWindowOnTerminal, EscAndCtrlCPressCancelButOtherKeysDoNot) {
    EXPECT_TRUE(CancelledBy("\x1b", true));
    EXPECT_TRUE(rawDuringWork);
    EXPECT_TRUE(CancelledBy("\x03", true)) << "Ctrl-C arrives as a key in raw mode";
    EXPECT_FALSE(CancelledBy("abc\r", false));
    EXPECT_FALSE(CancelledBy("\x1b[A", false)) << "a cursor key is not Esc";
}

TEST_F(ModalWindowOnTerminal, TerminalIsInLineModeAgainAfterTheWindow) {
    CancelledBy("\x1b", true);
    termios settings{};
    ASSERT_EQ(::tcgetattr(CurrentTerminal()->Handle(), &settings), 0);
    EXPECT_TRUE(settings.c_lflag & ICANON);
    EXPECT_TRUE(settings.c_lflag & ISIG) << "Ctrl-C ends the program again outside a window";
}

}  // namespace
}  // namespace tabrix
