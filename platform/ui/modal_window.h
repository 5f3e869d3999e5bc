#pragma once
// Modal windows and the message pump of the windowing platform, on the
// terminal. A window has no pixels here: it is a message target with a
// caption, a modal loop, close requests that it may refuse, and a cancel
// button pressed by Esc or Ctrl-C. Drawing is the window's own business
// (the progress window writes rows to standard error). A form of the
// component framework (TForm) that is shown modally derives from both.

#include <cstdint>
#include <memory>
#include <string>

namespace tabrix {

// The platform's first user message number.
inline constexpr unsigned WM_USER = 0x0400;

enum TModalResult : int { mrNone = 0, mrOk = 1, mrCancel = 2, mrAbort = 3, mrYes = 6, mrNo = 7 };

class TModalWindow {
public:
    TModalWindow() = default;
    virtual ~TModalWindow();
    TModalWindow(const TModalWindow&) = delete;
    TModalWindow& operator=(const TModalWindow&) = delete;

    const std::string& Caption() const { return FCaption; }
    void SetCaption(std::string caption) { FCaption = std::move(caption); }

    // Shows the window and runs its modal loop: OnShow, then the queued
    // messages and the terminal's keys, until a close request is accepted
    // by CloseQuery. Close requests are looked at only between messages, so
    // a request made inside a handler takes effect after it has returned.
    // The terminal is in raw mode meanwhile and Ctrl-C does not end the
    // process but presses the cancel button.
    TModalResult ShowModal();
    bool Showing() const { return FModal; }

    // A close request; the modal loop asks CloseQuery before closing.
    void Close();
    TModalResult ModalResult() const { return FModalResult; }
    void SetModalResult(TModalResult result) { FModalResult = result; }

    // Queues a message for this window; it is handled by a later
    // ProcessMessages (or the modal loop), in the order posted.
    void PostMessage(unsigned msg, intptr_t wParam = 0, intptr_t lParam = 0);

    // Destroys the window once the messages already queued have been
    // handled (or when the process ends, if no one pumps again).
    static void Release(std::unique_ptr<TModalWindow> form);

protected:
    virtual void DoShow() {}
    virtual void DoMessage(unsigned /*msg*/, intptr_t /*wParam*/, intptr_t /*lParam*/) {}
    virtual bool CloseQuery() { return true; }
    // Esc or Ctrl-C while the window is the top modal window.
    virtual void CancelPressed() { Close(); }

private:
    friend struct TMessageQueue;
    std::string FCaption;
    bool FModal = false;
    bool FCloseRequested = false;
    TModalResult FModalResult = mrNone;
};

// Handles every message waiting in the queue (and the keys waiting on the
// terminal while a modal window runs), then returns. Safe to call anywhere,
// also from inside a message handler and with no window at all.
void ProcessMessages();

// Presses the cancel button of the top modal window, as Esc does (also what
// SIGINT does while a modal window runs without a terminal).
void PressCancel();

// Number of messages waiting (including deferred destructions).
size_t PendingMessageCount();

}  // namespace tabrix
