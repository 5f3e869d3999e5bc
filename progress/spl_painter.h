#pragma once
// How the progress window is drawn. On a terminal (standard error is the
// controlling terminal) a panel redrawn in place; otherwise plain lines on
// standard error, at most one a second and never a control character, so
// that a log of a batch job stays readable.

#include <chrono>
#include <memory>
#include <string>
#include <string_view>

namespace tabrix {

class TTabrixSplFrm;
class TTerminal;

class TTabrixSplPainter {
public:
    virtual ~TTabrixSplPainter() = default;
    // Draws the window's texts; unforced calls may be skipped (too soon).
    virtual void Paint(const TTabrixSplFrm& form, bool force) = 0;
    // Something else was written below the drawing (a question): the next
    // Paint draws anew below it instead of over it.
    virtual void Detach() {}
    // The window closes.
    virtual void Hide(const TTabrixSplFrm& form) = 0;
};

// A panel on the terminal, redrawn in place at most every redrawInterval.
std::unique_ptr<TTabrixSplPainter> NewSplPanelPainter(TTerminal& terminal, std::chrono::milliseconds redrawInterval);
// Plain lines written to the file descriptor fd, at most one per interval,
// the first after one interval of work.
std::unique_ptr<TTabrixSplPainter> NewSplLinePainter(int fd, std::chrono::milliseconds interval);
// The painter for this process: the panel when standard error is the
// current terminal, else lines on standard error.
std::unique_ptr<TTabrixSplPainter> NewSplPainter();

// The text with every control character (C0, DEL, C1) as a blank and every
// byte that is no UTF-8 as "?": text from a form never steers the terminal.
std::string SplPrintable(std::string_view text);

// The line of the window's state that the line painter writes, without the
// line end: "Caption: Status Writing data; Processed 50 rows; Time 0:00:01;
// Speed 50 rows/sec".
std::string SplStateLine(const TTabrixSplFrm& form);

}  // namespace tabrix
