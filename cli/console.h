#pragma once
// How the tabrix command speaks: the exit codes, notes for the person on
// standard error (silenced by -q), the names of written files on standard
// output (one per line, so a script can take them), and the mistakes of the
// command line that end it with the usage code.

#include <string>

#include "platform/rtl/exceptions.h"

namespace tabrix::cli {

inline constexpr int kExitDone = 0;    // the verb did its work
inline constexpr int kExitFailed = 1;  // the report (or the verb's work) failed
inline constexpr int kExitUsage = 2;   // wrong usage: options, names the form does not have, malformed values

// A mistake in what the user asked for, found once the options are read
// (an unknown parameter, a malformed value, a report the form does not
// hold). main() prints it and exits with kExitUsage.
TABRIX_EXCEPTION_CLASS(EUsageError, EArgumentException);

// -q: no notes and no progress window; errors and result files stay.
void SetQuiet(bool quiet);
bool Quiet();

// A note for the person: one line on standard error, unless quiet.
void Note(const std::string& text);
// The name of a file the verb wrote: one line on standard output.
void ResultFile(const std::string& fileName);

}  // namespace tabrix::cli
