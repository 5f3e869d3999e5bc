#pragma once
// TMemTable: a table held in memory, loaded from a CSV (RFC 4180, header
// row) or JSON (array of objects) file, or filled by a program. FileName is
// taken relative to the application folder; the format follows the
// extension (".json", anything else is CSV).
//
// Detail tables:
//   MasterSource + MasterFields/DetailFields: shows the records whose
//   DetailFields equal the master's MasterFields in its current record
//   (lists separated by ";"; DetailFields defaults to MasterFields).
//   DataSetField: shows the nested records that the master's data-set field
//   holds in the master's current record (a JSON array of objects).

#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/db/dataset.h"
#include "platform/db/datasource.h"

namespace tabrix {

class TMemTable : public TDataSet, public TDataSetObserver {
    TABRIX_CLASS(TMemTable)
public:
    explicit TMemTable(TComponent* owner = nullptr);
    ~TMemTable() override;

    const std::string& FileName() const { return FFileName; }
    void SetFileName(const std::string& name);
    // The field separator of CSV files: one character, "," unless set
    // (";" for files that spreadsheets in comma-decimal locales write).
    const std::string& Delimiter() const { return FDelimiter; }
    void SetDelimiter(const std::string& delimiter);
    // Replaces the records (the table must be closed); FileName is not read then.
    void SetRecords(TRecordStore records);
    void LoadFromCsv(std::string_view text, const std::string& sourceName = "(text)");
    void LoadFromJson(std::string_view text, const std::string& sourceName = "(text)");

    TDataSource* MasterSource() const { return MasterLink(); }
    void SetMasterSource(TDataSource* source) { SetMasterLink(source); }
    const std::string& MasterFields() const { return FMasterFields; }
    void SetMasterFields(const std::string& fields);
    const std::string& DetailFields() const { return FDetailFields; }
    void SetDetailFields(const std::string& fields);

    TDataSetField* DataSetField() const { return FDataSetField; }
    void SetDataSetField(TDataSetField* field);

    TDataSet* MasterDataSet() const override;

protected:
    void InternalOpen() override;
    void InternalClose() override;
    void MasterChanged(TDataEvent event) override;
    void DataSetEvent(TDataSet& dataSet, TDataEvent event) override;
    void DataSetDestroying(TDataSet& dataSet) override;
    void DataSetFieldDestroying(TDataSetField& field) override;

private:
    void LoadFile();
    void ShowDetailRecords();
    const TRecordStore* CurrentNested();
    std::vector<uint32_t> MatchingRecords();

    std::string FFileName;
    std::string FDelimiter = ",";
    std::string FMasterFields, FDetailFields;
    TDataSetField* FDataSetField = nullptr;
    TDataSet* FNestedMaster = nullptr;     // the data set of FDataSetField, observed
    std::unique_ptr<TRecordStore> FTable;  // loaded or given records
    bool FLoadedFromFile = false;
    // Detail key index: key text of the detail fields -> record numbers.
    std::unordered_map<std::string, std::vector<uint32_t>> FKeyIndex;
    std::vector<int> FKeyColumns;
};

}  // namespace tabrix
