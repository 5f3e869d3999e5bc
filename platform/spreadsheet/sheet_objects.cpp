// The objects of a sheet that live in parts of their own (notes, drawings):
// read on demand, their parts written at save before the sheet itself.

#include <algorithm>

#include "platform/spreadsheet/workbook.h"
#include "platform/spreadsheet/worksheet.h"

namespace tabrix::xl {

// Cut after the links, since <legacyDrawing> follows <hyperlinks> in the
// kept text: the places cut before stay where they are.
TSheetNotes& TWorksheet::Notes() const {
    if (!FNotes) {
        const size_t after = std::max(Links().InsertAt(), FMergeInsertAt);
        FNotes = std::make_unique<TSheetNotes>(FTail, after, FRels, FPartName, FWorkbook->Package());
    }
    return *FNotes;
}

bool TWorksheet::SaveObjectParts(TPackage& package, TContentTypes& types) {
    bool changed = false;
    if (FNotes && FNotes->Changed()) {
        FNotes->SaveParts(package, types, FRels, FPartName);
        changed = true;
    }
    if (changed) FRelsChanged = true;
    return changed;
}

}  // namespace tabrix::xl
