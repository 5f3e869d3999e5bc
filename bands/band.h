#pragma once
// The bands of a template: a row range of the template sheet with its role.
// TTabrixBand serves every type but the group types; group headers and
// footers have classes of their own, linked header to footer. Bands live in
// a TTabrixBands collection (bands.h), which creates, orders and owns them.

#include <functional>
#include <string>

#include "bands/band_type.h"
#include "platform/classes/persistent.h"
#include "platform/classes/typinfo.h"
#include "platform/rtl/strings.h"

namespace tabrix {

class TTabrixBands;
class TTabrixGroupFooterBand;
class TReader;
class TWriter;

class TTabrixBand : public TPersistent {
    TABRIX_CLASS(TTabrixBand)
public:
    // Inserts the band into Bands (when given), which then owns it.
    TTabrixBand(TTabrixBands* bands, TTabrixBandType bandType);
    ~TTabrixBand() override;

    TTabrixBands* Bands() const { return FBands; }
    TTabrixBandType BandType() const { return FBandType; }
    int ID() const { return FID; }
    const AnsiString& Range() const { return FRange; }
    void SetRange(const AnsiString& value) { FRange = value; }

    // Rows and columns of the range's corners (1-based); 0 for a blank
    // range. A malformed range raises the cell-address errors.
    int GetRangeTop() const;
    int GetRangeLeft() const;
    int GetRangeBottom() const;
    int GetRangeRight() const;
    bool RangeIsBlank() const;

    int GetIndex() const;  // position in the collection, -1 when in none

    // Moves the band to another collection (or none): removed from the old
    // one, which clears its links, inserted into the new one with a new ID.
    // Ownership moves with it; with none the caller owns the band.
    virtual void SetBands(TTabrixBands* value);
    // Band order: -1, 0 or 1.
    virtual int Compare(const TTabrixBand& other) const;
    // Whether the band streams as other does (inherited forms).
    virtual bool IsEqual(const TTabrixBand& other) const;
    virtual AnsiString GetDisplayName() const;

    TPersistent* GetOwner() const override;
    std::string GetNamePath() const override;
    void DefineProperties(TFiler& filer) override;
    // Takes over another band's settings (Range, and for bands of the same
    // class their group settings); the footer link is the collection's
    // business (TTabrixBands::Assign).
    void Assign(const TPersistent* source) override;

protected:
    void CompareTypes(const TTabrixBand& other, int& result) const;

private:
    friend class TTabrixBands;
    void ReadBandType(TReader& reader);
    void WriteBandType(TWriter& writer);

    // The corners of a range text, read once for each text: they are asked
    // for at every output of the band.
    struct TCorners {
        AnsiString Range;
        int Top = 0, Left = 0, Bottom = 0, Right = 0;
        bool Read = false;
    };
    const TCorners& Corners() const;

    TTabrixBands* FBands = nullptr;
    TTabrixBandType FBandType;
    int FID = 0;
    AnsiString FRange;
    mutable TCorners FCorners;
};

class TTabrixGroupBand : public TTabrixBand {
    TABRIX_CLASS(TTabrixGroupBand)
public:
    TTabrixGroupBand(TTabrixBands* bands, TTabrixBandType bandType);

    int GroupID() const { return FGroupID; }
    void SetGroupID(int value) { FGroupID = value; }
    // One more than the greatest GroupID of this band's type in its collection.
    int GetNextGroupId() const;

    int Compare(const TTabrixBand& other) const override;
    bool IsEqual(const TTabrixBand& other) const override;
    AnsiString GetDisplayName() const override;
    void DefineProperties(TFiler& filer) override;
    void Assign(const TPersistent* source) override;

private:
    friend class TTabrixBands;
    void ReadGroupID(TReader& reader);
    void WriteGroupID(TWriter& writer);

    int FGroupID = 0;
};

// Asked for the group value when the header names no field.
using TTabrixCalcExpressionEvent = TEvent<void(TTabrixBand* sender, AnsiString& groupValue)>;

class TTabrixGroupHeaderBand : public TTabrixGroupBand {
    TABRIX_CLASS(TTabrixGroupHeaderBand)
public:
    explicit TTabrixGroupHeaderBand(TTabrixBands* bands);
    ~TTabrixGroupHeaderBand() override;

    bool CaseInsensitiveCompare() const { return FCaseInsensitiveCompare; }
    void SetCaseInsensitiveCompare(bool value) { FCaseInsensitiveCompare = value; }
    const AnsiString& FieldName() const { return FFieldName; }
    void SetFieldName(const AnsiString& value) { FFieldName = value; }

    TTabrixGroupFooterBand* Footer() const { return FFooter; }
    // Links a footer of the same collection (or none). A footer of another
    // collection fails with "Assigned footer band has different Bands
    // property value": raised, or shown while the report is being designed.
    void SetFooter(TTabrixGroupFooterBand* value);
    // The footer's name ("GroupFooter2"), empty when none.
    AnsiString GetFooterBand() const;
    // Links the footer of that name (trimmed, ignoring case); empty unlinks.
    void SetFooterBand(const AnsiString& value);

    // The group value of the current record: the field's text, or what
    // OnCalcExpression gives, or "".
    AnsiString CalcGroupExpr();

    TTabrixCalcExpressionEvent OnCalcExpression;

    bool IsEqual(const TTabrixBand& other) const override;
    void Assign(const TPersistent* source) override;

private:
    friend class TTabrixBands;
    bool FCaseInsensitiveCompare = true;
    AnsiString FFieldName;
    TTabrixGroupFooterBand* FFooter = nullptr;
};

class TTabrixGroupFooterBand : public TTabrixGroupBand {
    TABRIX_CLASS(TTabrixGroupFooterBand)
public:
    explicit TTabrixGroupFooterBand(TTabrixBands* bands);
    ~TTabrixGroupFooterBand() override;

    // The last header of the collection that links this footer, or none.
    TTabrixGroupHeaderBand* GetLastHeaderBand() const;

    int Compare(const TTabrixBand& other) const override;
    // "GroupFooter2", with " - GH1, 3" when headers 1 and 3 link it.
    AnsiString GetDisplayName() const override;
};

}  // namespace tabrix
