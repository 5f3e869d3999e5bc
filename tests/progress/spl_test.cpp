// The protocol of the progress routines: what they do without a window,
// how the work runs under one, how failures and cancels come back. The
// window runs without a terminal here, and on a pseudo-terminal that is
// also standard error, as a user's terminal is.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <csignal>
#include <cstdio>
#include <functional>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "cells/tabrix_error.h"
#include "messages/messages.h"
#include "platform/ui/cursor.h"
#include "platform/ui/modal_window.h"
#include "progress/spl_form.h"
#include "progress/tabrix_spl.h"
#include "tests/platform/ui/pty.h"

namespace tabrix {
namespace {

TABRIX_EXCEPTION_CLASS(EDivByZero, Exception);

using testing::TNoTerminal;
using testing::TPseudoTerminal;

// Standard error into a file for the lifetime of the object.
class TStderrCapture {
public:
    TStderrCapture() {
        FFile = std::tmpfile();
        FFd = ::fileno(FFile);
        std::fflush(stderr);
        FSaved = ::dup(STDERR_FILENO);
        ::dup2(FFd, STDERR_FILENO);
    }
    ~TStderrCapture() {
        Restore();
        std::fclose(FFile);
    }
    std::string Text() {
        Restore();
        std::string text;
        char buf[4096];
        ::lseek(FFd, 0, SEEK_SET);
        for (ssize_t n; (n = ::read(FFd, buf, sizeof buf)) > 0;) text.append(buf, static_cast<size_t>(n));
        return text;
    }

private:
    void Restore() {
        if (FSaved < 0) return;
        std::fflush(stderr);
        ::dup2(FSaved, STDERR_FILENO);
        ::close(FSaved);
        FSaved = -1;
    }
    std::FILE* FFile = nullptr;
    int FFd = -1;
    int FSaved = -1;
};

// A window that only counts the messages it gets: shows whether someone pumped.
class TCountingWindow : public TModalWindow {
public:
    int Handled = 0;

protected:
    void DoMessage(unsigned, intptr_t, intptr_t) override { ++Handled; }
};

// Destroys the released window of the last run.
void PumpReleased() { ProcessMessages(); }

TEST(SplWithoutWindow, RoutinesDoNothingReportNoStopAndPumpNothing) {
    PumpReleased();
    ASSERT_EQ(CurrentSplForm(), nullptr);
    TCountingWindow other;
    other.PostMessage(WM_USER);
    TabrixSplSetStatus("Writing data");
    TabrixSplSetRecCount(1000);
    EXPECT_FALSE(TabrixSplIsStop());
    EXPECT_EQ(other.Handled, 0) << "no window: nothing is pumped";
    EXPECT_EQ(PendingMessageCount(), 1u);
    ProcessMessages();
    EXPECT_EQ(other.Handled, 1);
}

TEST(SplDoWork, TheWorkRunsInsideTheShownWindowAndItsResultComesBack) {
    TNoTerminal none;
    TStderrCapture quiet;
    for (bool expected : {true, false}) {
        bool ran = false;
        TTabrixSplFrm* seen = nullptr;
        bool result = TabrixSplDoWork(
            [&] {
                ran = true;
                seen = CurrentSplForm();
                EXPECT_TRUE(seen && seen->Showing());
                EXPECT_EQ(seen->Caption(), "Sales");
                EXPECT_EQ(seen->StatusValue.Caption, "Getting data");
                EXPECT_EQ(seen->Done.Caption, "Processed");
                EXPECT_EQ(seen->CancelBtn.Caption, "Cancel");
                TabrixSplSetStatus("Writing data");
                TabrixSplSetRecCount(50);
                EXPECT_EQ(seen->StatusValue.Caption, "Writing data");
                EXPECT_EQ(seen->DoneValue.Caption, "50 rows");
                EXPECT_FALSE(TabrixSplIsStop());
                return expected;
            },
            "Sales");
        EXPECT_TRUE(ran);
        EXPECT_EQ(result, expected);
        EXPECT_EQ(CurrentSplForm(), seen) << "the closed window stays current until it is destroyed";
        PumpReleased();
        EXPECT_EQ(CurrentSplForm(), nullptr);
    }
}

TEST(SplDoWork, AnUnassignedWorkProcedureClosesAtOnceWithFalse) {
    TNoTerminal none;
    EXPECT_FALSE(TabrixSplDoWork({}, ""));
    PumpReleased();
    EXPECT_EQ(CurrentSplForm(), nullptr);
}

TEST(SplDoWork, TheWindowTakesTheScreenCursorAndCancelKeepsItsOwn) {
    TNoTerminal none;
    TCursorRestorer restore;
    Screen().SetCursor(crHourGlass);
    TabrixSplDoWork(
        [] {
            EXPECT_EQ(CurrentSplForm()->Cursor, crHourGlass);
            EXPECT_EQ(CurrentSplForm()->PanelCursor, crHourGlass);
            EXPECT_EQ(CurrentSplForm()->CancelCursor, crAppStart);
            return true;
        },
        "");
    PumpReleased();
}

TEST(SplDoWork, AFailingWorkReachesTheCallerAsTabrixErrorWithTheClassName) {
    TNoTerminal none;
    struct TCase {
        std::function<void()> Fail;
        std::string Text;
    } cases[] = {
        {[] { throw EDivByZero("Division by zero"); }, "EDivByZero. Division by zero"},
        {[] { throw ETabrixError("Too many lines. "); }, "ETabrixError. Too many lines. "},
        {[] { throw EFOpenError("Cannot open x"); }, "EFOpenError. Cannot open x"},
        {[] { throw std::runtime_error("boom"); }, "std::runtime_error. boom"},
    };
    for (const TCase& c : cases) {
        try {
            TabrixSplDoWork(
                [&] {
                    c.Fail();
                    return true;
                },
                "x");
            ADD_FAILURE() << "no error for " << c.Text;
        } catch (const ETabrixError& e) {
            EXPECT_EQ(e.Message(), c.Text);
        }
        PumpReleased();
        EXPECT_EQ(CurrentSplForm(), nullptr) << "the window is released after a failure too";
    }
}

TEST(SplDoWork, AnInterruptWithoutTerminalStopsAtTheNextPollAndIsNotAskedTwice) {
    TNoTerminal none;
    TStderrCapture err;
    std::vector<bool> polls;
    AnsiString statusAfter;
    bool result = TabrixSplDoWork(
        [&] {
            TabrixSplSetStatus("Writing data");
            std::raise(SIGINT);  // what Ctrl-C or a supervisor does; pressed at the next pump
            polls.push_back(TabrixSplIsStop());
            polls.push_back(TabrixSplIsStop());
            statusAfter = CurrentSplForm()->StatusValue.Caption;
            std::raise(SIGINT);
            polls.push_back(TabrixSplIsStop());
            polls.push_back(TabrixSplIsStop());
            return !polls.back();
        },
        "");
    PumpReleased();
    EXPECT_FALSE(result);
    EXPECT_EQ(polls, (std::vector<bool>{false, true, true, true}));
    EXPECT_EQ(statusAfter, "Writing data") << "not Pause";
    std::string text = err.Text();
    size_t first = text.find(SSplStopNoTerminal);
    ASSERT_NE(first, std::string::npos) << text;
    EXPECT_EQ(text.find(SSplStopNoTerminal, first + 1), std::string::npos) << "a second cancel asks nothing";
}

TEST(SplDoWork, ANestedRunHandsTheRoutinesBackToTheOuterWindow) {
    TNoTerminal none;
    TTabrixSplFrm* outer = nullptr;
    bool innerResult = false;
    TabrixSplDoWork(
        [&] {
            outer = CurrentSplForm();
            innerResult = TabrixSplDoWork([] { return true; }, "inner");
            EXPECT_EQ(CurrentSplForm(), outer);
            TabrixSplSetRecCount(7);
            EXPECT_EQ(outer->DoneValue.Caption, "7 rows");
            return true;
        },
        "outer");
    PumpReleased();
    EXPECT_TRUE(innerResult);
    EXPECT_EQ(CurrentSplForm(), nullptr);
}

// The user's terminal: the pseudo-terminal is the current terminal and
// standard error, so the window is drawn as a panel on it and Esc asks.
class SplOnTerminal : public ::testing::Test {
protected:
    void SetUp() override {
        if (!pty.Ok()) GTEST_SKIP() << "no pseudo-terminal on this machine";
        std::fflush(stderr);
        FSavedErr = ::dup(STDERR_FILENO);
        int fd = ::open(::ttyname(CurrentTerminal()->Handle()), O_WRONLY | O_NOCTTY);
        ASSERT_GE(fd, 0);
        ::dup2(fd, STDERR_FILENO);
        ::close(fd);
        reader = std::thread([this] { Read(); });
    }
    void TearDown() override {
        stopReading = true;
        if (reader.joinable()) reader.join();
        if (FSavedErr >= 0) {
            ::dup2(FSavedErr, STDERR_FILENO);
            ::close(FSavedErr);
        }
    }
    // Collects what the terminal shows; answers each question with the
    // next of answers.
    void Read() {
        size_t questionsSeen = 0;
        while (!stopReading) {
            std::string chunk = pty.Output();
            std::lock_guard<std::mutex> lock(mutex);
            screen += chunk;
            size_t count = 0;
            for (size_t at = screen.find(SSplAskAbort); at != std::string::npos; at = screen.find(SSplAskAbort, at + 1))
                ++count;
            while (questionsSeen < count) {
                char answer = questionsSeen < answers.size() ? answers[questionsSeen] : 'n';
                ++questionsSeen;
                pty.Type(std::string(1, answer));
            }
        }
    }
    // Types Esc and polls until the stop is seen or the polls run out.
    bool EscAndPoll(int polls) {
        pty.Type("\x1b");
        for (int i = 0; i < polls; ++i) {
            if (TabrixSplIsStop()) return true;
            ::usleep(2000);
        }
        return false;
    }
    std::string Screen() {
        std::lock_guard<std::mutex> lock(mutex);
        return screen;
    }

    TPseudoTerminal pty;
    std::string answers;
    std::thread reader;
    std::atomic<bool> stopReading{false};
    std::mutex mutex;
    std::string screen;

private:
    int FSavedErr = -1;
};

TEST_F(SplOnTerminal, EscAsksAndNoGoesOnWhileYesStopsAndTheRowsSoFarStay) {
    answers = "ny";
    int rows = 0;
    AnsiString statusAfterNo;
    bool result = TabrixSplDoWork(
        [&] {
            TabrixSplSetStatus("Writing data");
            EXPECT_FALSE(EscAndPoll(300)) << "answered No";
            statusAfterNo = CurrentSplForm()->StatusValue.Caption;
            for (; rows < 100; ++rows) TabrixSplSetRecCount(rows);
            if (EscAndPoll(3000)) return false;  // answered Yes
            for (; rows < 1000; ++rows) TabrixSplSetRecCount(rows);
            return true;
        },
        "Sales report");
    PumpReleased();
    EXPECT_FALSE(result);
    EXPECT_EQ(rows, 100) << "the work ended at the stop with the rows it had";
    EXPECT_EQ(statusAfterNo, "Writing data");
    std::string shown = Screen();
    EXPECT_NE(shown.find("Sales report"), std::string::npos);
    EXPECT_NE(shown.find("Processed"), std::string::npos);
    EXPECT_NE(shown.find("99 rows"), std::string::npos);
    size_t pause = shown.find("Pause");
    size_t question = shown.find(SSplAskAbort);
    ASSERT_NE(question, std::string::npos) << shown;
    EXPECT_LT(pause, question) << "the panel shows Pause while it asks";
    EXPECT_NE(shown.find(SSplAskAbortTitle), std::string::npos);
}

TEST_F(SplOnTerminal, AfterAConfirmedStopEscAsksNoMore) {
    answers = "yy";
    std::vector<bool> polls;
    TabrixSplDoWork(
        [&] {
            polls.push_back(EscAndPoll(3000));
            polls.push_back(EscAndPoll(50));
            return true;
        },
        "");
    PumpReleased();
    ::usleep(100000);
    EXPECT_EQ(polls, (std::vector<bool>{true, true}));
    std::string shown = Screen();
    size_t first = shown.find(SSplAskAbort);
    ASSERT_NE(first, std::string::npos) << shown;
    EXPECT_EQ(shown.find(SSplAskAbort, first + 1), std::string::npos);
}

}  // namespace
}  // namespace tabrix
