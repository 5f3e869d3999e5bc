#include "platform/ui/msgbox.h"

#include <gtest/gtest.h>
#include <termios.h>

#include "platform/ui/cursor.h"
#include "tests/platform/ui/pty.h"

namespace tabrix {
namespace {

using testing::TNoTerminal;
using testing::TPseudoTerminal;
constexpr TMsgDlgBtn Yes = TMsgDlgBtn::mbYes, No = TMsgDlgBtn::mbNo, OK = TMsgDlgBtn::mbOK,
                     Cancel = TMsgDlgBtn::mbCancel;

TEST(MessageBoxWithoutTerminal, TakesTheDefaultAndWritesTheTextToStandardError) {
    TNoTerminal none;
    ::testing::internal::CaptureStderr();
    TMsgDlgBtn answer = MessageDlg("Do you really want to break the process?", "Confirmation",
                                   TMsgDlgType::mtConfirmation, {Yes, No}, No);
    std::string err = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(answer, No);
    EXPECT_NE(err.find("Confirmation"), std::string::npos);
    EXPECT_NE(err.find("Do you really want to break the process?"), std::string::npos);

    // A default that is not among the buttons falls back to the first one.
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(MessageDlg("x", "", TMsgDlgType::mtWarning, {No, Cancel}, Yes), No);
    std::string second = ::testing::internal::GetCapturedStderr();
    EXPECT_NE(second.find("Warning"), std::string::npos) << "an empty caption names the box's type";
}

TEST(MessageBoxWithoutTerminal, ErrorBoxShowsTheTextAndReturns) {
    TNoTerminal none;
    ::testing::internal::CaptureStderr();
    ShowErrorBox("File \"a.xlsx\" does not exist. ");
    std::string err = ::testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find("[Error] File \"a.xlsx\" does not exist. "), std::string::npos);
}

class MessageBoxOnTerminal : public ::testing::Test {
protected:
    void SetUp() override {
        if (!pty.Ok()) GTEST_SKIP() << "no pseudo-terminal on this machine";
    }
    TMsgDlgBtn Ask(const std::string& keys, TMsgDlgButtons buttons, TMsgDlgBtn def) {
        pty.Type(keys);
        return MessageDlg("Break?", "Confirmation", TMsgDlgType::mtConfirmation, buttons, def);
    }
    TPseudoTerminal pty;
};

TEST_F(MessageBoxOnTerminal, KeysChooseButtons) {
    EXPECT_EQ(Ask("y", {Yes, No}, No), Yes);
    EXPECT_EQ(Ask("N", {Yes, No}, Yes), No);
    EXPECT_EQ(Ask("\r", {Yes, No}, No), No) << "Enter takes the default";
    EXPECT_EQ(Ask("\x1b", {Yes, No}, Yes), No) << "Esc answers No when there is no Cancel";
    EXPECT_EQ(Ask("\x1b", {OK, Cancel}, OK), Cancel);
    EXPECT_EQ(Ask("\x1b", {OK}, OK), OK);
    // Keys that are no button's letter, and cursor keys, are ignored.
    EXPECT_EQ(Ask("qz\x1b[Ay", {Yes, No}, No), Yes);
}

TEST_F(MessageBoxOnTerminal, PromptShowsCaptionTextButtonsAndTheAnswer) {
    Ask("y", {Yes, No}, No);
    std::string out = pty.Output();
    EXPECT_NE(out.find("[Confirmation] Break?"), std::string::npos) << out;
    EXPECT_NE(out.find("Yes/No [No]: "), std::string::npos) << out;
    EXPECT_NE(out.find("Yes\r\n"), std::string::npos) << out;
}

TEST_F(MessageBoxOnTerminal, LeavesTheTerminalAsItFoundIt) {
    Ask("y", {Yes, No}, No);
    EXPECT_FALSE(CurrentTerminal()->InRawMode());
    termios settings{};
    ASSERT_EQ(::tcgetattr(CurrentTerminal()->Handle(), &settings), 0);
    EXPECT_TRUE(settings.c_lflag & ICANON) << "line mode is back";
    EXPECT_TRUE(settings.c_lflag & ECHO) << "echo is back";
    // A box inside a modal window (raw already) keeps raw mode on.
    CurrentTerminal()->EnterRawMode();
    Ask("n", {Yes, No}, Yes);
    EXPECT_TRUE(CurrentTerminal()->InRawMode());
    CurrentTerminal()->LeaveRawMode();
}

TEST_F(MessageBoxOnTerminal, AHungUpTerminalGivesTheDefault) {
    pty.HangUp();
    EXPECT_EQ(MessageDlg("Break?", "Confirmation", TMsgDlgType::mtConfirmation, {Yes, No}, No), No);
}

TEST(ScreenCursor, RestorerPutsBackWhatWasThereEvenOnAnError) {
    Screen().SetCursor(crArrow);
    try {
        TCursorRestorer keep;
        Screen().SetCursor(crHourGlass);
        EXPECT_EQ(Screen().Cursor(), crHourGlass);
        throw 1;
    } catch (int) {}
    EXPECT_EQ(Screen().Cursor(), crArrow);
    Screen().SetCursor(crDefault);
}

}  // namespace
}  // namespace tabrix
