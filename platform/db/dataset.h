#pragma once
// TDataSet: records with a current position, read through fields. The
// concrete data sets (TSQLQuery, TMemTable) supply the records; this class
// keeps the navigation, the fields and the links to other data sets.
//
// Navigation: First goes to the first record; Next on the last record sets
// Eof and stays on it; Prior on the first sets Bof; Prior from Eof goes to
// the record before the last. An empty data set is at Eof and Bof.

#include <memory>
#include <string_view>
#include <vector>

#include "platform/classes/component.h"
#include "platform/db/data_link.h"
#include "platform/db/field.h"
#include "platform/db/record_source.h"
#include "platform/db/record_store.h"

namespace tabrix {

class TDataSource;

class TDataSet : public TComponent, public TDataSourceObserver {
    TABRIX_CLASS(TDataSet)
public:
    explicit TDataSet(TComponent* owner = nullptr);
    ~TDataSet() override;

    void Open();
    void Close();
    bool Active() const { return FActive; }
    void SetActive(bool value);
    // Reads the records again (a detail after its master moved), at the
    // first record; nothing happens while closed.
    void Refresh();

    void First();
    void Next();
    void Prior();
    void Last();
    bool Eof() const { return FEof; }
    bool Bof() const { return FBof; }
    bool IsEmpty() const;
    int RecNo() const;        // 1-based; 0 when there is no record
    int RecordCount() const;  // reads a lazily fetched result to its end

    const std::vector<TField*>& Fields() const { return FFields; }
    int FieldCount() const { return static_cast<int>(FFields.size()); }
    // Ignoring case; null when the data set has no such field.
    TField* FindField(std::string_view name) const;
    // Raises EDatabaseError naming the field and the data set.
    TField* FieldByName(std::string_view name) const;
    // A field looked up once per record by its name: `cache` remembers it
    // and is only trusted while the field is still this data set's field at
    // the same (0-based) place, so that reopening the data set is safe.
    struct TFieldRef {
        TField* Field = nullptr;
        size_t Index = 0;
    };
    TField* FieldByName(std::string_view name, TFieldRef& cache) const;

    // The records shown now (null when closed). For fields.
    const TRecordStore* Records() const { return FActive ? FStore : nullptr; }
    bool CurrentRecord(const TRecordStore*& store, size_t& record) const;

    // The data set this one follows as a detail, or null.
    virtual TDataSet* MasterDataSet() const;

    void AddObserver(TDataSetObserver* observer);
    void RemoveObserver(TDataSetObserver* observer);

    void Loaded() override;

protected:
    // Supplies the records: calls ShowRecords or ShowSource.
    virtual void InternalOpen() = 0;
    virtual void InternalClose() {}
    // Called when the master data source's data set opens, closes or moves.
    virtual void MasterChanged(TDataEvent event);

    // The records to show: a store owned elsewhere (a nested table), with an
    // optional list of the record numbers to show (a filtered detail).
    void ShowRecords(const TRecordStore* store, std::vector<uint32_t> view = {}, bool useView = false);
    // Records owned by the data set, filled on demand by the source.
    void ShowSource(TRecordStore store, std::unique_ptr<TRecordSource> source);
    // After ShowRecords while open: fields follow, the first record is current
    // and observers hear of it.
    void ShowChanged();

    // The master data source link used by detail data sets.
    TDataSource* MasterLink() const { return FMasterLink; }
    void SetMasterLink(TDataSource* source);
    // Raises when linking to master would make a cycle.
    void CheckNoCycle(const TDataSet* master) const;

    void DataSourceEvent(TDataSource& source, TDataEvent event) override;
    void DataSourceDestroying(TDataSource& source) override;
    virtual void DataSetFieldDestroying(TDataSetField& field);

private:
    friend class TField;
    friend class TDataSetField;
    void AddPersistentField(TField& field);
    void RemovePersistentField(TField& field);
    void FieldDestroying(TField& field);
    void BindFields();
    void Notify(TDataEvent event);
    bool HasRecord(size_t index) const;  // fetches up to it
    size_t Visible() const;
    size_t RecordIndex() const { return FUseView ? FView[FRecNo] : FRecNo; }
    void MoveTo(size_t recNo, bool bof, bool eof);

    bool FActive = false;
    bool FStreamedActive = false;  // Active read from a form, applied in Loaded
    bool FBof = true, FEof = true;
    size_t FRecNo = 0;
    const TRecordStore* FStore = nullptr;
    mutable TRecordStore FOwnStore;
    mutable std::unique_ptr<TRecordSource> FSource;
    std::vector<uint32_t> FView;
    bool FUseView = false;

    std::vector<TField*> FFields;
    std::vector<std::unique_ptr<TField>> FDynamicFields;
    std::vector<TField*> FPersistentFields;
    std::vector<TDataSetObserver*> FObservers;
    TDataSource* FMasterLink = nullptr;
};

}  // namespace tabrix
