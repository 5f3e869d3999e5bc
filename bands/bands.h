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
    virtual AnsiString FieldAsString(const AnsiString& fieldName) = 0;
};

class TTabrixBands : public TPersistent {
    TABRIX_CLASS(TTabrixBands)
public:
    explicit TTabrixBands(TComponent* owner);
    ~TTabrixBands() override;

    TComponent* Owner() const { return FOwner; }
    TPersistent* GetOwner() const override { return FOwner; }

    int GetCount() const { return static_cast<int>(FList.size()); }
    TTabrixBand* GetItem(int index) const;  // EListError outside the range

    // A new band of that type in this collection: a group header or footer
    // for the group types, a plain band otherwise.
    TTabrixBand* AddBand(TTabrixBandType bandType);
    // Restores the order for a band whose sort key changed.
    void RearrangeItem(TTabrixBand* band);
    // Unlinks the headers of a footer that is about to go.
    virtual void Deleting(TTabrixBand* band);
    void Delete(int index);
    void Clear();

    TTabrixBand* FindItemID(int id) const;
    // The first band of the type whose Range is not blank ("the" band of a
    // type for the rest of the system), or none.
    TTabrixBand* GetNotEmptyBand(TTabrixBandType bandType) const;
    int GetBandCount(TTabrixBandType bandType) const;

    // The owner's published property that holds this collection ("Bands").
    AnsiString GetPropName() const;
    std::string GetNamePath() const override;

    // Header/footer pairs from the outermost level in: title/summary, each
    // group, master data, detail header/footer, detail data. The lists are
    // cleared first; an entry is a band or null, with its row count (0 for
    // null). rightColumn: letters of the rightmost column of any band;
    // widestColumns: letters of the column numbered as the widest band is wide.
    void LoadBandsInfo(bool includeEmptyHeaders, std::vector<TTabrixBand*>& headers, std::vector<TTabrixBand*>& footers,
                       std::vector<int>& headerRowCounts, std::vector<int>& footerRowCounts, AnsiString& rightColumn,
                       AnsiString& widestColumns) const;

    void DefineProperties(TFiler& filer) override;
    // From another band collection: the same bands, settings and footer links.
    void Assign(const TPersistent* source) override;

    // The report component's data set, as the bands see it (null when the
    // owner offers none).
    ITabrixBandsDataSource* DataSource() const;
    // Reports a band error against the owner: shown in an error box while
    // it is being designed, else raised as ETabrixError.
    void RaiseError(const AnsiString& message) const;

private:
    friend class TTabrixBand;
    void InsertItem(TTabrixBand* band);
    void RemoveItem(TTabrixBand* band);
    void MoveItem(int from, int to);
    std::vector<TTabrixGroupHeaderBand*> HeadersOf(const TTabrixBand* footer) const;
    void DesignNotification(TPersistent* object, TOperation operation) const;
    bool HasDataAgainst(const TPersistent* ancestor) const;

    void ReadItems(TReader& reader);
    void WriteItems(TWriter& writer);
    void ReadBandCount(TReader& reader);
    void ReadGroupHeaderBandCount(TReader& reader);
    void ReadGroupFooterBandCount(TReader& reader);
    void WriteBandCount(TWriter& writer);
    void WriteGroupHeaderBandCount(TWriter& writer);
    void WriteGroupFooterBandCount(TWriter& writer);

    std::vector<std::unique_ptr<TTabrixBand>> FList;
    int FNextID = 0;
    mutable AnsiString FPropName;
    TComponent* FOwner;
    // The owner as data source, found once it is one: asked for every record.
    mutable ITabrixBandsDataSource* FDataSource = nullptr;
    int FBandCount = 0;
    int FGroupHeaderBandCount = 0;
    int FGroupFooterBandCount = 0;
};

}  // namespace tabrix
