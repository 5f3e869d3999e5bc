#pragma once
// Totals of a template: #SUM(Qty), #AVG(Price), #MAX, #MIN, #COUNT in a
// detail footer, group footer or summary band. Each is held by one
// TTabrixAccField of the band info that shows it: a running value fed after
// every master or detail record and restarted after its footer was output,
// or, when the totalled field is shown one to a cell in an inner band, a
// spreadsheet formula over the report cells where those values landed
// (GetBandRangeFormula of that band info).
//
//   acc.Accumulate();            // after each record of its type
//   acc.GetValue();              // "SUM(D5:D9)" or "12.5"
//   acc.ResetAccumulation();     // after its footer band was output

#include <cstdint>

#include "platform/db/dataset.h"
#include "platform/rtl/strings.h"
#include "template/field_parser.h"
#include "template/templ_owner.h"

namespace tabrix {

class TTabrixBandInfo;

// Range formulas: references are grouped 30 to a function call, at most 30
// groups (a function of the spreadsheet takes at most 30 arguments), and the
// formula text is at most 1023 characters (the longest formula a cell of the
// oldest supported file format takes). Beyond either, the running value is
// written instead.
inline constexpr int kTabrixRefsPerGroup = 30;
inline constexpr int kTabrixMaxFormulaGroups = 30;
inline constexpr size_t kTabrixMaxFormulaLength = 1023;

// The spreadsheet's English name of a field function ("AVERAGE" for ffAvg),
// empty for ffNone.
const char* TabrixEnglishFuncName(TTabrixFieldFunc func);

// The function a range formula applies over cells that show cellFunc when
// the total is func; ffNone when no formula over such cells is built.
TTabrixFieldFunc TabrixCombineFuncs(TTabrixFieldFunc func, TTabrixFieldFunc cellFunc);

class TTabrixAccField {
public:
    // Owned by bandInfo; everything else zero or empty.
    explicit TTabrixAccField(TTabrixBandInfo* bandInfo) : FBandInfo(bandInfo) {}

    TTabrixAccField(const TTabrixAccField&) = delete;
    TTabrixAccField& operator=(const TTabrixAccField&) = delete;

    // Adds the current record.
    void Accumulate();
    // The formula text without its "=", or the running value as text.
    AnsiString GetValue() const;
    // Starts a new period: the formula covers only outputs made from now on.
    void ResetAccumulation();

    TTabrixAccType FAccType = xatMaster;
    // The data set field's name, or the whole reference for a user field.
    AnsiString FSourceField;
    TDataSet* FSourceDataSet = nullptr;
    TDataSet::TFieldRef FSourceFieldRef;  // the field, looked up once
    TTabrixFieldFunc FFunc = TTabrixFieldFunc::ffNone;
    TTabrixFieldFunc FFormulaFunc = TTabrixFieldFunc::ffNone;
    long double FValue = 0;
    // The band info whose outputs the formula covers, or null.
    TTabrixBandInfo* FFormulaBandInfo = nullptr;
    uint16_t FStartInterval = 0;  // 0-based index into its row intervals
    uint16_t FSkipOutputs = 0;
    int32_t FFormulaRowOffset = 0;  // row of the totalled cell in its band, from 0
    int32_t FFormulaCol = 0;        // report column of the totalled cell, from 1
    TTabrixBandInfo* FBandInfo;
};

}  // namespace tabrix
