// The objects of a sheet that live in parts of their own (notes, drawings):
// read on demand, their parts written at save before the sheet itself.

#include <algorithm>

#include "platform/spreadsheet/workbook.h"
#include "platform/spreadsheet/worksheet.h"

namespace tabrix::xl {

// Cut in the order of the kept text (<hyperlinks>, <drawing>,
// <legacyDrawing>): the places cut before stay where they are.
TSheetDrawing& TWorksheet::Drawing() const {
    if (!FDrawing) {
        const size_t after = std::max(Links().InsertAt(), FMergeInsertAt);
        FDrawing = std::make_unique<TSheetDrawing>(FTail, after, FRels, FPartName, FWorkbook->Package());
    }
    return *FDrawing;
}

TSheetNotes& TWorksheet::Notes() const {
    if (!FNotes) {
        const size_t after = std::max(Drawing().InsertAt(), FMergeInsertAt);
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
    if (FDrawing && FDrawing->Changed()) {
        FDrawing->SaveParts(package, types, FRels, FPartName);
        changed = true;
    }
    if (changed) FRelsChanged = true;
    return changed;
}

}  // namespace tabrix::xl
