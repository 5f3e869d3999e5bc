#include "automation/automation.h"

#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>
#include <cerrno>
#include <cstdio>
#include <cstdlib>

#include <vector>

#include "platform/rtl/files.h"
#include "platform/rtl/locale.h"
#include "platform/spreadsheet/cell_text.h"
#include "platform/spreadsheet/copy_range.h"
#include "platform/spreadsheet/workbook.h"

namespace tabrix {

namespace automation_detail {

struct TWorkbookEntry {
    std::unique_ptr<xl::TWorkbook> Book;
    std::string Name;  // "report.xlsx", or "Template1" for a new one
    bool Closed = false;
};

struct TApplicationState {
    bool Interactive = true;
    bool Visible = false;
    bool UserControl = false;
    bool Quitted = false;
    std::string Viewer;
    bool ViewerWaits = false;
    int NewBooks = 0;
    std::vector<std::shared_ptr<TWorkbookEntry>> Books;

    void CheckAlive() const {
        if (Quitted) throw EOleError("The spreadsheet application has quit; its objects can no longer be used");
    }
};

}  // namespace automation_detail

using automation_detail::TApplicationState;
using automation_detail::TWorkbookEntry;

namespace {

// Runs an engine call; its errors reach the caller as EOleError with the
// engine's message, which names file, sheet, cell or formula.
template <class F>
auto Call(F&& f) -> decltype(f()) {
    try {
        return f();
    } catch (const EOleError&) {
        throw;
    } catch (const Exception& e) {
        throw EOleError(e.Message());
    } catch (const std::bad_alloc&) {
        throw EOleError("Out of memory in the spreadsheet engine");
    }
}

bool Truthy(const Variant& v, const char* what) {
    if (v.IsEmpty() || v.IsNull()) return false;
    try {
        return v.AsBoolean();
    } catch (const Exception&) {
        throw EOleError(std::string("Argument ") + what + " must be a Boolean");
    }
}

// Starts the viewer on the file without waiting for it; the grandchild is
// adopted by init, so no zombie is left behind.
void Launch(const std::string& command, const std::string& file, bool wait) {
    std::vector<std::string> words;
    size_t i = 0;
    while (i < command.size()) {
        while (i < command.size() && command[i] == ' ') ++i;
        size_t j = command.find(' ', i);
        if (j == std::string::npos) j = command.size();
        if (j > i) words.push_back(command.substr(i, j - i));
        i = j;
    }
    if (words.empty()) return;
    words.push_back(file);
    pid_t pid = fork();
    if (pid < 0) throw EOleError("Cannot start the viewer \"" + command + "\" for \"" + file + "\"");
    if (wait) {
        // In the foreground, on the caller's terminal, until it ends.
        if (pid == 0) {
            std::vector<char*> argv;
            for (std::string& w : words) argv.push_back(w.data());
            argv.push_back(nullptr);
            execvp(argv[0], argv.data());
            _exit(127);
        }
        int status = 0;
        while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {}
        if (WIFEXITED(status) && WEXITSTATUS(status) == 127)
            throw EOleError("Cannot start the viewer \"" + command + "\" for \"" + file + "\"");
        return;
    }
    if (pid == 0) {
        setsid();
        if (fork() == 0) {
            std::vector<char*> argv;
            for (std::string& w : words) argv.push_back(w.data());
            argv.push_back(nullptr);
            execvp(argv[0], argv.data());
            _exit(127);
        }
        _exit(0);
    }
    int status = 0;
    waitpid(pid, &status, 0);
}

std::string AreasAddress(const std::vector<xl::TCellRect>& areas, bool rowAbs, bool colAbs) {
    std::string out;
    for (const xl::TCellRect& r : areas) {
        if (!out.empty()) out += ',';
        if (r.Top == 1 && r.Bottom == xl::kMaxRows) {
            // Whole columns: "A:C".
            if (colAbs) out += '$';
            xl::AppendColumnLetters(out, r.Left);
            out += ':';
            if (colAbs) out += '$';
            xl::AppendColumnLetters(out, r.Right);
        } else if (r.Left == 1 && r.Right == xl::kMaxColumns) {
            out += (rowAbs ? "$" : "") + std::to_string(r.Top) + ":" + (rowAbs ? "$" : "") + std::to_string(r.Bottom);
        } else {
            out += xl::RectAddress(r, rowAbs, colAbs);
        }
    }
    return out;
}

}  // namespace

// --- application -------------------------------------------------------

TExcelApplication TExcelApplication::Create() { return TExcelApplication(std::make_shared<TApplicationState>()); }

TApplicationState& TExcelApplication::State() const {
    if (!FState) throw EOleError("The spreadsheet application was not created");
    FState->CheckAlive();
    return *FState;
}

bool TExcelApplication::Interactive() const { return State().Interactive; }
void TExcelApplication::SetInteractive(bool value) { State().Interactive = value; }
bool TExcelApplication::UserControl() const { return State().UserControl; }
void TExcelApplication::SetUserControl(bool value) { State().UserControl = value; }
bool TExcelApplication::Visible() const { return State().Visible; }
bool TExcelApplication::Quitted() const { return !FState || FState->Quitted; }
void TExcelApplication::SetViewerCommand(std::string command) { State().Viewer = std::move(command); }
void TExcelApplication::SetViewerWaits(bool value) { State().ViewerWaits = value; }

void TExcelApplication::SetVisible(bool value) {
    TApplicationState& s = State();
    bool wasVisible = s.Visible;
    s.Visible = value;
    if (!value || wasVisible) return;
    std::string viewer = s.Viewer;
    if (viewer.empty()) {
        if (const char* v = std::getenv("TABRIX_VIEWER"); v && *v)
            viewer = v;
        else if (std::getenv("DISPLAY") || std::getenv("WAYLAND_DISPLAY"))
            viewer = "xdg-open";
    }
    for (const std::shared_ptr<TWorkbookEntry>& e : s.Books) {
        xl::TWorkbook& book = *e->Book;
        if (book.ReadOnly()) continue;
        if (book.FileName().empty() || book.Modified()) {
            // The unsaved report goes to the temporary folder under its name.
            std::string base = ChangeFileExt(e->Name, "");
            std::string ext = book.HasMacros() ? ".xlsm" : ".xlsx";
            std::string name = TempFolder() + base + ext;
            for (int n = 2; FileExists(name); ++n) name = TempFolder() + base + " (" + std::to_string(n) + ")" + ext;
            Call([&] { book.SaveAs(name); });
            e->Name = ExtractFileName(name);
        }
        if (viewer.empty()) {
            std::fprintf(stdout, "%s\n", book.FileName().c_str());
            std::fflush(stdout);
        } else {
            Launch(viewer, book.FileName(), s.ViewerWaits);
        }
    }
}

TExcelWorkbooks TExcelApplication::Workbooks() const {
    State();
    return TExcelWorkbooks(FState);
}

void TExcelApplication::Quit() {
    if (!FState || FState->Quitted) return;
    for (const std::shared_ptr<TWorkbookEntry>& e : FState->Books) {
        e->Closed = true;
        e->Book.reset();
    }
    FState->Books.clear();
    FState->Quitted = true;
}

// --- workbooks ---------------------------------------------------------

TExcelWorkbook TExcelWorkbooks::Open(const std::string& fileName, const TWorkbookOpenArgs& args) {
    FState->CheckAlive();
    bool readOnly = Truthy(args.ReadOnly, "ReadOnly");
    if (args.Password.IsString() && !args.Password.AsAnsiString().empty())
        throw EOleError("Cannot open \"" + fileName + "\": password-protected workbooks are not supported");
    auto entry = std::make_shared<TWorkbookEntry>();
    entry->Book = Call([&] { return xl::TWorkbook::Open(fileName, readOnly); });
    entry->Name = ExtractFileName(fileName);
    FState->Books.push_back(entry);
    return TExcelWorkbook(FState, entry);
}

TExcelWorkbook TExcelWorkbooks::Add(const std::string& templateFileName) {
    FState->CheckAlive();
    auto entry = std::make_shared<TWorkbookEntry>();
    ++FState->NewBooks;
    if (templateFileName.empty()) {
        entry->Book = Call([] { return xl::TWorkbook::CreateBlank(); });
        entry->Name = "Book" + std::to_string(FState->NewBooks);
    } else {
        entry->Book = Call([&] { return xl::TWorkbook::CreateFromTemplate(templateFileName); });
        entry->Name = ChangeFileExt(ExtractFileName(templateFileName), "") + std::to_string(FState->NewBooks);
    }
    FState->Books.push_back(entry);
    return TExcelWorkbook(FState, entry);
}

int TExcelWorkbooks::Count() const {
    FState->CheckAlive();
    return static_cast<int>(FState->Books.size());
}

TExcelWorkbook TExcelWorkbooks::Item(int index) const {
    FState->CheckAlive();
    if (index < 1 || index > Count())
        throw EOleError("There is no workbook " + std::to_string(index) + " (" + std::to_string(Count()) + " open)");
    return TExcelWorkbook(FState, FState->Books[index - 1]);
}

// --- workbook ----------------------------------------------------------

TWorkbookEntry& TExcelWorkbook::Entry() const {
    if (!FState || !FEntry) throw EOleError("The workbook object is empty");
    FState->CheckAlive();
    if (FEntry->Closed) throw EOleError("Workbook \"" + FEntry->Name + "\" is closed");
    return *FEntry;
}

TExcelApplication TExcelWorkbook::Application() const {
    Entry();
    return TExcelApplication(FState);
}

UnicodeString TExcelWorkbook::Name() const { return Utf8ToUnicode(Entry().Name); }
std::string TExcelWorkbook::FullName() const { return Entry().Book->FileName(); }
xl::TWorkbook& TExcelWorkbook::Model() const { return *Entry().Book; }
bool TExcelWorkbook::Saved() const { return !Entry().Book->Modified(); }

TExcelWorksheets TExcelWorkbook::Worksheets() const {
    Entry();
    return TExcelWorksheets(*this);
}

void TExcelWorkbook::Save() {
    TWorkbookEntry& e = Entry();
    Call([&] { e.Book->Save(); });
}

void TExcelWorkbook::SaveAs(const std::string& fileName) {
    TWorkbookEntry& e = Entry();
    Call([&] { e.Book->SaveAs(fileName); });
    e.Name = ExtractFileName(fileName);
}

void TExcelWorkbook::Close(const Variant& saveChanges, const Variant& fileName) {
    TWorkbookEntry& e = Entry();
    if (Truthy(saveChanges, "SaveChanges")) {
        std::string name = fileName.IsEmpty() || fileName.IsNull() ? std::string() : fileName.AsAnsiString();
        if (name.empty()) {
            Save();
        } else {
            SaveAs(name);
        }
    }
    e.Closed = true;
    e.Book.reset();
    auto& books = FState->Books;
    for (auto it = books.begin(); it != books.end(); ++it)
        if (it->get() == &e) {
            books.erase(it);
            break;
        }
}

// --- worksheets --------------------------------------------------------

int TExcelWorksheets::Count() const { return FBook.Model().SheetCount(); }

TExcelWorksheet TExcelWorksheets::Item(int index) const {
    xl::TWorkbook& book = FBook.Model();
    if (index < 1 || index > book.SheetCount())
        throw EOleError("Workbook \"" + UnicodeToUtf8(FBook.Name()) + "\" has no worksheet " + std::to_string(index) +
                        " (it has " + std::to_string(book.SheetCount()) + ")");
    return TExcelWorksheet(FBook, index - 1);
}

// --- worksheet ---------------------------------------------------------

xl::TWorksheet& TExcelWorksheet::Model() const {
    xl::TWorkbook& book = FBook.Model();
    return Call([&]() -> xl::TWorksheet& { return book.Sheet(FIndex); });
}

UnicodeString TExcelWorksheet::Name() const { return Utf8ToUnicode(FBook.Model().SheetName(FIndex)); }

void TExcelWorksheet::Activate() {
    Model();
    FBook.Model().SetActiveSheet(FIndex);
}

TExcelRange TExcelWorksheet::UsedRange() const { return TExcelRange(*this, {Model().UsedRange()}); }

TExcelRange TExcelWorksheet::Range(std::string_view cell1, std::string_view cell2) const {
    std::string text(cell1);
    if (!cell2.empty()) {
        text += ':';
        text += cell2;
    }
    std::vector<xl::TCellRect> areas;
    try {
        areas = xl::ParseAreas(text);
    } catch (const Exception&) {
        throw EOleError(Model().Where() + ": \"" + text + "\" is no range of the sheet");
    }
    return TExcelRange(*this, std::move(areas));
}

TExcelRange TExcelWorksheet::Cells() const {
    Model();
    return TExcelRange(*this, {xl::TCellRect{1, 1, xl::kMaxRows, xl::kMaxColumns}});
}

TExcelRange TExcelWorksheet::Cells(int row, int column) const {
    if (row < 1 || row > xl::kMaxRows || column < 1 || column > xl::kMaxColumns)
        throw EOleError(Model().Where() + ": row " + std::to_string(row) + ", column " + std::to_string(column) +
                        " is outside the sheet");
    return TExcelRange(*this, {xl::TCellRect{row, column, row, column}});
}

// --- range -------------------------------------------------------------

xl::TWorksheet& TExcelRange::Sheet() const { return FSheet.Model(); }

void TExcelRange::Copy(const TExcelRange& destination) const {
    xl::TWorksheet& from = Sheet();
    xl::TWorksheet& to = destination.Sheet();
    const xl::TCellRect& src = FAreas.front();
    const xl::TCellRect& dst = destination.FAreas.front();
    Call([&] { xl::CopyRange(from, src, to, dst.Top, dst.Left); });
}

TExcelRange TExcelRange::Rows() const { return *this; }

void TExcelRange::AutoFit() const {
    xl::TWorksheet& sheet = Sheet();
    Call([&] {
        for (const xl::TCellRect& a : FAreas)
            // Rows below the last one in use have nothing to fit.
            for (int row = a.Top; row <= std::min(a.Bottom, std::max(a.Top, sheet.LastRow())); ++row)
                sheet.AutoFitRow(row);
    });
}

Variant TExcelRange::RowHeight() const {
    xl::TWorksheet& sheet = Sheet();
    double first = sheet.RowHeight(FAreas.front().Top);
    for (const xl::TCellRect& a : FAreas) {
        int bottom = std::min(a.Bottom, std::max(a.Top, sheet.LastRow() + 1));  // the rest have the default
        for (int row = a.Top; row <= bottom; ++row)
            if (sheet.RowHeight(row) != first) return Variant::Null();
    }
    return Variant(first);
}

void TExcelRange::SetRowHeight(double points) const {
    xl::TWorksheet& sheet = Sheet();
    Call([&] {
        for (const xl::TCellRect& a : FAreas)
            for (int row = a.Top; row <= a.Bottom; ++row) sheet.SetRowHeight(row, points);
    });
}

namespace {

Variant ReadText(const xl::TWorksheet& sheet, int row, int column, xl::TTextForm form) {
    return Variant(Utf8ToUnicode(xl::CellText(sheet, row, column, form, FormatSettings())));
}

TVariantArray2D ReadTexts(const xl::TWorksheet& sheet, const xl::TCellRect& r, xl::TTextForm form) {
    TVariantArray2D out(1, r.RowCount(), 1, r.ColumnCount());
    for (int i = 0; i < r.RowCount(); ++i) {
        Variant* cells = out.Row(i + 1);
        for (int j = 0; j < r.ColumnCount(); ++j) cells[j] = ReadText(sheet, r.Top + i, r.Left + j, form);
    }
    return out;
}

void WriteValues(xl::TWorksheet& sheet, const xl::TCellRect& r, const TVariantArray2D& values, xl::TTextForm form) {
    const TFormatSettings& settings = FormatSettings();
    int rows = std::min(r.RowCount(), values.RowCount());
    int cols = std::min(r.ColumnCount(), values.ColCount());
    Call([&] {
        for (int i = 0; i < rows; ++i) {
            const Variant* cells = values.Row(values.RowLow() + i);
            for (int j = 0; j < cols; ++j) xl::EnterVariant(sheet, r.Top + i, r.Left + j, cells[j], form, settings);
        }
    });
}

void WriteValues(xl::TWorksheet& sheet, const xl::TCellRect& r, const TVariantArray2D& values,
                 const std::vector<xl::TTypedText>& read, int readColumns) {
    const TFormatSettings& settings = FormatSettings();
    const int rows = std::min(r.RowCount(), values.RowCount());
    const int cols = std::min(r.ColumnCount(), values.ColCount());
    Call([&] {
        for (int i = 0; i < rows; ++i) {
            const Variant* cells = values.Row(values.RowLow() + i);
            for (int j = 0; j < cols; ++j) {
                const size_t k = static_cast<size_t>(i) * static_cast<size_t>(readColumns) + static_cast<size_t>(j);
                if (j < readColumns && k < read.size())
                    xl::EnterVariant(sheet, r.Top + i, r.Left + j, cells[j], read[k], xl::TTextForm::Local, settings);
                else
                    xl::EnterVariant(sheet, r.Top + i, r.Left + j, cells[j], xl::TTextForm::Local, settings);
            }
        }
    });
}

void WriteValue(xl::TWorksheet& sheet, const std::vector<xl::TCellRect>& areas, const Variant& value,
                xl::TTextForm form) {
    const TFormatSettings& settings = FormatSettings();
    Call([&] {
        for (const xl::TCellRect& r : areas)
            for (int row = r.Top; row <= r.Bottom; ++row)
                for (int col = r.Left; col <= r.Right; ++col) xl::EnterVariant(sheet, row, col, value, form, settings);
    });
}

}  // namespace

Variant TExcelRange::FormulaLocal() const {
    return ReadText(Sheet(), FAreas.front().Top, FAreas.front().Left, xl::TTextForm::Local);
}
TVariantArray2D TExcelRange::FormulaLocalArray() const {
    return ReadTexts(Sheet(), FAreas.front(), xl::TTextForm::Local);
}
void TExcelRange::SetFormulaLocal(const TVariantArray2D& values) const {
    WriteValues(Sheet(), FAreas.front(), values, xl::TTextForm::Local);
}
struct TExcelTypedBlock::TImpl {
    std::vector<xl::TTypedText> Cells;  // row by row
    int Columns = 0;
};

void TExcelRange::SetFormulaLocal(const TVariantArray2D& values, const TExcelTypedBlock& read) const {
    WriteValues(Sheet(), FAreas.front(), values, read.FImpl->Cells, read.FImpl->Columns);
}

// --- texts read ahead ------------------------------------------------------

TExcelTypedBlock::TExcelTypedBlock() : FImpl(std::make_unique<TImpl>()) {}
TExcelTypedBlock::~TExcelTypedBlock() = default;
TExcelTypedBlock::TExcelTypedBlock(TExcelTypedBlock&&) noexcept = default;
TExcelTypedBlock& TExcelTypedBlock::operator=(TExcelTypedBlock&&) noexcept = default;

void TExcelTypedBlock::Read(const TVariantArray2D& values, int rows, const TFormatSettings& settings) {
    rows = std::min(rows, values.RowCount());
    FImpl->Columns = values.ColCount();
    FImpl->Cells.resize(static_cast<size_t>(std::max(rows, 0)) * static_cast<size_t>(FImpl->Columns));
    for (int i = 0; i < rows; ++i) {
        const Variant* cells = values.Row(values.RowLow() + i);
        for (int j = 0; j < FImpl->Columns; ++j)
            xl::ReadTypedText(
                cells[j], xl::TTextForm::Local, settings,
                FImpl->Cells[static_cast<size_t>(i) * static_cast<size_t>(FImpl->Columns) + static_cast<size_t>(j)]);
    }
}
void TExcelRange::SetFormulaLocal(const Variant& value) const {
    WriteValue(Sheet(), FAreas, value, xl::TTextForm::Local);
}
Variant TExcelRange::Formula() const {
    return ReadText(Sheet(), FAreas.front().Top, FAreas.front().Left, xl::TTextForm::English);
}
TVariantArray2D TExcelRange::FormulaArray() const { return ReadTexts(Sheet(), FAreas.front(), xl::TTextForm::English); }
void TExcelRange::SetFormula(const TVariantArray2D& values) const {
    WriteValues(Sheet(), FAreas.front(), values, xl::TTextForm::English);
}
void TExcelRange::SetFormula(const Variant& value) const { WriteValue(Sheet(), FAreas, value, xl::TTextForm::English); }

std::string TExcelRange::Address(bool rowAbsolute, bool columnAbsolute) const {
    Sheet();
    return AreasAddress(FAreas, rowAbsolute, columnAbsolute);
}

TExcelAreas TExcelRange::Areas() const {
    Sheet();
    return TExcelAreas(*this);
}

void TExcelRange::Clear() const {
    xl::TWorksheet& sheet = Sheet();
    Call([&] {
        for (const xl::TCellRect& a : FAreas) sheet.Clear(a);
    });
}

int TExcelRange::Row() const { return FAreas.front().Top; }
int TExcelRange::Column() const { return FAreas.front().Left; }
int TExcelRange::RowCount() const { return FAreas.front().RowCount(); }
int TExcelRange::ColumnCount() const { return FAreas.front().ColumnCount(); }

TExcelRange TExcelAreas::Item(int index) const {
    if (index < 1 || index > Count())
        throw EOleError("The range has no area " + std::to_string(index) + " (it has " + std::to_string(Count()) + ")");
    return TExcelRange(FRange.FSheet, {FRange.FAreas[index - 1]});
}

}  // namespace tabrix
