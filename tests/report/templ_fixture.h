#pragma once
// What the template parser tests share: a report component on a data module,
// a template workbook written by the test through the engine, saved as a file
// and opened again read-only (as a build opens its template), and data sets
// filled from CSV text.

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <initializer_list>
#include <memory>
#include <optional>
#include <string>
#include <utility>

#include "automation/automation.h"
#include "platform/classes/application.h"
#include "platform/db/db.h"
#include "report/tabrix.h"
#include "template/templ_parser.h"

namespace tabrix::testing {

class TTemplFixture : public ::testing::Test {
protected:
    void SetUp() override {
        RegisterDbClasses();
        std::string pattern = (std::filesystem::temp_directory_path() / "tabrix-templ-test-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        Folder = pattern + "/";
        Module = std::make_unique<TDataModule>();
        Module->SetName("TemplTestModule");
        Report = new TTabrix(Module.get());
        Report->SetName("Report");
        App = TExcelApplication::Create();
        Book = App.Workbooks().Add();
    }
    void TearDown() override {
        Parser.reset();
        App.Quit();
        Module.reset();
        std::error_code ec;
        std::filesystem::remove_all(Folder, ec);
    }

    // Typed into the template sheet as a user would type it.
    void Cell(const char* address, const std::u16string& text) {
        Book->Worksheets().Item(1).Range(address).SetFormulaLocal(Variant(UnicodeString(text)));
    }
    void Cells(std::initializer_list<std::pair<const char*, const char16_t*>> cells) {
        for (const auto& [address, text] : cells) Cell(address, text);
    }

    TTabrixBand* AddBand(TTabrixBandType type, const char* range) {
        TTabrixBand* band = Report->Bands()->AddBand(type);
        band->SetRange(range);
        return band;
    }
    TTabrixGroupHeaderBand* AddGroup(const char* headerRange, const char* footerRange) {
        auto* header = static_cast<TTabrixGroupHeaderBand*>(Report->Bands()->AddBand(tbxbtGroupHeader));
        header->SetRange(headerRange);
        auto* footer = static_cast<TTabrixGroupFooterBand*>(Report->Bands()->AddBand(tbxbtGroupFooter));
        footer->SetRange(footerRange);
        header->SetFooter(footer);
        return header;
    }

    // A table of the module, opened, holding the CSV text.
    TMemTable* Table(const char* name, const std::string& csv) {
        auto* table = new TMemTable(Module.get());
        table->SetName(name);
        table->LoadFromCsv(csv, name);
        table->Open();
        return table;
    }

    // The template saved, opened again read-only, and parsed.
    TTabrixTemplParser& Parse() {
        const std::string file = Folder + "template" + std::to_string(++FSaves) + ".xlsx";
        Book->SaveAs(file);
        TExcelWorkbook templ = App.Workbooks().Open(file, {.ReadOnly = true});
        Sheet = templ.Worksheets().Item(1);
        Parser.reset();
        Parser = std::make_unique<TTabrixTemplParser>(
            *Report, *Sheet, [this](const void* sender, const AnsiString& field, Variant& value) {
                Report->GetUserFieldValue(sender, field, value);
            });
        return *Parser;
    }

    // The texts a band gives for one output at OutRow: every cell of the
    // band's range, row by row, "|" between cells and "/" between rows.
    std::string Output(const TTabrixBand* band, int outRow, const TTabrixBand* header = nullptr) {
        std::string out;
        for (int r = band->GetRangeTop(); r <= band->GetRangeBottom(); ++r) {
            if (r != band->GetRangeTop()) out += "/";
            for (int c = band->GetRangeLeft(); c <= band->GetRangeRight(); ++c) {
                if (c != band->GetRangeLeft()) out += "|";
                out += UnicodeToUtf8(Parser->GetValue(band, header, r, c, outRow + r - band->GetRangeTop()));
            }
        }
        return out;
    }
    // Output, then the band recorded at OutRow.
    std::string Put(const TTabrixBand* band, int outRow, const TTabrixBand* header = nullptr) {
        std::string out = Output(band, outRow, header);
        Parser->SetOutputRow(band, header, outRow);
        return out;
    }

    std::string Folder;
    std::unique_ptr<TDataModule> Module;
    TTabrix* Report = nullptr;
    TExcelApplication App;
    std::optional<TExcelWorkbook> Book;
    std::optional<TExcelWorksheet> Sheet;
    std::unique_ptr<TTabrixTemplParser> Parser;

private:
    int FSaves = 0;
};

}  // namespace tabrix::testing
