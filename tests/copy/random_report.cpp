#include "tests/copy/random_report.h"

#include <algorithm>

namespace tabrix::testing {

TRandomReport MakeRandomReport(uint32_t seed) {
    std::mt19937 rng(seed);
    auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
    auto chance = [&](int percent) { return pick(1, 100) <= percent; };
    TRandomReport r;
    auto add = [&](TTabrixBandType type, int group = 0) {
        r.Specs.push_back({type, group, pick(1, 3), pick(1, 3), pick(1, 3)});
        return static_cast<int>(r.Specs.size()) - 1;
    };
    const int title = chance(60) ? add(tbxbtTitle) : -1;
    const int groups = pick(0, 3);
    std::vector<int> headers(groups + 1, -1), footers(groups + 1, -1);
    for (int level = 1; level <= groups; ++level) {
        const int kind = pick(0, 4);  // 0-2 both, 3 header only, 4 footer only
        headers[level] = add(tbxbtGroupHeader, level);
        if (kind != 3) footers[level] = add(tbxbtGroupFooter, level);
        if (kind == 4) r.BlankHeaders.push_back(level);
    }
    int master = chance(90) ? add(tbxbtMasterData) : -1;
    const int detailHeader = chance(35) ? add(tbxbtDetailHeader) : -1;
    const int detailData = chance(45) ? add(tbxbtDetailData) : -1;
    const int detailFooter = chance(35) ? add(tbxbtDetailFooter) : -1;
    if (master < 0 && detailHeader < 0 && detailData < 0 && detailFooter < 0) master = add(tbxbtMasterData);
    const int summary = chance(60) ? add(tbxbtSummary) : -1;

    auto isBlank = [&](int level) {
        return std::find(r.BlankHeaders.begin(), r.BlankHeaders.end(), level) != r.BlankHeaders.end();
    };
    auto out = [&](int band, int header = -1) {
        if (band >= 0) r.Steps.push_back({band, header});
    };
    auto openGroup = [&](int level) {
        if (!isBlank(level)) out(headers[level]);
    };
    auto closeGroup = [&](int level) { out(footers[level], headers[level]); };

    out(title);
    const int records = chance(5) ? 0 : pick(1, 50);
    for (int i = 0; i < records; ++i) {
        int changed = groups + 1;
        if (i == 0)
            changed = 1;
        else if (groups > 0 && chance(40))
            changed = pick(1, groups);
        if (i > 0)
            for (int level = groups; level >= changed; --level) closeGroup(level);
        for (int level = changed; level <= groups; ++level) openGroup(level);
        out(master);
        out(detailHeader);
        if (detailData >= 0)
            for (int k = pick(0, 4); k > 0; --k) out(detailData);
        out(detailFooter);
    }
    if (records > 0)
        for (int level = groups; level >= 1; --level) closeGroup(level);
    out(summary);
    r.BlockRows = chance(10) ? 4000 : pick(1, 40);
    return r;
}

std::unique_ptr<TBandSet> MakeBandSet(const TRandomReport& report) {
    return std::make_unique<TBandSet>(report.Specs, report.BlankHeaders);
}

std::string Describe(const TRandomReport& report, const TBandSet& set) {
    std::string text = "bands:";
    for (size_t i = 0; i < report.Specs.size(); ++i) {
        const TTabrixBand* band = set.BandAt(static_cast<int>(i));
        text += " " + set.NameOf(band) + "=" + (band->Range().empty() ? "(blank)" : band->Range());
    }
    text += "\nblock rows: " + std::to_string(report.BlockRows) + "\nsequence:";
    for (const TRandomReport::TStep& s : report.Steps) text += " " + set.NameOf(set.BandAt(s.Band));
    return text;
}

}  // namespace tabrix::testing
