#include "platform/ui/terminal.h"

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>
#include <cerrno>

namespace tabrix {

struct TTerminal::Saved {
    termios Settings{};
};

TTerminal::TTerminal(int fd) : FFd(fd) {}

std::unique_ptr<TTerminal> TTerminal::Open(const std::string& path) {
    int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) return nullptr;
    if (!::isatty(fd)) {
        ::close(fd);
        return nullptr;
    }
    return std::unique_ptr<TTerminal>(new TTerminal(fd));
}

TTerminal::~TTerminal() {
    if (FRawDepth > 0) {
        FRawDepth = 1;
        LeaveRawMode();
    }
    ::close(FFd);
}

void TTerminal::Write(std::string_view text) {
    while (!text.empty()) {
        ssize_t n = ::write(FFd, text.data(), text.size());
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return;  // a terminal that takes no output is not worth an error
        text.remove_prefix(static_cast<size_t>(n));
    }
}

std::string TTerminal::ReadPending(int timeoutMs) {
    std::string result;
    if (FClosed) return result;
    pollfd p{FFd, POLLIN, 0};
    int ready = ::poll(&p, 1, timeoutMs);
    if (ready <= 0) return result;
    if ((p.revents & POLLIN) == 0) {
        if (p.revents & (POLLHUP | POLLERR | POLLNVAL)) FClosed = true;
        return result;
    }
    char buf[256];
    for (;;) {
        ssize_t n = ::read(FFd, buf, sizeof buf);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && errno != EAGAIN) FClosed = true;  // EIO: the other side of the terminal is gone
        if (n == 0 && result.empty()) FClosed = true;  // readable yet nothing to read: end of input or hang-up
        if (n > 0) result.append(buf, static_cast<size_t>(n));
        // Only what is there now: one read, then look again without waiting.
        if (n != static_cast<ssize_t>(sizeof buf)) break;
        pollfd again{FFd, POLLIN, 0};
        if (::poll(&again, 1, 0) <= 0 || (again.revents & POLLIN) == 0) break;
    }
    return result;
}

void TTerminal::EnterRawMode() {
    if (FRawDepth++ > 0) return;
    auto saved = std::make_unique<Saved>();
    if (::tcgetattr(FFd, &saved->Settings) != 0) return;
    termios raw = saved->Settings;
    raw.c_lflag &= ~static_cast<tcflag_t>(ICANON | ECHO | ISIG | IEXTEN);
    raw.c_iflag &= ~static_cast<tcflag_t>(IXON | ICRNL);
    raw.c_cc[VMIN] = 0;
    raw.c_cc[VTIME] = 0;
    if (::tcsetattr(FFd, TCSANOW, &raw) == 0) FSaved = std::move(saved);
}

void TTerminal::LeaveRawMode() {
    if (FRawDepth == 0 || --FRawDepth > 0) return;
    if (FSaved) {
        ::tcsetattr(FFd, TCSANOW, &FSaved->Settings);
        FSaved.reset();
    }
}

std::string KeysOf(std::string_view input) {
    std::string keys;
    for (size_t i = 0; i < input.size(); ++i) {
        char c = input[i];
        if (c == 0x1B && i + 1 < input.size() && input[i + 1] == '[') {
            i += 2;  // CSI: parameters up to a final byte in @..~
            while (i < input.size() && !(input[i] >= 0x40 && input[i] <= 0x7E)) ++i;
            continue;
        }
        if (c == 0x1B && i + 1 < input.size() && input[i + 1] == 'O') {
            i += 2;  // SS3: one more byte
            continue;
        }
        keys += c;
    }
    return keys;
}

namespace {

struct TerminalSlot {
    bool Probed = false;
    std::unique_ptr<TTerminal> Terminal;
};

TerminalSlot& Slot() {
    static TerminalSlot slot;
    return slot;
}

}  // namespace

TTerminal* CurrentTerminal() {
    TerminalSlot& slot = Slot();
    if (!slot.Probed) {
        slot.Probed = true;
        slot.Terminal = TTerminal::Open("/dev/tty");
    }
    return slot.Terminal.get();
}

std::unique_ptr<TTerminal> SetCurrentTerminal(std::unique_ptr<TTerminal> terminal) {
    TerminalSlot& slot = Slot();
    slot.Probed = true;
    std::swap(slot.Terminal, terminal);
    return terminal;
}

TRawModeScope::TRawModeScope() : FTerminal(CurrentTerminal()) {
    if (FTerminal) FTerminal->EnterRawMode();
}

TRawModeScope::~TRawModeScope() {
    if (FTerminal) FTerminal->LeaveRawMode();
}

}  // namespace tabrix
