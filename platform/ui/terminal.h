#pragma once
// The controlling terminal, the stand-in for the screen of the windowing
// platform: message boxes prompt on it, modal windows read Esc and Ctrl-C
// from it in raw mode. With no terminal (a batch job, CI) every user of it
// falls back to standard error and default answers, so nothing ever blocks.

#include <memory>
#include <string>
#include <string_view>

namespace tabrix {

class TTerminal {
public:
    // Opens the terminal device at path (read and write, not becoming the
    // controlling terminal). Returns null when there is none.
    static std::unique_ptr<TTerminal> Open(const std::string& path);
    ~TTerminal();
    TTerminal(const TTerminal&) = delete;
    TTerminal& operator=(const TTerminal&) = delete;

    int Handle() const { return FFd; }
    void Write(std::string_view text);
    // Waits up to timeoutMs (0: just looks) for input; returns what could
    // be read without blocking, empty on timeout, end of input or error.
    std::string ReadPending(int timeoutMs);
    // True once the other side has gone (hang-up, end of input).
    bool Closed() const { return FClosed; }

    // Raw mode: no echo, no line buffering, Ctrl-C arrives as a byte.
    // Nested calls are counted; the outermost Leave restores the settings.
    void EnterRawMode();
    void LeaveRawMode();
    bool InRawMode() const { return FRawDepth > 0; }

private:
    explicit TTerminal(int fd);
    int FFd;
    int FRawDepth = 0;
    bool FClosed = false;
    struct Saved;
    std::unique_ptr<Saved> FSaved;
};

// The single keys of what a terminal sent: the escape sequences of cursor
// and function keys (ESC [ ... final, ESC O x) are dropped, so that a lone
// ESC byte left in the result is the Esc key.
std::string KeysOf(std::string_view input);

// The terminal the windowing routines use: the controlling terminal
// (/dev/tty) when the process has one, opened on first use; null otherwise.
TTerminal* CurrentTerminal();

// Replaces the terminal the windowing routines use (a pseudo-terminal in
// tests, null for none) and returns the previous one.
std::unique_ptr<TTerminal> SetCurrentTerminal(std::unique_ptr<TTerminal> terminal);

// Raw mode on the current terminal for the lifetime of the object; nothing
// when there is no terminal.
class TRawModeScope {
public:
    TRawModeScope();
    ~TRawModeScope();
    TRawModeScope(const TRawModeScope&) = delete;
    TRawModeScope& operator=(const TRawModeScope&) = delete;

private:
    TTerminal* FTerminal;
};

}  // namespace tabrix
