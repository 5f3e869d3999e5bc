#include "cells/temp_files.h"

#include "platform/rtl/files.h"

namespace tabrix {

namespace {
// The three letters every temporary file of the system starts with, so
// that leftovers are recognised in the temporary folder.
constexpr const char* kTempPrefix = "TBR";
}  // namespace

AnsiString TabrixGetTempDir() { return TempFolder(); }

AnsiString TabrixGetTempFileName(const AnsiString& dir) {
    return CreateUniqueTempFile(IncludeTrailingPathDelimiter(dir), kTempPrefix);
}

AnsiString TabrixGetTempFName() { return TabrixGetTempFileName(TabrixGetTempDir()); }

}  // namespace tabrix
