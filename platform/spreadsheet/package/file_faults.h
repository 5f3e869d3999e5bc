#pragma once
// A fault-injection point for tests of the package's file layer: every
// write(2) of a save and every read of a part's stored bytes asks the hook
// first, so a test can make the Nth one fail the way a full disk or a bad
// sector would, and check that the old file survives and the message names
// it. No environment variable switches it on: only code can.
//
//   int FailThirdWrite(TFileOp op, std::uint64_t n) { return op == TFileOp::Write && n == 3 ? ENOSPC : 0; }
//   TFileFaultScope scope(&FailThirdWrite);
//   package.SaveAs("out.xlsx");  // raises EPackageError "Cannot save "out.xlsx": write failed: ..."

#include <cstdint>

namespace tabrix::xl::detail {

enum class TFileOp { Write, Read };

// Called with the operation and its 1-based count since the hook was set;
// returns 0 to go on, or the errno value the operation fails with. It may
// also block (a test holding a save mid-way).
using TFileFaultHook = int (*)(TFileOp op, std::uint64_t count);

// 0 when no hook is set (one relaxed load on the path of every write).
int InjectedFault(TFileOp op);

// Sets the hook for its lifetime, counting from 1; not for concurrent use.
class TFileFaultScope {
public:
    explicit TFileFaultScope(TFileFaultHook hook);
    ~TFileFaultScope();
    TFileFaultScope(const TFileFaultScope&) = delete;
    TFileFaultScope& operator=(const TFileFaultScope&) = delete;
};

}  // namespace tabrix::xl::detail
