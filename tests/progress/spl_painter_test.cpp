// What the progress window shows: the texts of its rows, the panel on a
// terminal and the plain lines of a log, which carry no control characters
// whatever a form's caption holds.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <limits>
#include <string>
#include <thread>

#include "progress/spl_form.h"
#include "progress/spl_painter.h"
#include "progress/tabrix_spl.h"
#include "tests/platform/ui/pty.h"

namespace tabrix {
namespace {

constexpr double kSecond = 1.0 / (24 * 60 * 60);

TEST(SplCountTexts, CountTimeAndSpeed) {
    struct TCase {
        int32_t Count;
        double Days;
        const char* Done;
        const char* Time;
        const char* Speed;
    } cases[] = {
        {0, 0, "0 rows", "0:00:00", "0 rows/sec"},
        {5000, 0, "5000 rows", "0:00:00", "0 rows/sec"},  // no time has passed
        {1000, 8 * kSecond, "1000 rows", "0:00:08", "125 rows/sec"},
        {5, 2 * kSecond, "5 rows", "0:00:02", "2 rows/sec"},  // 2.5: half to even
        {7, 2 * kSecond, "7 rows", "0:00:02", "4 rows/sec"},  // 3.5: half to even
        {7200, 3725 * kSecond, "7200 rows", "1:02:05", "2 rows/sec"},
        // Whole days are not shown, neither in the time nor in the speed.
        {3600, 1 + 3600 * kSecond, "3600 rows", "1:00:00", "1 rows/sec"},
        {std::numeric_limits<int32_t>::max(), 1e-9 * kSecond, "2147483647 rows", "0:00:00", "2147483647 rows/sec"},
    };
    for (const TCase& c : cases) {
        TTabrixSplCountTexts texts = TabrixSplCountTexts(c.Count, c.Days);
        EXPECT_EQ(texts.DoneValue, c.Done) << c.Count;
        EXPECT_EQ(texts.TimeValue, c.Time) << c.Count;
        EXPECT_EQ(texts.SpeedValue, c.Speed) << c.Count;
    }
}

TEST(SplPrintable, ControlCharactersBecomeBlanksAndBrokenUtf8BecomesQuestionMarks) {
    struct TCase {
        const char* In;
        const char* Out;
    } cases[] = {
        {"Sales 2026", "Sales 2026"},
        {"Grüße – ½", "Grüße – ½"},
        {"\x1b[2J\x1b]0;owned\x07", " [2J ]0;owned "},
        {"a\tb\rc\nd\x7f", "a b c d "},
        {"x\xc2\x9b"
         "31m",
         "x 31m"},  // C1 CSI as UTF-8
        {"\xff\xfe", "??"},
        {"\xe2\x82", "??"},       // cut sequence
        {"\xc0\xaf", "??"},       // overlong "/"
        {"\xed\xa0\x80", "???"},  // surrogate
    };
    for (const TCase& c : cases) EXPECT_EQ(SplPrintable(c.In), c.Out) << c.In;
}

// A form with texts, as TabrixSplDoWork sets them up (not shown).
void FillForm(TTabrixSplFrm& form, const std::string& caption) {
    form.SetCaption(caption);
    form.StatusValue.Caption = "Writing data";
    form.DoneValue.Caption = "1000 rows";
    form.TimeValue.Caption = "0:00:08";
    form.SpeedValue.Caption = "125 rows/sec";
}

TEST(SplStateLine, NamesEveryRowAndOmitsAnEmptyCaption) {
    TTabrixSplFrm form;
    FillForm(form, "Sales");
    EXPECT_EQ(SplStateLine(form), "Sales: Status Writing data; Processed 1000 rows; Time 0:00:08; Speed 125 rows/sec");
    form.SetCaption("");
    EXPECT_EQ(SplStateLine(form), "Status Writing data; Processed 1000 rows; Time 0:00:08; Speed 125 rows/sec");
}

TEST(SplLinePainter, AtMostOneLinePerIntervalAndNoControlCharacters) {
    int fds[2];
    ASSERT_EQ(::pipe(fds), 0);
    ::fcntl(fds[0], F_SETFL, O_NONBLOCK);
    TTabrixSplFrm form;
    FillForm(form, "Evil\x1b[2J\rcaption");
    auto interval = std::chrono::milliseconds(100);
    auto painter = NewSplLinePainter(fds[1], interval);
    auto start = std::chrono::steady_clock::now();
    painter->Paint(form, true);  // at once: nothing yet, the first line comes after one interval
    int paints = 0;
    while (std::chrono::steady_clock::now() - start < std::chrono::milliseconds(450)) {
        painter->Paint(form, ++paints % 2 == 0);
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    double elapsedIntervals = std::chrono::duration<double>(std::chrono::steady_clock::now() - start) / interval;
    std::string out;
    char buf[4096];
    for (ssize_t n; (n = ::read(fds[0], buf, sizeof buf)) > 0;) out.append(buf, static_cast<size_t>(n));
    ::close(fds[0]);
    ::close(fds[1]);

    int lines = 0;
    for (char c : out) {
        if (c == '\n')
            ++lines;
        else
            EXPECT_GE(static_cast<unsigned char>(c), 0x20) << "control character in " << out;
    }
    EXPECT_GE(lines, 1);
    EXPECT_LE(lines, static_cast<int>(elapsedIntervals)) << out;
    EXPECT_EQ(out.substr(0, out.find('\n')),
              "Evil [2J caption: Status Writing data; Processed 1000 rows; Time 0:00:08; Speed 125 rows/sec");
}

TEST(SplPanelPainter, DrawsTheRowsInPlaceAndErasesThemAtTheEnd) {
    testing::TPseudoTerminal pty;
    if (!pty.Ok()) GTEST_SKIP() << "no pseudo-terminal on this machine";
    TTabrixSplFrm form;
    FillForm(form, "Sales report");
    auto painter = NewSplPanelPainter(*CurrentTerminal(), std::chrono::milliseconds(0));
    painter->Paint(form, true);
    std::string first = pty.Output();
    for (const char* text : {"Sales report", "Status", "Writing data", "Processed", "1000 rows", "Time", "0:00:08",
                             "Speed", "125 rows/sec", "[ Cancel ]"})
        EXPECT_NE(first.find(text), std::string::npos) << text;
    EXPECT_EQ(first.find("\x1b[7A"), std::string::npos) << "the first drawing moves nothing";

    form.DoneValue.Caption = "2000 rows";
    painter->Paint(form, false);
    std::string second = pty.Output();
    EXPECT_EQ(second.rfind("\x1b[7A", 0), 0u) << "redrawn over the panel's seven lines";
    EXPECT_NE(second.find("2000 rows"), std::string::npos);

    painter->Detach();  // a question was written below
    painter->Paint(form, true);
    EXPECT_EQ(pty.Output().find("\x1b[7A"), std::string::npos) << "drawn anew below the question";

    painter->Hide(form);
    EXPECT_EQ(pty.Output(), "\x1b[7A\r\x1b[J");
}

TEST(SplPanelPainter, RowsKeepTheirWidthWhateverTheTexts) {
    testing::TPseudoTerminal pty;
    if (!pty.Ok()) GTEST_SKIP() << "no pseudo-terminal on this machine";
    TTabrixSplFrm form;
    FillForm(form, std::string(200, 'x'));
    form.StatusValue.Caption = "Größe " + std::string(100, 'y');
    auto painter = NewSplPanelPainter(*CurrentTerminal(), std::chrono::milliseconds(0));
    painter->Paint(form, true);
    std::string out = pty.Output();
    size_t lineCount = 0;
    for (size_t at = 0; (at = out.find("\x1b[2K", at)) != std::string::npos; ++lineCount) {
        at += 4;
        std::string line = out.substr(at, out.find('\r', at) - at);
        size_t columns = 0;
        for (char c : line)
            if ((static_cast<unsigned char>(c) & 0xC0) != 0x80) ++columns;
        EXPECT_EQ(columns, 44u) << line;
    }
    EXPECT_EQ(lineCount, 7u);
}

}  // namespace
}  // namespace tabrix
