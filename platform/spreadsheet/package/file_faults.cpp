#include "platform/spreadsheet/package/file_faults.h"

#include <atomic>

namespace tabrix::xl::detail {

namespace {
std::atomic<TFileFaultHook> gHook{nullptr};
std::atomic<std::uint64_t> gWrites{0};
std::atomic<std::uint64_t> gReads{0};
}  // namespace

int InjectedFault(TFileOp op) {
    const TFileFaultHook hook = gHook.load(std::memory_order_relaxed);
    if (!hook) return 0;
    std::atomic<std::uint64_t>& counter = op == TFileOp::Write ? gWrites : gReads;
    return hook(op, counter.fetch_add(1) + 1);
}

TFileFaultScope::TFileFaultScope(TFileFaultHook hook) {
    gWrites = 0;
    gReads = 0;
    gHook = hook;
}

TFileFaultScope::~TFileFaultScope() { gHook = nullptr; }

}  // namespace tabrix::xl::detail
