#pragma once
// TTabrixCellParser: one template cell with at least one field reference.
// At construction it finds where each field's value comes from (a data set
// field, or a user field asked from the value callback) and whether it is a
// total and which record counter drives it. During the build it gives the
// cell's text for the current record: literal pieces with their cell
// references moved to the output row, field values and totals.
//
// Data values are never typed input (data_text.h): in a cell that is no
// formula, a text typed input would misread comes back marked as text; in a
// formula cell a numeric field's value is inserted as a number and any other
// data value as a string constant, so it cannot change the formula. Values of
// user fields and totals are the system's and the application's own and are
// inserted as they are.
//
// Owned by its band info (band_info.h). Rows and columns are template sheet
// coordinates, 1-based.
//
//   TTabrixCellParser cell(&bandInfo, plainParser, 5, 3);  // template cell C5
//   cell.GetCellValue(12);                                 // its text at report row 12

#include <cstdint>
#include <string_view>
#include <vector>

#include "platform/db/dataset.h"
#include "platform/rtl/strings.h"
#include "template/data_text.h"
#include "template/field_parser.h"
#include "template/templ_owner.h"

namespace tabrix {

class TField;
class TTabrixBandInfo;

// Whether a text is one that TabrixRenewCellReferences moves at all (after
// blanks, "=" or the sign and "="): the other texts are the same at every
// output row, so they are not renewed per output.
bool TabrixTextMovesWithRow(std::u16string_view text, char sign);

class TTabrixCellParser : public TTabrixFieldParser {
public:
    // Copies the parse of fieldParser and resolves its fields; raises what
    // the data set resolution raises.
    TTabrixCellParser(TTabrixBandInfo* bandInfo, const TTabrixFieldParser& fieldParser, int row, int col);

    void Assign(const TTabrixFieldParser& source) override;
    void SetFieldString(const UnicodeString& s) override;

    TTabrixBandInfo* GetBandInfo() const { return static_cast<TTabrixBandInfo*>(Holder()); }
    TDataSet* GetDataSet(int index) const;
    // The name under which field index is read from its data set: the text
    // after the last "."; the whole reference for a user field.
    const AnsiString& GetDSFieldName(int index) const;
    // -1 for a field that is no total, else its TTabrixAccType.
    int GetFieldAccType(int index) const;
    TTabrixAccTypes GetAccTypes() const { return FAccTypes; }
    int Row() const { return FRow; }
    int Col() const { return FCol; }
    // Whether the cell is one field and nothing else.
    bool IsSingleField() const;

    UnicodeString GetCellValue(int outRow);
    AnsiString GetValue(int index) override;
    UnicodeString GetResultString() override;

    void LoadFieldAndAccTypes();

private:
    // How field index's value enters the text.
    struct TFieldUse {
        TTabrixDataKind Kind = TTabrixDataKind::Text;
        bool Numeric = false;       // inserted into a formula as a number
        bool InsideString = false;  // stands inside a string constant of the formula
    };
    void LoadFieldUses();
    void AppendValue(UnicodeString& result, int index);
    TField* DataSetField(int index);

    TTabrixAccTypes FAccTypes;
    int32_t FCol;
    int32_t FOutRow = 0;
    std::vector<TDataSet*> FDataSets;
    std::vector<int> FFieldAccTypes;
    int32_t FRow;

    std::vector<AnsiString> FDSFieldNames;
    // The data set field last read for each field (null until read): the
    // lookup by name is done again only when the data set's fields changed.
    std::vector<TDataSet::TFieldRef> FFieldCache;
    bool FSingleField = false;
    std::vector<TFieldUse> FFieldUses;
    bool FIsFormula = false;     // the template cell is a formula
    bool FHasDataValue = false;  // a plain data set value takes part
    // Pieces that begin with "=" are renewed per output; the others never change.
    std::vector<bool> FTextMoves;
};

}  // namespace tabrix
