#pragma once
// What the template parser needs of the report component that owns it. The
// parser sits below the component, so it sees it only through this
// interface; TTabrix implements it (report/tabrix.h).
//
//   class TMyReport : public ITabrixTemplOwner { ... };
//   TTabrixTemplParser parser(report, templSheet, [&](const void* sender,
//       const AnsiString& field, Variant& value) { report.GetUserFieldValue(sender, field, value); });

#include <cstdint>
#include <functional>

#include "platform/rtl/strings.h"
#include "platform/rtl/variant.h"

namespace tabrix {

class TDataSet;
class TTabrixBands;

// The record counter that drives a total: once per master record or once
// per detail record.
enum TTabrixAccType : uint8_t { xatMaster = 0, xatDetail = 1 };

// A set of TTabrixAccType in one byte (bit n = ordinal n).
class TTabrixAccTypes {
public:
    constexpr TTabrixAccTypes() = default;
    constexpr bool Contains(TTabrixAccType t) const { return (FBits & Bit(t)) != 0; }
    constexpr void Include(TTabrixAccType t) { FBits = static_cast<uint8_t>(FBits | Bit(t)); }
    constexpr void Include(TTabrixAccTypes s) { FBits = static_cast<uint8_t>(FBits | s.FBits); }
    constexpr bool Empty() const { return FBits == 0; }
    constexpr void Clear() { FBits = 0; }
    constexpr bool operator==(const TTabrixAccTypes&) const = default;

private:
    static constexpr uint8_t Bit(TTabrixAccType t) { return static_cast<uint8_t>(1u << t); }
    uint8_t FBits = 0;
};

// The value callback: puts the value of the user field fieldName (a field
// without a data set) into value, or raises. sender is the cell parser or
// the total asking; the callback must not keep it.
using TTabrixGetValueCallback = std::function<void(const void* sender, const AnsiString& fieldName, Variant& value)>;

class ITabrixTemplOwner {
public:
    virtual ~ITabrixTemplOwner() = default;
    // The character that starts a field reference ("#").
    virtual char TemplFieldSign() const = 0;
    // Whether totals are written as spreadsheet formulas over the report rows.
    virtual bool TemplTotalsAsFormula() const = 0;
    // The bands whose ranges are parsed.
    virtual const TTabrixBands& TemplBands() const = 0;
    // The data set that supplies the field reference name (opened), or null
    // for a user field; raises when a named data set lacks the field.
    virtual TDataSet* FindFieldDataSet(const AnsiString& name) = 0;
    // The detail data set of the report, or null.
    virtual TDataSet* TemplDetailDataSet() const = 0;
};

}  // namespace tabrix
