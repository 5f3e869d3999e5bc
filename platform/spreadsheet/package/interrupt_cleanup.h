#pragma once
// Temporary files that an interrupt removes: while one is registered,
// SIGINT, SIGTERM and SIGHUP whose action is the default (ending the
// process) first unlink every registered file, then end the process as
// they would have. A signal the application handles or ignores is left to
// it: its own clean-up unwinds the save and removes the file.

#include <string>

namespace tabrix::xl::detail {

// Files registered at once; a save beyond them still works, an interrupt
// just leaves its temporary file.
inline constexpr int kInterruptCleanupSlots = 16;

// Returns the slot (0-based) for UnregisterTemporaryFile, or -1 when all
// are taken or the name is too long to keep.
int RegisterTemporaryFile(const std::string& name);
void UnregisterTemporaryFile(int slot);  // -1 does nothing

}  // namespace tabrix::xl::detail
