#pragma once
// Unit TabrixProc: the temporary files of a build (the working copy of the
// template, the temporary copy of a stored template).

#include "platform/rtl/strings.h"

namespace tabrix {

// The platform's folder for temporary files, with a trailing separator.
AnsiString TabrixGetTempDir();

// Creates a new, empty, uniquely named file "TBR<unique>.tmp" in dir
// (exclusively, readable only by the user) and returns its full name.
// Raises EFCreateError naming the folder when no file can be made.
AnsiString TabrixGetTempFileName(const AnsiString& dir);

// TabrixGetTempFileName(TabrixGetTempDir()).
AnsiString TabrixGetTempFName();

}  // namespace tabrix
