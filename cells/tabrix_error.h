#pragma once
// ETabrixError: the exception of the report component and of its routines,
// carrying only a message from the message table.

#include "platform/rtl/exceptions.h"
#include "platform/rtl/strings.h"

namespace tabrix {

class TComponent;

TABRIX_EXCEPTION_CLASS(ETabrixError, Exception);

// How the report component and its bands report a fault: while owner is
// edited in a design tool (csDesigning) an error box shows message and the
// call returns; otherwise it raises ETabrixError(message). owner may be null
// (raises).
//
//   TabrixRaiseError(this, Format(SFileNotExists, {name}));
void TabrixRaiseError(const TComponent* owner, const AnsiString& message);

}  // namespace tabrix
