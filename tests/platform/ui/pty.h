#pragma once
// A pseudo-terminal that stands in for the user's terminal: the code under
// test gets the terminal side as its current terminal, the test types on
// the other side and reads what was printed.

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <unistd.h>

#include <string>

#include "platform/ui/terminal.h"

namespace tabrix::testing {

class TPseudoTerminal {
public:
    TPseudoTerminal() {
        FMaster = ::posix_openpt(O_RDWR | O_NOCTTY);
        if (FMaster >= 0 && ::grantpt(FMaster) == 0 && ::unlockpt(FMaster) == 0)
            FPrevious = SetCurrentTerminal(TTerminal::Open(::ptsname(FMaster)));
    }
    ~TPseudoTerminal() {
        SetCurrentTerminal(std::move(FPrevious));
        if (FMaster >= 0) ::close(FMaster);
    }
    TPseudoTerminal(const TPseudoTerminal&) = delete;
    TPseudoTerminal& operator=(const TPseudoTerminal&) = delete;

    bool Ok() const { return FMaster >= 0 && CurrentTerminal() != nullptr; }
    void Type(const std::string& keys) { (void)!::write(FMaster, keys.data(), keys.size()); }
    // Everything printed on the terminal so far.
    std::string Output() {
        std::string out;
        char buf[512];
        pollfd p{FMaster, POLLIN, 0};
        while (::poll(&p, 1, 50) > 0 && (p.revents & POLLIN)) {
            ssize_t n = ::read(FMaster, buf, sizeof buf);
            if (n <= 0) break;
            out.append(buf, static_cast<size_t>(n));
        }
        return out;
    }
    // Hangs up: the terminal side sees the end of its input.
    void HangUp() {
        ::close(FMaster);
        FMaster = -1;
    }

private:
    int FMaster = -1;
    std::unique_ptr<TTerminal> FPrevious;
};

// No terminal at all, as in a batch job.
class TNoTerminal {
public:
    TNoTerminal() : FPrevious(SetCurrentTerminal(nullptr)) {}
    ~TNoTerminal() { SetCurrentTerminal(std::move(FPrevious)); }
    TNoTerminal(const TNoTerminal&) = delete;
    TNoTerminal& operator=(const TNoTerminal&) = delete;

private:
    std::unique_ptr<TTerminal> FPrevious;
};

}  // namespace tabrix::testing
