#pragma once
// The styles part as the engine needs it: cell formats (cellXfs) with their
// number formats, fonts (for row heights) and wrapping, plus the few edits a
// report needs: a format equal to another but for its number format, and a
// format imported from another workbook by content. The part itself is only
// rewritten when such an edit happened.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace tabrix::xl {

enum class TNumberFormatKind : uint8_t { General, Number, Percent, Date, Time, DateTime, Text };

class TStyles {
public:
    TStyles();
    ~TStyles();
    TStyles(const TStyles&);
    TStyles& operator=(const TStyles&);

    // Reads a styles part; an empty text gives the minimal default styles.
    // Raises ESpreadsheetError for malformed XML, naming partName.
    void Parse(std::string_view xml, std::string_view partName);
    std::string Serialize() const;
    bool Modified() const;
    void ClearModified();

    // Number of cell formats; index 0 always exists.
    uint32_t Count() const;
    // Number of cell formats as read: the ones two workbooks of one origin share.
    uint32_t CountAsRead() const;
    // An index beyond Count() is read as format 0.
    const std::string& NumberFormatCode(uint32_t xf) const;  // "General" for id 0
    int NumberFormatId(uint32_t xf) const;
    TNumberFormatKind NumberFormatKind(uint32_t xf) const;
    double FontSize(uint32_t xf) const;  // points
    bool WrapText(uint32_t xf) const;

    // A format that is xf with the given number format code, added when
    // there is none yet (built-in codes use their built-in id).
    uint32_t WithNumberFormat(uint32_t xf, std::string_view code);
    // The format of this part that looks like format xf of other: same font,
    // fill, border, number format, alignment and protection; added when
    // there is none yet.
    uint32_t Import(const TStyles& other, uint32_t xf);
    // The differential format (dxfs, 0-based, as conditional formats name
    // them) of this part that equals dxf of other; added when there is none.
    // An index other does not have is returned as it is.
    uint32_t ImportDifferential(const TStyles& other, uint32_t dxf);

    // Kind of a number format code as a spreadsheet reads it (dates have
    // d/m/y tokens outside quotes and brackets, times h/s, "@" is text).
    static TNumberFormatKind ClassifyFormat(std::string_view code);
    // Code of a built-in number format id; "" when it has none.
    static std::string_view BuiltinFormatCode(int id);

private:
    TNumberFormatKind ComputeKind(uint32_t xf) const;
    struct TImpl;
    std::unique_ptr<TImpl> FImpl;
};

}  // namespace tabrix::xl
