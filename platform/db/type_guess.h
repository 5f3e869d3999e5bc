#pragma once
// Field types of sources that declare none (CSV columns, JSON members),
// guessed from all their values, and the reading of a text as the guessed
// type. Texts follow the file formats, not the user's locale: "." decimals,
// ISO dates, true/false.

#include <cstdint>
#include <string_view>

#include "platform/db/field_type.h"
#include "platform/rtl/datetime.h"

namespace tabrix {

class TTypeGuess {
public:
    // A CSV text: may be a number, a Boolean, a date or a time. Empty
    // texts are nulls and do not count.
    void AddText(std::string_view text);
    // A JSON string: only dates and times are recognised in it.
    void AddString(std::string_view text);
    void AddInteger(int64_t value);
    void AddFloat();
    void AddBoolean();
    void AddNested();      // an array of objects
    void AddStructured();  // any other object or array, kept as its JSON text

    TFieldType Result() const;
    int MaxLength() const { return FMaxLength; }

private:
    void AddOtherText(std::string_view text);

    bool FAny = false;
    bool FInteger = true, FLarge = false, FFloat = true, FBoolean = true;
    bool FDate = true, FTime = true, FDateTime = true, FNested = true, FMemo = false;
    int FMaxLength = 0;
};

// Readings used by the guess and by the loaders that follow it.
bool TryParseCsvInteger(std::string_view text, int64_t& value);
bool TryParseCsvFloat(std::string_view text, double& value);
bool TryParseBooleanText(std::string_view text, bool& value);

}  // namespace tabrix
