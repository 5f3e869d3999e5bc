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
TDataSet* NamedDataSet(const TComponent* owner, const AnsiString& form, const AnsiString& dataSet) {
    if (!form.empty()) return TabrixFindDSInForms(form, dataSet);
    if (!dataSet.empty()) return TabrixFindOwnedDataSet(owner, dataSet);
    return nullptr;
}

// A published object property by name; null when the class has none.
TPersistent* ObjectProp(const TPersistent& instance, const char* name) {
    const TPropInfo* info = GetPropInfo(instance, name);
    if (!info || (info->Kind != TTypeKind::tkComponent && info->Kind != TTypeKind::tkClass)) return nullptr;
    return GetObjectProp(instance, name);
}

// Whether candidate follows master as its detail: through a data source
// (MasterSource of a table, DataSource of a query) or as the nested table
// of one of master's fields (DataSetField).
bool IsDetailOf(const TDataSet& candidate, const TDataSet* master) {
    for (const char* link : {"MasterSource", "DataSource"})
        if (const auto* source = dynamic_cast<const TDataSource*>(ObjectProp(candidate, link)))
            if (source->DataSet() == master) return true;
    if (const auto* field = dynamic_cast<const TDataSetField*>(ObjectProp(candidate, "DataSetField")))
        return field->DataSet() == master;
    return false;
}

// A data set's fields are known once it is open.
TField* FindFieldOpening(TDataSet* dataSet, const AnsiString& name) {
    if (!dataSet) return nullptr;
    if (!dataSet->Active()) dataSet->Open();
    return dataSet->FindField(name);
}

}  // namespace

TDataSet* TTabrix::FindFieldDataSet(const AnsiString& name) {
    if (FDictionary->FindField(name)) return nullptr;  // a user field
    AnsiString form, dataSetName, field;
    TabrixFindStrParts(name, form, dataSetName, field);
    const AnsiString key = AnsiUpperCase(form + "." + dataSetName);
    TDataSet* result = nullptr;
    if (auto cached = FDataSetCache.find(key); cached != FDataSetCache.end()) {
        result = cached->second;
    } else {
        result = NamedDataSet(Owner(), form, dataSetName);
        if (result) {
            FDataSetCache.emplace(key, result);
        } else if (FindFieldOpening(FDataSet, name)) {
            // A field whose own name has a dot ("Address.City"); not cached,
            // as the key would hide fields of that name in other data sets.
            result = FDataSet;
        } else if (FindFieldOpening(FDetailDataSet, name)) {
            result = FDetailDataSet;
        }
    }
    if (result && !FindFieldOpening(result, field))
        throw ETabrixError(Format(SFieldNotFoundInTable, {name, result->Name()}));
    return result;
}

void TTabrix::GetUserFieldValue(const void*, const AnsiString& field, Variant& value) {
    value.Clear();
    if (const TTabrixField* item = FDictionary->FindField(field)) {
        value = Variant(item->ValueAsString());
        return;
    }
    if (OnGetFieldValue) OnGetFieldValue(this, field, value);
    if (value.IsEmpty()) throw ETabrixError(Format(SFieldNotFoundInTables, {field}));
}

TDataSet* TTabrix::FindDetailDataSetInTempl(const AnsiString& range) {
    if (!FTemplWorksheet) return nullptr;
    return FindDetailDataSetInTempl(*FTemplWorksheet, range);
}

TDataSet* TTabrix::FindDetailDataSetInTempl(const TExcelWorksheet& sheet, const AnsiString& range) {
    if (!FDataSet || Trim(range).empty()) return nullptr;
    const AnsiString first = TabrixGetRangeFirst(range), last = TabrixGetRangeLast(range);
    const int row1 = TabrixGetRangeRow(first), col1 = TabrixGetRangeColumn(first);
    const int row2 = TabrixGetRangeRow(last), col2 = TabrixGetRangeColumn(last);
    if (row1 > row2 || col1 > col2) return nullptr;
    // The band in one read, not a round trip per cell.
    const TVariantArray2D texts = sheet.Range(first, last).FormulaArray();
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
