// Which data set supplies a field reference of the template, the values of
// user fields, and the detail data set of a report.

#include "cells/cell_address.h"
#include "cells/name_lookup.h"
#include "messages/messages.h"
#include "platform/classes/typinfo.h"
#include "platform/db/datasource.h"
#include "platform/db/field.h"
#include "platform/rtl/format.h"
#include "report/tabrix.h"
#include "template/field_parser.h"

namespace tabrix {

namespace {

// The data set named by the form and data set parts of a reference, or null.
TDataSet* NamedDataSet(const TComponent* Owner, const AnsiString& Form, const AnsiString& DataSet) {
    if (!Form.empty()) return TabrixFindDSInForms(Form, DataSet);
    if (!DataSet.empty()) return TabrixFindOwnedDataSet(Owner, DataSet);
    return nullptr;
}

// A published object property by name; null when the class has none.
TPersistent* ObjectProp(const TPersistent& Instance, const char* Name) {
    const TPropInfo* info = GetPropInfo(Instance, Name);
    if (!info || (info->Kind != TTypeKind::tkComponent && info->Kind != TTypeKind::tkClass)) return nullptr;
    return GetObjectProp(Instance, Name);
}

// Whether Candidate follows Master as its detail: through a data source
// (MasterSource of a table, DataSource of a query) or as the nested table
// of one of Master's fields (DataSetField).
bool IsDetailOf(const TDataSet& Candidate, const TDataSet* Master) {
    for (const char* link : {"MasterSource", "DataSource"})
        if (const auto* source = dynamic_cast<const TDataSource*>(ObjectProp(Candidate, link)))
            if (source->DataSet() == Master) return true;
    if (const auto* field = dynamic_cast<const TDataSetField*>(ObjectProp(Candidate, "DataSetField")))
        return field->DataSet() == Master;
    return false;
}

// A data set's fields are known once it is open.
TField* FindFieldOpening(TDataSet* DataSet, const AnsiString& Name) {
    if (!DataSet) return nullptr;
    if (!DataSet->Active()) DataSet->Open();
    return DataSet->FindField(Name);
}

}  // namespace

TDataSet* TTabrix::FindFieldDataSet(const AnsiString& Name) {
    if (FDictionary->FindField(Name)) return nullptr;  // a user field
    AnsiString form, dataSetName, field;
    TabrixFindStrParts(Name, form, dataSetName, field);
    const AnsiString key = AnsiUpperCase(form + "." + dataSetName);
    TDataSet* result = nullptr;
    if (auto cached = FDataSetCache.find(key); cached != FDataSetCache.end()) {
        result = cached->second;
    } else {
        result = NamedDataSet(Owner(), form, dataSetName);
        if (result) {
            FDataSetCache.emplace(key, result);
        } else if (FindFieldOpening(FDataSet, Name)) {
            // A field whose own name has a dot ("Address.City"); not cached,
            // as the key would hide fields of that name in other data sets.
            result = FDataSet;
        } else if (FindFieldOpening(FDetailDataSet, Name)) {
            result = FDetailDataSet;
        }
    }
    if (result && !FindFieldOpening(result, field))
        throw ETabrixError(Format(SFieldNotFoundInTable, {Name, result->Name()}));
    return result;
}

void TTabrix::GetUserFieldValue(const void*, const AnsiString& Field, Variant& Value) {
    Value.Clear();
    if (const TTabrixField* field = FDictionary->FindField(Field)) {
        Value = Variant(field->ValueAsString());
        return;
    }
    if (OnGetFieldValue) OnGetFieldValue(this, Field, Value);
    if (Value.IsEmpty()) throw ETabrixError(Format(SFieldNotFoundInTables, {Field}));
}

TDataSet* TTabrix::FindDetailDataSetInTempl(const AnsiString& Range) {
    if (!FTemplWorksheet) return nullptr;
    return FindDetailDataSetInTempl(*FTemplWorksheet, Range);
}

TDataSet* TTabrix::FindDetailDataSetInTempl(const TExcelWorksheet& Sheet, const AnsiString& Range) {
    if (!FDataSet || Trim(Range).empty()) return nullptr;
    const AnsiString first = TabrixGetRangeFirst(Range), last = TabrixGetRangeLast(Range);
    const int row1 = TabrixGetRangeRow(first), col1 = TabrixGetRangeColumn(first);
    const int row2 = TabrixGetRangeRow(last), col2 = TabrixGetRangeColumn(last);
    if (row1 > row2 || col1 > col2) return nullptr;
    // The band in one read, not a round trip per cell.
    const TVariantArray2D texts = Sheet.Range(first, last).FormulaArray();
    TTabrixFieldParser parser(FieldSign);
    AnsiString form, dataSetName, field;
    for (int r = texts.RowLow(); r <= texts.RowHigh(); ++r)
        for (int c = texts.ColLow(); c <= texts.ColHigh(); ++c) {
            parser.SetFieldString(texts(r, c).AsUnicodeString());
            for (int j = 0; j < parser.GetCount(); ++j) {
                TabrixFindStrParts(parser.GetField(j), form, dataSetName, field);
                TDataSet* candidate = NamedDataSet(Owner(), form, dataSetName);
                if (candidate && IsDetailOf(*candidate, FDataSet)) return candidate;
            }
        }
    return nullptr;
}

}  // namespace tabrix
