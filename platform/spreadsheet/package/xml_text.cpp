#include "platform/spreadsheet/package/xml_text.h"

namespace tabrix::xl {

void AppendXmlEscaped(std::string& out, std::string_view text) {
    std::size_t clean = 0;  // start of the run not yet copied
    for (std::size_t i = 0; i < text.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        const char* rep = nullptr;
        switch (c) {
            case '&': rep = "&amp;"; break;
            case '<': rep = "&lt;"; break;
            case '>': rep = "&gt;"; break;
            case '"': rep = "&quot;"; break;
            default:
                if (c >= 0x20 || c == '\t' || c == '\n' || c == '\r') continue;
                rep = "";
        }
        out.append(text.data() + clean, i - clean);
        out.append(rep);
        clean = i + 1;
    }
    out.append(text.data() + clean, text.size() - clean);
}

}  // namespace tabrix::xl
