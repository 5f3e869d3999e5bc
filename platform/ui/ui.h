#pragma once
// The windowing platform on the terminal: message boxes, the screen cursor,
// modal windows and the message pump.

#include "platform/ui/cursor.h"
#include "platform/ui/modal_window.h"
#include "platform/ui/msgbox.h"
#include "platform/ui/terminal.h"
