#pragma once
// A workbook for the evaluator tests: cell values in maps per sheet, defined
// names as formula texts.

#include <map>
#include <string>
#include <tuple>

#include "platform/spreadsheet/formula/formula.h"

namespace tabrix::xl::test {

class TMapContext : public IFormulaContext {
public:
    // "A1"-style address on the formula's sheet ("" sheet) or on a named one.
    void Set(const std::string& sheet, int row, int col, TScalar v) { FCells[{sheet, row, col}] = std::move(v); }
    void Set(int row, int col, TScalar v) { Set("", row, col, std::move(v)); }
    void Name(const std::string& name, const std::string& text) { FNames[name] = text; }

    TScalar CellValue(std::string_view sheet, int row, int col) override {
        ++Reads;
        const auto it = FCells.find({std::string(sheet), row, col});
        return it == FCells.end() ? TScalar{} : it->second;
    }
    void ForEachCell(std::string_view sheet, int row1, int col1, int row2, int col2,
                     const std::function<bool(int, int, const TScalar&)>& fn) override {
        ++Scans;
        for (auto it = FCells.lower_bound({std::string(sheet), row1, 0}); it != FCells.end(); ++it) {
            const auto& [s, r, c] = it->first;
            if (s != sheet || r > row2) break;
            if (c < col1 || c > col2) continue;
            if (!fn(r, c, it->second)) return;
        }
    }
    bool ResolveName(std::string_view name, std::string& text) override {
        const auto it = FNames.find(std::string(name));
        if (it == FNames.end()) return false;
        text = it->second;
        return true;
    }

    int Reads = 0, Scans = 0;

private:
    std::map<std::tuple<std::string, int, int>, TScalar> FCells;
    std::map<std::string, std::string> FNames;
};

}  // namespace tabrix::xl::test
