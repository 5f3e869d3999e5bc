#include "platform/rtl/format.h"

#include <fmt/format.h>

#include "platform/rtl/exceptions.h"

namespace tabrix {

namespace {

[[noreturn]] void Invalid(std::string_view format) {
    throw EConvertError(fmt::format("Format '{}' invalid or incompatible with argument", format));
}

}  // namespace

std::string Format(std::string_view format, std::initializer_list<FormatArg> args) {
    std::string out;
    out.reserve(format.size() + 32);
    auto next = args.begin();
    for (size_t i = 0; i < format.size(); ++i) {
        const char c = format[i];
        if (c != '%') {
            out += c;
            continue;
        }
        if (i + 1 >= format.size()) Invalid(format);
        const char kind = format[++i];
        if (kind == '%') {
            out += '%';
            continue;
        }
        if (next == args.end()) Invalid(format);
        const auto& value = next->Value();
        ++next;
        switch (kind) {
            case 's':
            case 'S':
                if (const auto* s = std::get_if<std::string_view>(&value))
                    out += *s;
                else
                    fmt::format_to(std::back_inserter(out), "{}", std::get<int64_t>(value));
                break;
            case 'd':
            case 'D':
                if (const auto* v = std::get_if<int64_t>(&value))
                    fmt::format_to(std::back_inserter(out), "{}", *v);
                else
                    Invalid(format);
                break;
            default:
                Invalid(format);
        }
    }
    return out;
}

}  // namespace tabrix
