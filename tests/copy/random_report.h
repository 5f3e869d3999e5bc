#pragma once
// Random reports for the property tests: a random band set (title and
// summary or not, up to three group levels with header and footer or
// either, master data, optional detail header, data and footer; bands of
// one to three rows and columns anywhere in the first columns), a band
// sequence as the generation loop outputs it for random group changes and
// detail counts, and block cuts as the row buffer makes them.

#include <cstdint>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "tests/copy/copy_fixture.h"

namespace tabrix::testing {

struct TRandomReport {
    std::vector<TBandSpec> Specs;
    // The bands output in order (indexes into Specs; for a group footer
    // the header index too, -1 otherwise; a header index can name a header
    // with a blank range).
    struct TStep {
        int Band;
        int Header = -1;
    };
    std::vector<TStep> Steps;
    // Rows of a row-buffer block: Output runs when the buffer holds this
    // many rows and one more arrives.
    int BlockRows = 4000;
    // Group levels whose header has a blank range (1-based).
    std::vector<int> BlankHeaders;
};

TRandomReport MakeRandomReport(uint32_t seed);

// The band set of a random report (blank headers get a blank range).
std::unique_ptr<TBandSet> MakeBandSet(const TRandomReport& report);

// Replays the report into a manager on the target, calling Output as the
// row buffer would; onOutput runs before each Output with the block's
// first row and the row after it. Returns the template row expected at
// every report row (index = report row, 0 unused).
template <class OnOutput>
std::vector<int> Replay(const TRandomReport& report, TBandSet& set, TTabrixCopyManager& manager, OnOutput onOutput);

// The report and its sequence in words, for a failing case.
std::string Describe(const TRandomReport& report, const TBandSet& set);

// --- template implementation ---------------------------------------------

template <class OnOutput>
std::vector<int> Replay(const TRandomReport& report, TBandSet& set, TTabrixCopyManager& manager, OnOutput onOutput) {
    std::vector<int> expected(1, 0);
    int buffered = 0;
    int blockStart = manager.Row();
    for (const TRandomReport::TStep& step : report.Steps) {
        const TTabrixBand* band = set.BandAt(step.Band);
        const TTabrixBand* header = step.Header >= 0 ? set.BandAt(step.Header) : nullptr;
        manager.AddBand(band, header);
        for (int i = 0; i < band->GetRangeBottom() - band->GetRangeTop() + 1; ++i) {
            if (buffered == report.BlockRows) {
                onOutput(blockStart, manager.Row());
                manager.Output();
                blockStart = manager.Row();
                buffered = 0;
            }
            ++buffered;
            expected.push_back(band->GetRangeTop() + i);
        }
    }
    onOutput(blockStart, manager.Row());
    manager.Output();
    return expected;
}

}  // namespace tabrix::testing
