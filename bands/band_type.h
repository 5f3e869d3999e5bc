#pragma once
// Band types: the role a band's rows play in a report. The ordinal is the
// sort key of the band list and what the streamed form stores.

#include <cstdint>

#include "platform/classes/typinfo.h"

namespace tabrix {

enum TTabrixBandType : uint8_t {
    tbxbtTitle = 0,
    tbxbtGroupHeader = 1,
    tbxbtMasterData = 2,
    tbxbtDetailHeader = 3,
    tbxbtDetailData = 4,
    tbxbtDetailFooter = 5,
    tbxbtGroupFooter = 6,
    tbxbtSummary = 7,
};

inline constexpr int kTabrixBandTypeCount = 8;

// "Title", "GroupHeader", ... "Summary".
const char* TabrixBandTypeName(TTabrixBandType type);
// The enumerator names (tbxbtTitle ...) for published properties.
const TEnumInfo& TabrixBandTypeInfo();

}  // namespace tabrix
