#pragma once
// The screen cursor of the windowing platform. A terminal has no mouse
// pointer, so the cursor is only a state that code sets and restores (the
// hour-glass during a build); setting it is always safe and never fails.

namespace tabrix {

enum TCursor : int {
    crDefault = 0,
    crArrow = -2,
    crHourGlass = -11,
    crAppStart = -19,
};

class TScreen {
public:
    TCursor Cursor() const { return FCursor; }
    void SetCursor(TCursor cursor) { FCursor = cursor; }

private:
    TCursor FCursor = crDefault;
};

// The one screen of the process.
TScreen& Screen();

// Remembers the screen cursor and puts it back when the scope ends.
class TCursorRestorer {
public:
    TCursorRestorer() : FSaved(Screen().Cursor()) {}
    ~TCursorRestorer() { Screen().SetCursor(FSaved); }
    TCursorRestorer(const TCursorRestorer&) = delete;
    TCursorRestorer& operator=(const TCursorRestorer&) = delete;

private:
    TCursor FSaved;
};

}  // namespace tabrix
