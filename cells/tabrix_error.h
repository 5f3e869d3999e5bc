#pragma once
// ETabrixError: the exception of the report component and of its routines,
// carrying only a message from the message table.

#include "platform/rtl/exceptions.h"

namespace tabrix {

TABRIX_EXCEPTION_CLASS(ETabrixError, Exception);

}  // namespace tabrix
