#include "platform/ui/modal_window.h"

#include <algorithm>
#include <atomic>
#include <csignal>
#include <deque>
#include <vector>

#include "platform/ui/terminal.h"

namespace tabrix {

namespace {

struct TQueued {
    TModalWindow* Target = nullptr;        // not owned: a posted message
    std::unique_ptr<TModalWindow> Doomed;  // owned: a released window
    unsigned Msg = 0;
    intptr_t WParam = 0;
    intptr_t LParam = 0;
};

std::atomic<bool> gInterrupted{false};

extern "C" void OnInterrupt(int) { gInterrupted.store(true); }

}  // namespace

struct TMessageQueue {
    std::deque<TQueued> Items;
    std::vector<TModalWindow*> ModalStack;

    // Windows released but never reached by a pump die at the end of the
    // process; their destructors call Forget, so they must not run while
    // Items itself is being destroyed.
    ~TMessageQueue() {
        std::deque<TQueued> last;
        last.swap(Items);
    }

    static TMessageQueue& Get() {
        static TMessageQueue queue;
        return queue;
    }

    void Forget(TModalWindow* form) {
        for (TQueued& q : Items)
            if (q.Target == form) q.Target = nullptr;
        ModalStack.erase(std::remove(ModalStack.begin(), ModalStack.end(), form), ModalStack.end());
    }

    // Presses the top modal window's cancel button for Esc or Ctrl-C;
    // waits up to timeoutMs for a key.
    void PollKeys(int timeoutMs) {
        if (ModalStack.empty()) return;
        bool cancel = gInterrupted.exchange(false);
        if (TTerminal* term = CurrentTerminal(); term && !term->Closed()) {
            std::string keys = KeysOf(term->ReadPending(cancel ? 0 : timeoutMs));
            if (keys.find('\x03') != std::string::npos || keys.find('\x1b') != std::string::npos) cancel = true;
        }
        if (cancel) PressCancel();
    }

    void PressCancel() {
        if (!ModalStack.empty()) ModalStack.back()->CancelPressed();
    }

    // Every message waiting when the call starts; messages posted by the
    // handlers wait for the next call, as on the platform's queue.
    void Dispatch() {
        size_t budget = Items.size();
        while (budget-- > 0 && !Items.empty()) {
            TQueued q = std::move(Items.front());
            Items.pop_front();
            if (q.Target) q.Target->DoMessage(q.Msg, q.WParam, q.LParam);
            // q.Doomed is destroyed here
        }
    }
};

TModalWindow::~TModalWindow() { TMessageQueue::Get().Forget(this); }

void TModalWindow::Close() { FCloseRequested = true; }

void TModalWindow::PostMessage(unsigned msg, intptr_t wParam, intptr_t lParam) {
    TQueued q;
    q.Target = this;
    q.Msg = msg;
    q.WParam = wParam;
    q.LParam = lParam;
    TMessageQueue::Get().Items.push_back(std::move(q));
}

void TModalWindow::Release(std::unique_ptr<TModalWindow> form) {
    if (!form) return;
    TQueued q;
    q.Doomed = std::move(form);
    TMessageQueue::Get().Items.push_back(std::move(q));
}

namespace {

// Ctrl-C presses Cancel while a modal window runs with no raw terminal to
// read it from.
class TInterruptScope {
public:
    TInterruptScope() {
        struct sigaction sa {};
        sa.sa_handler = OnInterrupt;
        sigemptyset(&sa.sa_mask);
        FInstalled = sigaction(SIGINT, &sa, &FPrevious) == 0;
    }
    ~TInterruptScope() {
        if (FInstalled) sigaction(SIGINT, &FPrevious, nullptr);
    }
    TInterruptScope(const TInterruptScope&) = delete;
    TInterruptScope& operator=(const TInterruptScope&) = delete;

private:
    struct sigaction FPrevious {};
    bool FInstalled = false;
};

}  // namespace

TModalResult TModalWindow::ShowModal() {
    TMessageQueue& queue = TMessageQueue::Get();
    FModal = true;
    FCloseRequested = false;
    FModalResult = mrNone;
    queue.ModalStack.push_back(this);
    struct Leave {
        TModalWindow* Form;
        ~Leave() {
            Form->FModal = false;
            auto& stack = TMessageQueue::Get().ModalStack;
            stack.erase(std::remove(stack.begin(), stack.end(), Form), stack.end());
        }
    } leave{this};
    TRawModeScope raw;
    TInterruptScope interrupt;

    DoShow();
    for (;;) {
        queue.PollKeys(0);
        queue.Dispatch();
        if (FCloseRequested) {
            FCloseRequested = false;
            if (CloseQuery()) break;
        }
        if (queue.Items.empty() && !FCloseRequested) {
            TTerminal* term = CurrentTerminal();
            if (term && !term->Closed())
                queue.PollKeys(20);  // idle: wait a little for a key instead of spinning
            else if (!gInterrupted.load())
                break;  // nothing queued and no one to press a button: it would wait forever
        }
    }
    if (FModalResult == mrNone) FModalResult = mrCancel;
    return FModalResult;
}

void ProcessMessages() {
    TMessageQueue& queue = TMessageQueue::Get();
    queue.PollKeys(0);
    queue.Dispatch();
}

void PressCancel() { TMessageQueue::Get().PressCancel(); }

size_t PendingMessageCount() { return TMessageQueue::Get().Items.size(); }

}  // namespace tabrix
