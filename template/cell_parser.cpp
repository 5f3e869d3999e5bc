#include "template/cell_parser.h"

#include "bands/band.h"
#include "cells/renew_references.h"
#include "platform/db/dataset.h"
#include "platform/rtl/locale.h"
#include "template/band_info.h"
#include "template/templ_parser.h"

namespace tabrix {

bool TabrixTextMovesWithRow(std::u16string_view text, char sign) {
    size_t i = 0;
    while (i < text.size() && text[i] <= u' ') ++i;
    if (i + 1 < text.size() && text[i] == static_cast<unsigned char>(sign) && text[i + 1] == u'=') return true;
    return i < text.size() && text[i] == u'=';
}

namespace {

TTabrixDataKind DataKindOf(TFieldType type) {
    switch (type) {
        case TFieldType::ftInteger:
        case TFieldType::ftLargeint:
            return TTabrixDataKind::Integer;
        case TFieldType::ftFloat:
        case TFieldType::ftCurrency:
        case TFieldType::ftFMTBcd:
            return TTabrixDataKind::Number;
        case TFieldType::ftDate:
        case TFieldType::ftTime:
        case TFieldType::ftDateTime:
            return TTabrixDataKind::DateTime;
        case TFieldType::ftBoolean:
            return TTabrixDataKind::Boolean;
        default:
            return TTabrixDataKind::Text;
    }
}

bool IsTotalBand(TTabrixBandType t) { return t == tbxbtDetailFooter || t == tbxbtGroupFooter || t == tbxbtSummary; }
bool IsDetailBand(TTabrixBandType t) { return t == tbxbtDetailData || t == tbxbtDetailFooter; }

void AppendUtf8(UnicodeString& out, const AnsiString& text) {
    // ASCII, the common case, needs no conversion buffer.
    for (unsigned char c : text)
        if (c >= 0x80) {
            out += Utf8ToUnicode(text);
            return;
        }
    out.append(text.begin(), text.end());
}

}  // namespace

TTabrixCellParser::TTabrixCellParser(TTabrixBandInfo* bandInfo, const TTabrixFieldParser& fieldParser, int row, int col)
    : TTabrixFieldParser(bandInfo, bandInfo->Parser()->Owner().TemplFieldSign()), FCol(col), FRow(row) {
    Assign(fieldParser);
}

void TTabrixCellParser::Assign(const TTabrixFieldParser& source) {
    TTabrixFieldParser::Assign(source);
    if (const auto* cell = dynamic_cast<const TTabrixCellParser*>(&source)) {
        FFieldAccTypes = cell->FFieldAccTypes;
        FDataSets = cell->FDataSets;
        FAccTypes = cell->FAccTypes;
        FCol = cell->FCol;
        FRow = cell->FRow;
        FDSFieldNames = cell->FDSFieldNames;
        FFieldUses = cell->FFieldUses;
        FIsFormula = cell->FIsFormula;
        FHasDataValue = cell->FHasDataValue;
        FTextMoves = cell->FTextMoves;
        FSingleField = cell->FSingleField;
        FFieldCache.assign(FDataSets.size(), TDataSet::TFieldRef{});
        return;
    }
    LoadFieldAndAccTypes();
}

void TTabrixCellParser::SetFieldString(const UnicodeString& s) {
    TTabrixFieldParser::SetFieldString(s);
    LoadFieldAndAccTypes();
}

void TTabrixCellParser::LoadFieldAndAccTypes() {
    TTabrixBandInfo* info = GetBandInfo();
    TTabrixTemplParser* parser = info->Parser();
    ITabrixTemplOwner& owner = parser->Owner();
    const TTabrixBandType type = info->Band()->BandType();
    FFieldAccTypes.clear();
    FDataSets.clear();
    FDSFieldNames.clear();
    FAccTypes.Clear();
    for (int i = 0; i < GetCount(); ++i) {
        const AnsiString& name = GetField(i);
        TDataSet* dataSet = owner.FindFieldDataSet(name);
        FDataSets.push_back(dataSet);
        if (dataSet) {
            const size_t dot = name.rfind('.');
            FDSFieldNames.push_back(dot == AnsiString::npos ? name : name.substr(dot + 1));
        } else {
            FDSFieldNames.push_back(name);
        }
        int accType = -1;
        if (GetFunc(i) != TTabrixFieldFunc::ffNone) {
            if (!IsTotalBand(type)) {
                // Outside footers and the summary a total is the plain value.
                SetFunc(i, TTabrixFieldFunc::ffNone);
            } else {
                const bool detail = (dataSet && dataSet == owner.TemplDetailDataSet()) || IsDetailBand(type) ||
                                    parser->FindFieldInDetailData(dataSet, name);
                const TTabrixAccType t = detail ? xatDetail : xatMaster;
                accType = t;
                FAccTypes.Include(t);
            }
        }
        FFieldAccTypes.push_back(accType);
    }
    LoadFieldUses();
}

void TTabrixCellParser::LoadFieldUses() {
    const char sign = GetSign();
    FIsFormula = !GetText(0).empty() && GetText(0).front() == u'=';
    FHasDataValue = false;
    FFieldUses.assign(GetCount(), TFieldUse{});
    FFieldCache.assign(GetCount(), TDataSet::TFieldRef{});
    FSingleField = GetCount() == 1 && GetText(0).empty() && GetText(1).empty();
    FTextMoves.assign(GetCount() + 1, false);
    bool inString = false;  // the formula is inside a string constant after the pieces so far
    for (int i = 0; i <= GetCount(); ++i) {
        const UnicodeString& piece = GetText(i);
        FTextMoves[i] = TabrixTextMovesWithRow(piece, sign);
        for (char16_t c : piece)
            if (c == u'"') inString = !inString;
        if (i == GetCount()) break;
        TFieldUse& use = FFieldUses[i];
        use.InsideString = inString;
        if (!FDataSets[i] || GetFunc(i) != TTabrixFieldFunc::ffNone) continue;
        FHasDataValue = true;
        if (const TField* field = FDataSets[i]->FindField(FDSFieldNames[i])) use.Kind = DataKindOf(field->DataType());
        use.Numeric = use.Kind == TTabrixDataKind::Integer || use.Kind == TTabrixDataKind::Number;
    }
}

TDataSet* TTabrixCellParser::GetDataSet(int index) const {
    if (index < 0 || index >= static_cast<int>(FDataSets.size())) RaiseListIndexError(index);
    return FDataSets[index];
}

const AnsiString& TTabrixCellParser::GetDSFieldName(int index) const {
    if (index < 0 || index >= static_cast<int>(FDSFieldNames.size())) RaiseListIndexError(index);
    return FDSFieldNames[index];
}

int TTabrixCellParser::GetFieldAccType(int index) const {
    if (index < 0 || index >= static_cast<int>(FFieldAccTypes.size())) RaiseListIndexError(index);
    return FFieldAccTypes[index];
}

bool TTabrixCellParser::IsSingleField() const { return FSingleField; }

TField* TTabrixCellParser::DataSetField(int index) {
    return FDataSets[index]->FieldByName(FDSFieldNames[index], FFieldCache[index]);
}

UnicodeString TTabrixCellParser::GetCellValue(int outRow) {
    FOutRow = outRow;
    return GetResultString();
}

AnsiString TTabrixCellParser::GetValue(int index) {
    const TTabrixFieldFunc func = GetFunc(index);
    TDataSet* dataSet = GetDataSet(index);
    if (func != TTabrixFieldFunc::ffNone)
        return GetBandInfo()->GetAccFieldValue(FDSFieldNames[index], dataSet, func,
                                               static_cast<TTabrixAccType>(FFieldAccTypes[index]));
    if (dataSet) return DataSetField(index)->AsString();
    Variant value;
    GetBandInfo()->Parser()->OnGetValue()(this, GetField(index), value);
    return value.AsAnsiString();
}

void TTabrixCellParser::AppendValue(UnicodeString& result, int index) {
    const AnsiString value = GetValue(index);
    const TFieldUse& use = FFieldUses[index];
    const bool dataValue = FDataSets[index] && GetFunc(index) == TTabrixFieldFunc::ffNone;
    if (!FIsFormula || !dataValue || (use.Numeric && !use.InsideString && !value.empty())) {
        AppendUtf8(result, value);
        return;
    }
    // A data value in a formula is a string constant: it cannot change the
    // formula's structure. So is an empty number, which would leave a hole
    // ("=*2") that fails the whole block's write.
    TabrixAppendFormulaString(result, Utf8ToUnicode(value), use.InsideString);
}

UnicodeString TTabrixCellParser::GetResultString() {
    const char sign = GetSign();
    const int shift = FOutRow - FRow;
    UnicodeString result;
    result.reserve(32);
    const int count = GetCount();
    for (int i = 0; i <= count; ++i) {
        if (FTextMoves[i] && shift != 0)
            result += TabrixRenewCellReferences(GetText(i), shift, 0, sign);
        else
            result += GetText(i);
        if (i < count) AppendValue(result, i);
    }
    const TFormatSettings& settings = FormatSettings();
    if (IsSingleField()) {
        if (GetFunc(0) != TTabrixFieldFunc::ffNone) {
            // A total given as a formula text becomes a formula; a number stays one.
            size_t first = 0;
            while (first < result.size() && result[first] <= u' ') ++first;
            if (first < result.size()) {
                const unsigned char c = static_cast<unsigned char>(result[first] & 0xFF);
                if (!(c >= '0' && c <= '9') && c != static_cast<unsigned char>(settings.DecimalSeparator))
                    result.insert(result.begin(), u'=');
            }
            return result;
        }
    }
    if (!FIsFormula && FHasDataValue)
        TabrixMarkDataText(result, IsSingleField() ? FFieldUses[0].Kind : TTabrixDataKind::Text, settings);
    return result;
}

}  // namespace tabrix
