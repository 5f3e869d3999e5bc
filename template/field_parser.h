#pragma once
// Unit TabrixFieldParser: the field reference syntax of template cells.
// A cell text such as "Total: #SUM(Qty) pcs" is split into literal pieces
// and field references; once a value is known for every reference, the text
// is put together again. "#" stands for the report's field sign:
//   #Qty  #Orders.Qty  #SUM(Qty)  #'Order Date'  #"x y"  ## (a literal sign)
//   #=... (a formula built from fields; the sign is dropped)

#include <array>
#include <cstdint>
#include <vector>

#include "platform/rtl/exceptions.h"
#include "platform/rtl/strings.h"

namespace tabrix {

// Scoped, so that its enumerators cannot clash with the formula library's.
enum class TTabrixFieldFunc : uint8_t { ffNone = 0, ffSum = 1, ffAvg = 2, ffMax = 3, ffMin = 4, ffCnt = 5 };

// The keywords a template author writes before "(", indexed by function
// (ffNone has none). They are not the spreadsheet's function names.
inline constexpr std::array<const char*, 6> TabrixFieldFuncKeywords = {"", "SUM", "AVG", "MAX", "MIN", "COUNT"};

TABRIX_EXCEPTION_CLASS(ETabrixFieldParserError, Exception);

class TTabrixFieldParser {
public:
    explicit TTabrixFieldParser(char fieldSign) : TTabrixFieldParser(nullptr, fieldSign) {}
    // holder is kept for subclasses (the cell parser keeps its band info
    // there); this class neither owns nor uses it.
    TTabrixFieldParser(void* holder, char fieldSign) : FSign(fieldSign), FHolder(holder) {}
    virtual ~TTabrixFieldParser() = default;

    TTabrixFieldParser(const TTabrixFieldParser&) = delete;
    TTabrixFieldParser& operator=(const TTabrixFieldParser&) = delete;

    // Copies sign, fields, field string, functions, pieces and values; the
    // holder stays.
    virtual void Assign(const TTabrixFieldParser& source);

    // Parses text from scratch; raises ETabrixFieldParserError.
    virtual void SetFieldString(const UnicodeString& text);
    const UnicodeString& GetFieldString() const { return FFieldString; }
    char GetSign() const { return FSign; }

    int GetCount() const { return static_cast<int>(FFields.size()); }
    // The reference text without sign, quotes and function wrapper.
    const AnsiString& GetField(int index) const;
    TTabrixFieldFunc GetFunc(int index) const;
    void SetFunc(int index, TTabrixFieldFunc func);
    // Literal piece index, 0..GetCount(): piece i stands before field i.
    const UnicodeString& GetText(int index) const;

    virtual AnsiString GetValue(int index);
    virtual void SetValue(int index, const AnsiString& text);
    // The text with every field replaced by GetValue.
    virtual UnicodeString GetResultString();

    // The parse's own steps: a literal piece (returns its index), and one
    // reference name with its optional function wrapper.
    int AddText(const UnicodeString& text);
    void AddFunc(const AnsiString& text);

protected:
    void* Holder() const { return FHolder; }

private:
    char FSign;
    std::vector<AnsiString> FFields;
    UnicodeString FFieldString;
    std::vector<TTabrixFieldFunc> FFuncs;
    void* FHolder;
    std::vector<UnicodeString> FTexts;
    std::vector<AnsiString> FValues;
};

}  // namespace tabrix
