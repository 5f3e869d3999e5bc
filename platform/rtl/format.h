#pragma once
// Format with the platform's "%s" and "%d" placeholders (and "%%"), as the
// message table uses them. A placeholder without an argument, or of the wrong
// kind (a text for "%d"), raises EConvertError naming the format text.

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <variant>

namespace tabrix {

class FormatArg {
public:
    FormatArg(std::string_view s) : FValue(s) {}
    FormatArg(const std::string& s) : FValue(std::string_view(s)) {}
    FormatArg(const char* s) : FValue(std::string_view(s)) {}
    FormatArg(int v) : FValue(static_cast<int64_t>(v)) {}
    FormatArg(long v) : FValue(static_cast<int64_t>(v)) {}
    FormatArg(long long v) : FValue(static_cast<int64_t>(v)) {}
    FormatArg(unsigned v) : FValue(static_cast<int64_t>(v)) {}
    FormatArg(unsigned long v) : FValue(static_cast<int64_t>(v)) {}

    const std::variant<std::string_view, int64_t>& Value() const { return FValue; }

private:
    std::variant<std::string_view, int64_t> FValue;
};

std::string Format(std::string_view format, std::initializer_list<FormatArg> args);

}  // namespace tabrix
