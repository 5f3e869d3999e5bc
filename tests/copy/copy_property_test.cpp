// The planner against random reports on the model sheet: after every block
// each report row holds its band's template row, and no copy reads a row
// before it is made or touches an earlier block. Seeded; set
// TABRIX_COPY_SEED to replay another series, TABRIX_COPY_CASES for more.
#include <gtest/gtest.h>

#include <cstdlib>

#include "tests/copy/random_report.h"

namespace tabrix::testing {
namespace {

uint32_t EnvNumber(const char* name, uint32_t fallback) {
    const char* value = std::getenv(name);
    return value && *value ? static_cast<uint32_t>(std::strtoul(value, nullptr, 10)) : fallback;
}

// The first fault of one case, or "".
std::string CheckOnModel(const TRandomReport& report) {
    std::unique_ptr<TBandSet> set = MakeBandSet(report);
    TModelSheet model;
    std::vector<int> expected;
    try {
        TTabrixCopyManager manager(set->Bands(), model);
        expected = Replay(report, *set, manager, [&](int first, int end) { model.StartBlock(first, end); });
    } catch (const Exception& e) {
        return std::string("raised ") + e.ClassName() + ": " + e.Message();
    }
    if (!model.Faults().empty()) return model.Faults().front();
    for (size_t row = 1; row < expected.size(); ++row)
        if (model.TemplateRowAt(static_cast<int>(row)) != expected[row])
            return "report row " + std::to_string(row) + " holds template row " +
                   std::to_string(model.TemplateRowAt(static_cast<int>(row))) + ", expected " +
                   std::to_string(expected[row]);
    return "";
}

TEST(CopyPlanProperty, EveryRowGetsItsBandsTemplateRowFromFinishedRows) {
    const uint32_t base = EnvNumber("TABRIX_COPY_SEED", 20261208);
    const uint32_t cases = EnvNumber("TABRIX_COPY_CASES", 20000);
    int failures = 0;
    for (uint32_t i = 0; i < cases && failures < 3; ++i) {
        const uint32_t seed = base + i;
        TRandomReport report = MakeRandomReport(seed);
        std::string fault = CheckOnModel(report);
        if (fault.empty()) continue;
        ++failures;
        // The shortest beginning of the sequence that still fails (a build
        // may stop after any band), for reading.
        for (size_t length = 1; length < report.Steps.size(); ++length) {
            TRandomReport shorter = report;
            shorter.Steps.resize(length);
            std::string shorterFault = CheckOnModel(shorter);
            if (!shorterFault.empty()) {
                report = std::move(shorter);
                fault = std::move(shorterFault);
                break;
            }
        }
        ADD_FAILURE() << "seed " << seed << ": " << fault << "\n" << Describe(report, *MakeBandSet(report));
    }
}

}  // namespace
}  // namespace tabrix::testing
