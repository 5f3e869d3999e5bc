// The sheet build of one report sheet. Here it prepares the report sheet
// and the row counters; the generation loop plugs in behind it.

#include <algorithm>

#include "report/tabrix.h"

namespace tabrix {

void TTabrix::MakeReport() {
    FCurRow = 1;
    FShownBlocks = 0;
    // The widest band decides the report's columns: every band is written
    // from report column 1, whatever its columns in the template.
    FReportColCount = 0;
    for (int i = 0; i < FBands->GetCount(); ++i) {
        const TTabrixBand* band = FBands->GetItem(i);
        if (!band->RangeIsBlank())
            FReportColCount = std::max(FReportColCount, band->GetRangeRight() - band->GetRangeLeft() + 1);
    }
    // The report sheet starts as the template sheet's copy: contents and
    // formats go, the rows are rebuilt from the bands.
    FReportWorksheet->UsedRange().Clear();
}

}  // namespace tabrix
