#pragma once
// Unit TabrixSpl: the progress window of a report build. TabrixSplDoWork
// shows a small modal window and runs the work procedure from inside it;
// the work reports its phase and row count and polls for a cancel through
// the three routines below, each of which lets the window handle what is
// waiting (keys, the Cancel button, the confirmation question). A cancel is
// cooperative: the window only records that the user confirmed it, the work
// notices it at its next poll and returns normally.
//
// With no window shown (tbxoShowProgress off) the routines do nothing and
// report no stop; nothing is drawn and nothing is pumped.
//
// On a terminal the window is a panel on standard error, redrawn in place,
// and Esc or Ctrl-C asks "Do you really want to break the process?". Without
// one (a pipe, a batch job) the progress goes to standard error as plain
// lines, at most one a second, and an interrupt (SIGINT) stops the work at
// once: there is no one to ask.
//
//   bool finished = TabrixSplDoWork([&] {
//       for (int row = 1; row <= rowCount; ++row) {
//           if (TabrixSplIsStop()) return false;       // rows so far are kept
//           OutputRow(row);
//           if (row % 50 == 0) TabrixSplSetRecCount(row);
//       }
//       return true;
//   }, "Sales report");                                 // ETabrixError if the work failed

#include <cstdint>
#include <functional>

#include "platform/rtl/strings.h"

namespace tabrix {

// The work procedure: returns its result. An empty one is unassigned.
using TTabrixSplWorkProc = std::function<bool()>;

// Runs workProc under the progress window captioned caption (empty: no
// title) and returns its result; an unassigned one closes the window at once
// and gives false. A failure of the work (any std::exception) reaches the
// caller as ETabrixError "<class name>. <message>" of the failing exception.
bool TabrixSplDoWork(const TTabrixSplWorkProc& workProc, const AnsiString& caption);

// Shows the count of rows processed, the elapsed time and the speed; pumps.
void TabrixSplSetRecCount(int32_t count);
// Shows text as the current phase ("Getting data", "Writing data", ...); pumps.
void TabrixSplSetStatus(const AnsiString& text);
// Whether a stop was confirmed before this call; pumps (a stop confirmed
// while pumping is reported by the next call).
bool TabrixSplIsStop();

// The texts of the Processed, Time and Speed rows for count rows after
// elapsedDays (days, as the platform's date-time values count): "%d rows",
// "h:mm:ss" (whole days not shown) and "%d rows/sec" (rounded half to even;
// 0 when no time has passed).
struct TTabrixSplCountTexts {
    AnsiString DoneValue;
    AnsiString TimeValue;
    AnsiString SpeedValue;
};
TTabrixSplCountTexts TabrixSplCountTexts(int32_t count, double elapsedDays);

}  // namespace tabrix
