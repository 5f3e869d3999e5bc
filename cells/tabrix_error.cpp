#include "cells/tabrix_error.h"

#include "platform/classes/component.h"
#include "platform/ui/msgbox.h"

namespace tabrix {

void TabrixRaiseError(const TComponent* owner, const AnsiString& message) {
    if (owner && owner->HasState(csDesigning)) {
        ShowErrorBox(message);
        return;
    }
    throw ETabrixError(message);
}

}  // namespace tabrix
