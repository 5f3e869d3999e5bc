#include "platform/classes/stringlist.h"

#include "platform/classes/filer.h"
#include "platform/rtl/exceptions.h"
#include "platform/rtl/format.h"
#include "platform/rtl/strings.h"

namespace tabrix {

const TClassInfo& TStrings::StaticClassInfo() {
    static const TClassInfo info = TClassBuilder<TStrings, TPersistent>("TStrings").Build();
    return info;
}

const TClassInfo& TStringList::StaticClassInfo() {
    static const TClassInfo info = TClassBuilder<TStringList, TStrings>("TStringList").Build();
    return info;
}

namespace {
[[noreturn]] void IndexError(int index) { RaiseListIndexError(index); }
}  // namespace

const std::string& TStrings::Strings(int index) const {
    if (index < 0 || index >= Count()) IndexError(index);
    return FLines[static_cast<size_t>(index)];
}

void TStrings::SetStrings(int index, std::string value) {
    if (index < 0 || index >= Count()) IndexError(index);
    FLines[static_cast<size_t>(index)] = std::move(value);
    Changed();
}

int TStrings::Add(std::string line) {
    FLines.push_back(std::move(line));
    Changed();
    return Count() - 1;
}

void TStrings::Insert(int index, std::string line) {
    if (index < 0 || index > Count()) IndexError(index);
    FLines.insert(FLines.begin() + index, std::move(line));
    Changed();
}

void TStrings::Delete(int index) {
    if (index < 0 || index >= Count()) IndexError(index);
    FLines.erase(FLines.begin() + index);
    Changed();
}

void TStrings::Clear() {
    if (FLines.empty()) return;
    FLines.clear();
    Changed();
}

int TStrings::IndexOf(std::string_view line) const {
    for (size_t i = 0; i < FLines.size(); ++i)
        if (AnsiSameText(FLines[i], line)) return static_cast<int>(i);
    return -1;
}

std::string TStrings::Text() const {
    std::string s;
    for (const auto& line : FLines) {
        s += line;
        s += '\n';
    }
    return s;
}

void TStrings::SetText(std::string_view text) {
    FLines.clear();
    size_t start = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\n' && text[i] != '\r') continue;
        FLines.emplace_back(text.substr(start, i - start));
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
        start = i + 1;
    }
    if (start < text.size()) FLines.emplace_back(text.substr(start));
    Changed();
}

std::string TStrings::Names(int index) const {
    const std::string& line = Strings(index);
    size_t eq = line.find('=');
    return eq == std::string::npos ? std::string() : line.substr(0, eq);
}

std::string TStrings::Values(std::string_view name) const {
    for (const auto& line : FLines) {
        size_t eq = line.find('=');
        if (eq != std::string::npos && AnsiSameText(std::string_view(line).substr(0, eq), name))
            return line.substr(eq + 1);
    }
    return {};
}

void TStrings::SetValue(std::string_view name, std::string_view value) {
    for (size_t i = 0; i < FLines.size(); ++i) {
        size_t eq = FLines[i].find('=');
        if (eq != std::string::npos && AnsiSameText(std::string_view(FLines[i]).substr(0, eq), name)) {
            if (value.empty())
                FLines.erase(FLines.begin() + static_cast<std::ptrdiff_t>(i));
            else
                FLines[i] = std::string(name) + "=" + std::string(value);
            Changed();
            return;
        }
    }
    if (!value.empty()) Add(std::string(name) + "=" + std::string(value));
}

void TStrings::EndUpdate() {
    if (FUpdateCount > 0 && --FUpdateCount == 0) Changed();
}

void TStrings::Changed() {
    if (FUpdateCount == 0 && OnChange) OnChange(this);
}

void TStrings::Assign(const TPersistent* source) {
    if (auto* src = dynamic_cast<const TStrings*>(source)) {
        if (src == this) return;
        FLines = src->FLines;
        Changed();
        return;
    }
    TPersistent::Assign(source);
}

void TStrings::DefineProperties(TFiler& filer) {
    bool hasData;
    if (auto* ancestor = dynamic_cast<const TStrings*>(filer.Ancestor()))
        hasData = !Equals(*ancestor);
    else
        hasData = Count() > 0;
    filer.DefineProperty(
        "Strings",
        [this](TReader& r) {
            BeginUpdate();
            FLines.clear();
            r.ReadListBegin();
            while (!r.EndOfList()) FLines.push_back(r.ReadString());
            r.ReadListEnd();
            EndUpdate();
        },
        [this](TWriter& w) {
            w.WriteListBegin();
            for (const auto& line : FLines) w.WriteString(line);
            w.WriteListEnd();
        },
        hasData);
}

}  // namespace tabrix
