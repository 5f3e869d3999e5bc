#include "platform/ui/cursor.h"

namespace tabrix {

TScreen& Screen() {
    static TScreen screen;
    return screen;
}

}  // namespace tabrix
