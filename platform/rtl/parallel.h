#pragma once
// Two pieces of work at once, for the few large jobs of a report whose
// halves share nothing but what they read (the rows of a sheet written as
// XML). The machine's second core takes one half; with a single core the
// halves run one after the other, so results never depend on the machine.
//
//   RunSideBySide([&] { WriteRows(1, half, first); },
//                 [&] { WriteRows(half + 1, last, second); });
//
// Both halves have ended when the call returns. An exception of either is
// rethrown there, the caller's own half first.

#include <functional>

namespace tabrix {

// Whether a second thread can run beside the caller's.
bool HasSecondCore();

// Runs `here` on the calling thread and `beside` on a thread of its own.
void RunSideBySide(const std::function<void()>& here, const std::function<void()>& beside);

}  // namespace tabrix
