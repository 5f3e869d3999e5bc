#include "tests/copy/copy_fixture.h"

#include <stdexcept>

#include "cells/cell_address.h"

namespace tabrix::testing {

TBandSet::TBandSet(const std::vector<TBandSpec>& specs, const std::vector<int>& blankHeaders) : FSpecs(specs) {
    int row = 1;
    for (size_t i = 0; i < specs.size(); ++i) {
        const TBandSpec& s = specs[i];
        TTabrixBand* band = FBands.AddBand(s.Type);
        band->SetRange(TabrixGetRange(row, s.Left) + ":" + TabrixGetRange(row + s.Rows - 1, s.Left + s.Width - 1));
        row += s.Rows;
        FIndex[band] = static_cast<int>(i);
        FBySpec.push_back(band);
        if (s.Type == tbxbtGroupHeader) FGroupCount = std::max(FGroupCount, s.Group);
    }
    FLastRow = row - 1;
    for (int level = 1; level <= FGroupCount; ++level) {
        auto* header = dynamic_cast<TTabrixGroupHeaderBand*>(GroupHeader(level));
        auto* footer = dynamic_cast<TTabrixGroupFooterBand*>(GroupFooter(level));
        if (header && footer) header->SetFooter(footer);
    }
    for (int level : blankHeaders) GroupHeader(level)->SetRange("");
}

TTabrixBand* TBandSet::Find(TTabrixBandType type, int group) const {
    for (const auto& [band, index] : FIndex)
        if (FSpecs[index].Type == type && FSpecs[index].Group == group) return const_cast<TTabrixBand*>(band);
    return nullptr;
}

const TBandSpec& TBandSet::SpecOf(const TTabrixBand* band) const { return FSpecs.at(FIndex.at(band)); }

std::string TBandSet::NameOf(const TTabrixBand* band) const {
    if (!band) return "none";
    const TBandSpec& s = SpecOf(band);
    switch (s.Type) {
        case tbxbtTitle:
            return "T";
        case tbxbtGroupHeader:
            return "GH" + std::to_string(s.Group);
        case tbxbtMasterData:
            return "M";
        case tbxbtDetailHeader:
            return "DH";
        case tbxbtDetailData:
            return "DD";
        case tbxbtDetailFooter:
            return "DF";
        case tbxbtGroupFooter:
            return "GF" + std::to_string(s.Group);
        case tbxbtSummary:
            return "S";
    }
    return "?";
}

void TModelSheet::Put(int row, int templateRow) {
    if (row < 1) {
        FFaults.push_back("row " + std::to_string(row) + " written");
        return;
    }
    if (row < FBlockFirst)
        FFaults.push_back("row " + std::to_string(row) + " of an earlier block written (block starts at " +
                          std::to_string(FBlockFirst) + ")");
    if (row >= static_cast<int>(FRows.size())) FRows.resize(row + 1, 0);
    FRows[row] = templateRow;
}

void TModelSheet::CopyFromTempl(const TTabrixBand& band, int row) {
    ++FCalls;
    for (int i = 0; i < band.GetRangeBottom() - band.GetRangeTop() + 1; ++i) Put(row + i, band.GetRangeTop() + i);
}

void TModelSheet::DoCopyAction(int dest, int src, int count) {
    ++FCalls;
    const std::string what =
        "copy of " + std::to_string(count) + " rows from " + std::to_string(src) + " to " + std::to_string(dest);
    if (src < FBlockFirst || src + count > FBlockEnd) FFaults.push_back(what + " reads outside the block");
    if (src + count > dest) FFaults.push_back(what + " reads rows at or below its destination");
    for (int i = 0; i < count; ++i) {
        const int from = TemplateRowAt(src + i);
        if (from == 0) {
            FFaults.push_back(what + " reads row " + std::to_string(src + i) + " before it is made");
            break;
        }
    }
    for (int i = 0; i < count; ++i) Put(dest + i, TemplateRowAt(src + i));
}

std::vector<std::string> ActionKeys(const TTabrixCopyManager& manager) {
    std::vector<std::string> keys;
    for (const TTabrixCopyActionKey& k : manager.Actions()) keys.emplace_back(k.data(), k.size());
    return keys;
}

std::vector<std::string> TemplateCopies(const TBandSet& set, const TTabrixCopyManager& manager) {
    std::vector<std::string> copies;
    for (const TTabrixTemplateCopy& c : manager.TemplateCopies())
        copies.push_back(set.NameOf(c.Band) + "@" + std::to_string(c.Row));
    return copies;
}

}  // namespace tabrix::testing
