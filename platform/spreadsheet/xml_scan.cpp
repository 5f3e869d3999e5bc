#include "platform/spreadsheet/xml_scan.h"

#include "platform/spreadsheet/xml_text.h"

namespace tabrix::xl {

// Top-level elements of a well-formed fragment (the kept text after
// </sheetData>); stops at the first end tag that closes an outer element,
// whose offset is returned through closeAt.
std::vector<TSpan> TopLevelElements(std::string_view text, size_t& closeAt) {
    std::vector<TSpan> spans;
    int depth = 0;
    size_t i = 0;
    size_t begin = 0;
    std::string_view name;
    closeAt = text.size();
    while ((i = text.find('<', i)) != std::string_view::npos) {
        if (text.compare(i, 4, "<!--") == 0) {
            size_t e = text.find("-->", i + 4);
            i = e == std::string_view::npos ? text.size() : e + 3;
            continue;
        }
        if (text.compare(i, 9, "<![CDATA[") == 0) {
            size_t e = text.find("]]>", i + 9);
            i = e == std::string_view::npos ? text.size() : e + 3;
            continue;
        }
        if (text.compare(i, 2, "<?") == 0) {
            size_t e = text.find("?>", i + 2);
            i = e == std::string_view::npos ? text.size() : e + 2;
            continue;
        }
        bool closing = i + 1 < text.size() && text[i + 1] == '/';
        size_t j = TagEnd(text, i + 1);
        if (j == std::string_view::npos) break;
        bool selfClosing = text[j - 1] == '/';
        if (closing) {
            if (depth == 0) {
                closeAt = i;
                break;
            }
            if (--depth == 0) spans.push_back({name, begin, j + 1});
        } else {
            if (depth == 0) {
                size_t n = i + 1;
                while (n < j && text[n] != ' ' && text[n] != '/' && text[n] != '\t' && text[n] != '\n' &&
                       text[n] != '\r')
                    ++n;
                name = LocalName(text.substr(i + 1, n - i - 1));
                begin = i;
            }
            if (selfClosing) {
                if (depth == 0) spans.push_back({name, begin, j + 1});
            } else {
                ++depth;
            }
        }
        i = j + 1;
    }
    return spans;
}

size_t FindStartTag(std::string_view text, std::string_view qname, size_t from) {
    std::string pattern = "<" + std::string(qname);
    size_t i = from;
    while ((i = text.find(pattern, i)) != std::string_view::npos) {
        size_t after = i + pattern.size();
        if (after < text.size() && (text[after] == ' ' || text[after] == '>' || text[after] == '/' ||
                                    text[after] == '\t' || text[after] == '\n' || text[after] == '\r'))
            return i;
        i = after;
    }
    return std::string_view::npos;
}

size_t TagEnd(std::string_view text, size_t from) {
    char quote = 0;
    for (size_t j = from; j < text.size(); ++j) {
        char c = text[j];
        if (quote) {
            if (c == quote) quote = 0;
        } else if (c == '"' || c == '\'') {
            quote = c;
        } else if (c == '>') {
            return j;
        }
    }
    return std::string_view::npos;
}

std::string_view RootStartTag(std::string_view xml) {
    size_t at = 0;
    while ((at = xml.find('<', at)) != std::string_view::npos && at + 1 < xml.size() &&
           (xml[at + 1] == '?' || xml[at + 1] == '!'))
        ++at;
    if (at == std::string_view::npos) return {};
    size_t end = TagEnd(xml, at);
    return xml.substr(at, end == std::string_view::npos ? std::string_view::npos : end - at);
}

}  // namespace tabrix::xl
