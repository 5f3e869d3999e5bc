#include "progress/spl_painter.h"

#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>
#include <cerrno>

#include <vector>

#include "platform/ui/terminal.h"
#include "progress/spl_form.h"

namespace tabrix {

namespace {

using TClock = std::chrono::steady_clock;

// Width of the panel in columns, frame included: narrow enough for any
// terminal, wide enough for "Processed  2147483647 rows".
constexpr size_t kPanelWidth = 44;
// Columns of the label part of a row.
constexpr size_t kLabelWidth = 11;

// Length of the UTF-8 sequence that starts with lead, 0 if it is none.
size_t SequenceLength(unsigned char lead) {
    if (lead < 0x80) return 1;
    if (lead >= 0xC2 && lead <= 0xDF) return 2;
    if (lead >= 0xE0 && lead <= 0xEF) return 3;
    if (lead >= 0xF0 && lead <= 0xF4) return 4;
    return 0;
}

bool ValidSequence(std::string_view s, size_t at, size_t len) {
    if (at + len > s.size()) return false;
    for (size_t k = 1; k < len; ++k)
        if ((static_cast<unsigned char>(s[at + k]) & 0xC0) != 0x80) return false;
    auto b1 = static_cast<unsigned char>(len > 1 ? s[at + 1] : 0);
    auto lead = static_cast<unsigned char>(s[at]);
    if (lead == 0xE0 && b1 < 0xA0) return false;   // overlong
    if (lead == 0xED && b1 >= 0xA0) return false;  // surrogate
    if (lead == 0xF0 && b1 < 0x90) return false;   // overlong
    if (lead == 0xF4 && b1 >= 0x90) return false;  // beyond U+10FFFF
    return true;
}

// Code points of printable UTF-8 text (as SplPrintable makes it).
size_t Columns(std::string_view s) {
    size_t n = 0;
    for (char c : s)
        if ((static_cast<unsigned char>(c) & 0xC0) != 0x80) ++n;
    return n;
}

// The first columns code points of printable text, padded with blanks.
std::string Fit(std::string_view s, size_t columns) {
    std::string out;
    size_t n = 0;
    for (size_t i = 0; i < s.size();) {
        size_t len = SequenceLength(static_cast<unsigned char>(s[i]));
        if (n == columns) break;
        out.append(s.substr(i, len));
        i += len;
        ++n;
    }
    out.append(columns - n, ' ');
    return out;
}

class TPanelPainter : public TTabrixSplPainter {
public:
    TPanelPainter(TTerminal& terminal, std::chrono::milliseconds interval) : FTerminal(terminal), FInterval(interval) {}

    void Paint(const TTabrixSplFrm& form, bool force) override {
        TClock::time_point now = TClock::now();
        if (!force && FDrawnLines > 0 && now - FLastPaint < FInterval) return;
        FLastPaint = now;
        std::vector<std::string> lines = Lines(form);
        std::string out = MoveToTop();
        for (const std::string& line : lines) out += "\r\x1b[2K" + line + "\r\n";
        FDrawnLines = lines.size();
        FTerminal.Write(out);
    }

    void Detach() override { FDrawnLines = 0; }

    void Hide(const TTabrixSplFrm&) override {
        if (FDrawnLines == 0) return;
        FTerminal.Write(MoveToTop() + "\r\x1b[J");
        FDrawnLines = 0;
    }

private:
    std::string MoveToTop() const {
        return FDrawnLines > 0 ? "\x1b[" + std::to_string(FDrawnLines) + "A" : std::string();
    }

    static std::string Row(const TTabrixSplLabel& label, const TTabrixSplLabel& value) {
        constexpr size_t inner = kPanelWidth - 4;
        return "| " + Fit(SplPrintable(label.Caption), kLabelWidth) +
               Fit(SplPrintable(value.Caption), inner - kLabelWidth) + " |";
    }

    static std::vector<std::string> Lines(const TTabrixSplFrm& form) {
        std::string title = SplPrintable(form.Caption());
        std::string top = "+";
        if (!title.empty()) {
            title = Fit(title, std::min(Columns(title), kPanelWidth - 6));
            top += "- " + title + " ";
        }
        top.append(kPanelWidth - 1 - Columns(top), '-');
        top += "+";
        std::string button = "[ " + SplPrintable(form.CancelBtn.Caption) + " ]  Esc";
        size_t pad = (kPanelWidth - 4 - std::min(Columns(button), kPanelWidth - 4)) / 2;
        std::string bottom = "+" + std::string(kPanelWidth - 2, '-') + "+";
        return {top,
                Row(form.Status, form.StatusValue),
                Row(form.Done, form.DoneValue),
                Row(form.Time, form.TimeValue),
                Row(form.Speed, form.SpeedValue),
                "| " + Fit(std::string(pad, ' ') + button, kPanelWidth - 4) + " |",
                bottom};
    }

    TTerminal& FTerminal;
    std::chrono::milliseconds FInterval;
    TClock::time_point FLastPaint{};
    size_t FDrawnLines = 0;
};

class TLinePainter : public TTabrixSplPainter {
public:
    TLinePainter(int fd, std::chrono::milliseconds interval) : FFd(fd), FInterval(interval), FLastLine(TClock::now()) {}

    // Forced paints wait their turn too: the log gets at most a line per
    // interval whatever the build reports.
    void Paint(const TTabrixSplFrm& form, bool) override {
        TClock::time_point now = TClock::now();
        if (now - FLastLine < FInterval) return;
        FLastLine = now;
        std::string line = SplStateLine(form) + "\n";
        std::string_view rest = line;
        while (!rest.empty()) {
            ssize_t n = ::write(FFd, rest.data(), rest.size());
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) return;  // a log that takes no more is no reason to stop a build
            rest.remove_prefix(static_cast<size_t>(n));
        }
    }

    void Hide(const TTabrixSplFrm& form) override { Paint(form, false); }

private:
    int FFd;
    std::chrono::milliseconds FInterval;
    TClock::time_point FLastLine;
};

bool SameDevice(int fd1, int fd2) {
    struct stat first = {};
    struct stat second = {};
    if (::fstat(fd1, &first) != 0 || ::fstat(fd2, &second) != 0) return false;
    return S_ISCHR(first.st_mode) && S_ISCHR(second.st_mode) && first.st_rdev == second.st_rdev;
}

// Whether fd writes to the terminal the keys come from. The current
// terminal is usually /dev/tty, whose own device number is not that of the
// terminal it stands for: then fd must be the session's controlling one.
bool WritesToTerminal(int fd, const TTerminal& terminal) {
    if (!::isatty(fd)) return false;
    if (SameDevice(fd, terminal.Handle())) return true;
    pid_t session = ::tcgetsid(fd);
    return session != -1 && session == ::getsid(0) && ::tcgetsid(terminal.Handle()) == session;
}

}  // namespace

std::string SplPrintable(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size();) {
        auto c = static_cast<unsigned char>(text[i]);
        size_t len = SequenceLength(c);
        if (len == 0 || !ValidSequence(text, i, len)) {
            out += '?';
            ++i;
            continue;
        }
        bool control = c < 0x20 || c == 0x7F ||
                       (c == 0xC2 && static_cast<unsigned char>(text[i + 1]) < 0xA0);  // C1: U+0080..U+009F
        if (control)
            out += ' ';
        else
            out.append(text.substr(i, len));
        i += len;
    }
    return out;
}

std::string SplStateLine(const TTabrixSplFrm& form) {
    std::string line;
    if (!form.Caption().empty()) line = SplPrintable(form.Caption()) + ": ";
    auto item = [&](const TTabrixSplLabel& label, const TTabrixSplLabel& value, const char* after) {
        line += SplPrintable(label.Caption) + " " + SplPrintable(value.Caption) + after;
    };
    item(form.Status, form.StatusValue, "; ");
    item(form.Done, form.DoneValue, "; ");
    item(form.Time, form.TimeValue, "; ");
    item(form.Speed, form.SpeedValue, "");
    return line;
}

std::unique_ptr<TTabrixSplPainter> NewSplPanelPainter(TTerminal& terminal, std::chrono::milliseconds redrawInterval) {
    return std::make_unique<TPanelPainter>(terminal, redrawInterval);
}

std::unique_ptr<TTabrixSplPainter> NewSplLinePainter(int fd, std::chrono::milliseconds interval) {
    return std::make_unique<TLinePainter>(fd, interval);
}

std::unique_ptr<TTabrixSplPainter> NewSplPainter() {
    TTerminal* terminal = CurrentTerminal();
    if (terminal && !terminal->Closed() && WritesToTerminal(STDERR_FILENO, *terminal))
        return NewSplPanelPainter(*terminal, std::chrono::milliseconds(100));
    return NewSplLinePainter(STDERR_FILENO, std::chrono::seconds(1));
}

}  // namespace tabrix
