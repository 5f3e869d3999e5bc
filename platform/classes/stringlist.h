#pragma once
// TStrings / TStringList: an ordered list of text lines, the sub-object of
// properties such as a query's SQL. Streamed as the single defined value
// "Strings", a list of strings: SQL.Strings = ('select ...' 'from ...').

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/classes/persistent.h"
#include "platform/classes/typinfo.h"

namespace tabrix {

class TStrings : public TPersistent {
    TABRIX_CLASS(TStrings)
public:
    TStrings() = default;

    int Count() const { return static_cast<int>(FLines.size()); }
    const std::string& Strings(int index) const;  // EListError outside the range
    void SetStrings(int index, std::string value);
    const std::string& operator[](int index) const { return Strings(index); }
    const std::vector<std::string>& Lines() const { return FLines; }

    int Add(std::string line);
    void Insert(int index, std::string line);
    void Delete(int index);
    void Clear();
    int IndexOf(std::string_view line) const;  // ignoring case, -1 when absent
    bool Equals(const TStrings& other) const { return FLines == other.FLines; }

    // Lines joined by "\n" (each line ends with it); SetText splits at
    // "\r\n", "\n" or "\r".
    std::string Text() const;
    void SetText(std::string_view text);

    // "name=value" lines.
    std::string Names(int index) const;
    std::string Values(std::string_view name) const;
    void SetValue(std::string_view name, std::string_view value);

    void BeginUpdate() { ++FUpdateCount; }
    void EndUpdate();

    void Assign(const TPersistent* source) override;
    void DefineProperties(TFiler& filer) override;

    // Fired after every change outside BeginUpdate/EndUpdate.
    std::function<void(TStrings*)> OnChange;

protected:
    void Changed();

private:
    std::vector<std::string> FLines;
    int FUpdateCount = 0;
};

class TStringList : public TStrings {
    TABRIX_CLASS(TStringList)
public:
    TStringList() = default;
};

}  // namespace tabrix
