#include "platform/spreadsheet/package/interrupt_cleanup.h"

#include <limits.h>
#include <unistd.h>

#include <atomic>
#include <csignal>
#include <cstring>
#include <mutex>

namespace tabrix::xl::detail {

namespace {

constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP};
constexpr int kSignalCount = sizeof kSignals / sizeof kSignals[0];

enum : int { kFree = 0, kFilling = 1, kArmed = 2 };

// The handler reads these without locks: a path is copied in before its
// slot is armed, and disarmed before it may change.
struct TSlot {
    std::atomic<int> State{kFree};
    char Path[PATH_MAX];
};
TSlot gSlots[kInterruptCleanupSlots];

std::mutex gMutex;  // guards the fields below
int gRegistered = 0;
struct sigaction gPrevious[kSignalCount];
bool gInstalled[kSignalCount] = {};

extern "C" void RemoveTemporaryFiles(int sig) {
    for (TSlot& slot : gSlots)
        if (slot.State.load() == kArmed) ::unlink(slot.Path);
    // SA_RESETHAND restored the default action; raised again, the signal
    // ends the process once this handler returns, as it would have.
    ::raise(sig);
}

void Install() {
    for (int i = 0; i < kSignalCount; ++i) {
        struct sigaction current {};
        gInstalled[i] = false;
        if (::sigaction(kSignals[i], nullptr, &current) != 0 || current.sa_handler != SIG_DFL ||
            (current.sa_flags & SA_SIGINFO))
            continue;
        struct sigaction mine {};
        mine.sa_handler = RemoveTemporaryFiles;
        mine.sa_flags = SA_RESETHAND;
        sigemptyset(&mine.sa_mask);
        gInstalled[i] = ::sigaction(kSignals[i], &mine, &gPrevious[i]) == 0;
    }
}

void Uninstall() {
    for (int i = 0; i < kSignalCount; ++i) {
        if (!gInstalled[i]) continue;
        gInstalled[i] = false;
        // Someone else may have set a handler meanwhile: theirs stays.
        struct sigaction current {};
        if (::sigaction(kSignals[i], nullptr, &current) == 0 && current.sa_handler == RemoveTemporaryFiles)
            ::sigaction(kSignals[i], &gPrevious[i], nullptr);
    }
}

}  // namespace

int RegisterTemporaryFile(const std::string& name) {
    if (name.size() >= PATH_MAX) return -1;
    for (int i = 0; i < kInterruptCleanupSlots; ++i) {
        int expected = kFree;
        if (!gSlots[i].State.compare_exchange_strong(expected, kFilling)) continue;
        std::memcpy(gSlots[i].Path, name.c_str(), name.size() + 1);
        {
            const std::lock_guard<std::mutex> lock(gMutex);
            if (gRegistered++ == 0) Install();
        }
        gSlots[i].State.store(kArmed);
        return i;
    }
    return -1;
}

void UnregisterTemporaryFile(int slot) {
    if (slot < 0 || slot >= kInterruptCleanupSlots) return;
    gSlots[slot].State.store(kFree);
    const std::lock_guard<std::mutex> lock(gMutex);
    if (--gRegistered == 0) Uninstall();
}

}  // namespace tabrix::xl::detail
