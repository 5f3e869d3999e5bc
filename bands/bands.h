#pragma once
// TTabrixBands: the report's ordered band list. It creates and owns the
// bands, keeps them in band order whatever is inserted, moved or relinked,
// keeps header/footer links consistent, answers the lookups of the rest of
// the system, pairs headers with footers (LoadBandsInfo) and streams itself
// as the values "<prop>.BandCount", "<prop>.GroupHeaderBandCount",
// "<prop>.GroupFooterBandCount" and "<prop>.Items" of its owner's form.

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "bands/band.h"
#include "platform/classes/component.h"
#include "platform/classes/persistent.h"

namespace tabrix {

// What the bands need of the report component that owns them: the text of
// a field of its data set's current record (CalcGroupExpr). The report
// implements it; an owner without it has no data set.
class ITabrixBandsDataSource {
public:
    virtual ~ITabrixBandsDataSource() = default;
    virtual bool HasDataSet() const = 0;
    // The field's AsString; a missing field raises the data set's own
    // field-not-found error.
    virtual AnsiString FieldAsString(const AnsiString& FieldName) = 0;
};

class TTabrixBands : public TPersistent {
    TABRIX_CLASS(TTabrixBands)
public:
    explicit TTabrixBands(TComponent* Owner);
    ~TTabrixBands() override;

    TComponent* Owner() const { return FOwner; }
    TPersistent* GetOwner() const override { return FOwner; }

    int GetCount() const { return static_cast<int>(FList.size()); }
    TTabrixBand* GetItem(int Index) const;  // EListError outside the range

    // A new band of that type in this collection: a group header or footer
    // for the group types, a plain band otherwise.
    TTabrixBand* AddBand(TTabrixBandType BandType);
    // Restores the order for a band whose sort key changed.
    void RearrangeItem(TTabrixBand* Band);
    // Unlinks the headers of a footer that is about to go.
    virtual void Deleting(TTabrixBand* Band);
    void Delete(int Index);
    void Clear();

    TTabrixBand* FindItemID(int ID) const;
    // The first band of the type whose Range is not blank ("the" band of a
    // type for the rest of the system), or none.
    TTabrixBand* GetNotEmptyBand(TTabrixBandType BandType) const;
    int GetBandCount(TTabrixBandType BandType) const;

    // The owner's published property that holds this collection ("Bands").
    AnsiString GetPropName() const;
    std::string GetNamePath() const override;

    // Header/footer pairs from the outermost level in: title/summary, each
    // group, master data, detail header/footer, detail data. The lists are
    // cleared first; an entry is a band or null, with its row count (0 for
    // null). RightColumn: letters of the rightmost column of any band;
    // WidestColumns: letters of the column numbered as the widest band is wide.
    void LoadBandsInfo(bool IncludeEmptyHeaders, std::vector<TTabrixBand*>& Headers, std::vector<TTabrixBand*>& Footers,
                       std::vector<int>& HeaderRowCounts, std::vector<int>& FooterRowCounts, AnsiString& RightColumn,
                       AnsiString& WidestColumns) const;

    void DefineProperties(TFiler& Filer) override;
    // From another band collection: the same bands, settings and footer links.
    void Assign(const TPersistent* Source) override;

    // The report component's data set, as the bands see it (null when the
    // owner offers none).
    ITabrixBandsDataSource* DataSource() const;
    // Reports a band error against the owner: shown in an error box while
    // it is being designed, else raised as ETabrixError.
    void RaiseError(const AnsiString& Message) const;

private:
    friend class TTabrixBand;
    void InsertItem(TTabrixBand* Band);
    void RemoveItem(TTabrixBand* Band);
    void MoveItem(int From, int To);
    std::vector<TTabrixGroupHeaderBand*> HeadersOf(const TTabrixBand* Footer) const;
    void DesignNotification(TPersistent* Object, TOperation Operation) const;
    bool HasDataAgainst(const TPersistent* Ancestor) const;

    void ReadItems(TReader& Reader);
    void WriteItems(TWriter& Writer);
    void ReadBandCount(TReader& Reader);
    void ReadGroupHeaderBandCount(TReader& Reader);
    void ReadGroupFooterBandCount(TReader& Reader);
    void WriteBandCount(TWriter& Writer);
    void WriteGroupHeaderBandCount(TWriter& Writer);
    void WriteGroupFooterBandCount(TWriter& Writer);

    std::vector<std::unique_ptr<TTabrixBand>> FList;
    int FNextID = 0;
    mutable AnsiString FPropName;
    TComponent* FOwner;
    int FBandCount = 0;
    int FGroupHeaderBandCount = 0;
    int FGroupFooterBandCount = 0;
};

}  // namespace tabrix
