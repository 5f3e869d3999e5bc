#include "platform/db/csv_reader.h"

#include <fmt/format.h>

#include "platform/db/db_errors.h"
#include "platform/db/text_position.h"
#include "platform/db/type_guess.h"
#include "platform/rtl/iso_datetime.h"
#include "platform/rtl/strings.h"

namespace tabrix {

namespace {

struct Cell {
    size_t Begin, End;  // in the cell text block
    bool Quoted;
};

// The records of a CSV text as cells; quoted cells unescaped into one block.
class CsvSplitter {
public:
    CsvSplitter(std::string_view text, const TDataFileSource& source, char delimiter)
        : FText(text), FSource(source), FDelimiter(delimiter) {}

    void Run() {
        size_t i = 0;
        const size_t n = FText.size();
        while (i < n) {
            // Blank lines between records are skipped.
            if (FText[i] == '\r' || FText[i] == '\n') {
                i = SkipLineBreak(i);
                continue;
            }
            RecordStarts.push_back(Cells.size());
            RecordOffsets.push_back(i);
            for (;;) {
                i = ReadCell(i);
                if (i < n && FText[i] == FDelimiter) {
                    ++i;
                    continue;
                }
                break;  // line break or end of text
            }
            if (i < n) i = SkipLineBreak(i);
        }
        RecordStarts.push_back(Cells.size());
    }

    [[noreturn]] void Fail(size_t offset, std::string_view reason) const {
        const TTextPosition p = TextPositionAt(FText, offset);
        db_errors::FileFormat(FSource.DataSetName, FSource.FileName, p.Line, p.Column, reason);
    }

    std::string Block;
    std::vector<Cell> Cells;
    std::vector<size_t> RecordStarts;   // index of each record's first cell, plus the end
    std::vector<size_t> RecordOffsets;  // text offset where each record starts

private:
    size_t SkipLineBreak(size_t i) const {
        if (FText[i] == '\r' && i + 1 < FText.size() && FText[i + 1] == '\n') return i + 2;
        return i + 1;
    }

    size_t ReadCell(size_t i) {
        const size_t n = FText.size();
        const size_t begin = Block.size();
        if (i < n && FText[i] == '"') {
            const size_t open = i++;
            for (;;) {
                if (i >= n) Fail(open, "the quoted field is not closed");
                const size_t q = FText.find('"', i);
                if (q == std::string_view::npos) Fail(open, "the quoted field is not closed");
                Block.append(FText.substr(i, q - i));
                if (q + 1 < n && FText[q + 1] == '"') {
                    Block += '"';
                    i = q + 2;
                    continue;
                }
                i = q + 1;
                break;
            }
            if (i < n && FText[i] != FDelimiter && FText[i] != '\r' && FText[i] != '\n')
                Fail(i, "a delimiter or a line break must follow the closing quote");
            Cells.push_back({begin, Block.size(), true});
            return i;
        }
        const size_t start = i;
        while (i < n && FText[i] != FDelimiter && FText[i] != '\r' && FText[i] != '\n') {
            if (FText[i] == '"') Fail(i, "a quote inside an unquoted field");
            ++i;
        }
        Block.append(FText.substr(start, i - start));
        Cells.push_back({begin, Block.size(), false});
        return i;
    }

    std::string_view FText;
    const TDataFileSource& FSource;
    char FDelimiter;
};

}  // namespace

TRecordStore ReadCsv(std::string_view text, const TDataFileSource& source, char delimiter) {
    text = SkipByteOrderMark(text);
    CsvSplitter split(text, source, delimiter);
    split.Run();
    const size_t records = split.RecordOffsets.size();
    if (records == 0) db_errors::FileContent(source.DataSetName, source.FileName, "the file has no header row");

    auto cellText = [&](size_t cell) {
        const Cell& c = split.Cells[cell];
        return std::string_view(split.Block).substr(c.Begin, c.End - c.Begin);
    };
    auto cellOffset = [&](size_t record, size_t column) {
        // Offset of a cell for errors: walk the record's line to the column.
        size_t i = split.RecordOffsets[record], col = 0;
        bool quoted = false;
        while (i < text.size() && col < column) {
            const char c = text[i];
            if (c == '"')
                quoted = !quoted;
            else if (!quoted && c == delimiter)
                ++col;
            else if (!quoted && (c == '\r' || c == '\n'))
                break;
            ++i;
        }
        return i;
    };

    const size_t fieldCount = split.RecordStarts[1] - split.RecordStarts[0];
    std::vector<TFieldDef> defs(fieldCount);
    for (size_t f = 0; f < fieldCount; ++f) {
        defs[f].Name = Trim(cellText(f));
        if (defs[f].Name.empty()) split.Fail(cellOffset(0, f), "the column has no name");
        for (size_t g = 0; g < f; ++g)
            if (AnsiSameText(defs[g].Name, defs[f].Name))
                split.Fail(cellOffset(0, f), fmt::format("the column name '{}' is used twice", defs[f].Name));
    }

    std::vector<TTypeGuess> guesses(fieldCount);
    for (size_t r = 1; r < records; ++r) {
        const size_t first = split.RecordStarts[r], count = split.RecordStarts[r + 1] - first;
        if (count != fieldCount) {
            const size_t at = count > fieldCount ? cellOffset(r, fieldCount) : cellOffset(r, count);
            split.Fail(at, fmt::format("the record has {} fields, the header {}", count, fieldCount));
        }
        for (size_t f = 0; f < fieldCount; ++f) guesses[f].AddText(cellText(first + f));
    }
    for (size_t f = 0; f < fieldCount; ++f) {
        defs[f].DataType = guesses[f].Result();
        if (StorageKindOf(defs[f].DataType) == TStorageKind::Text) defs[f].Size = guesses[f].MaxLength();
    }

    TRecordStore store(defs);
    for (size_t r = 1; r < records; ++r) {
        const size_t first = split.RecordStarts[r];
        for (size_t f = 0; f < fieldCount; ++f) {
            const std::string_view v = cellText(first + f);
            const bool quoted = split.Cells[first + f].Quoted;
            if (v.empty() && (!quoted || StorageKindOf(defs[f].DataType) != TStorageKind::Text)) {
                store.AppendNull(f);
                continue;
            }
            // The guess has seen every value, so each reading succeeds.
            int64_t i = 0;
            double d = 0;
            bool b = false;
            switch (defs[f].DataType) {
                case TFieldType::ftInteger:
                case TFieldType::ftLargeint:
                    TryParseCsvInteger(v, i);
                    store.AppendInteger(f, i);
                    break;
                case TFieldType::ftBoolean:
                    TryParseBooleanText(v, b);
                    store.AppendInteger(f, b);
                    break;
                case TFieldType::ftFloat:
                    TryParseCsvFloat(v, d);
                    store.AppendFloat(f, d);
                    break;
                case TFieldType::ftDate:
                    TryParseIsoDate(v, d);
                    store.AppendFloat(f, d);
                    break;
                case TFieldType::ftDateTime:
                    TryParseIsoDateTime(v, d);
                    store.AppendFloat(f, d);
                    break;
                case TFieldType::ftTime:
                    TryParseIsoTime(v, d);
                    store.AppendFloat(f, d);
                    break;
                default:
                    store.AppendText(f, v);
                    break;
            }
        }
        store.EndRecord();
    }
    return store;
}

}  // namespace tabrix
