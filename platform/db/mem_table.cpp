#include "platform/db/mem_table.h"

#include <charconv>
#include <cmath>

#include "platform/db/csv_reader.h"
#include "platform/db/db_errors.h"
#include "platform/db/json_reader.h"
#include "platform/db/type_guess.h"
#include "platform/rtl/files.h"
#include "platform/rtl/strings.h"

namespace tabrix {

namespace {

std::vector<std::string> SplitFieldList(const std::string& list) {
    std::vector<std::string> names;
    size_t start = 0;
    while (start <= list.size()) {
        size_t end = list.find(';', start);
        if (end == std::string::npos) end = list.size();
        std::string name = Trim(std::string_view(list).substr(start, end - start));
        if (!name.empty()) names.push_back(std::move(name));
        start = end + 1;
    }
    return names;
}

// Key values compare by meaning: 5, 5.0 and "5" are one key; texts as they are.
void AppendKeyPart(std::string& key, const Variant& v) {
    double number = 0;
    switch (v.VarType()) {
        case TVarType::varEmpty:
        case TVarType::varNull:
            key += "\x01\x1f";
            return;
        case TVarType::varInteger:
            number = static_cast<double>(v.AsInteger());
            break;
        case TVarType::varBoolean:
            number = v.AsBoolean() ? 1 : 0;
            break;
        case TVarType::varDouble:
        case TVarType::varCurrency:
        case TVarType::varDate:
            number = v.AsDouble();
            break;
        default: {
            const std::string text = v.AsAnsiString();
            if (!TryParseCsvFloat(text, number)) {
                key += 's';
                key += text;
                key += '\x1f';
                return;
            }
        }
    }
    char buf[32];
    auto r = std::to_chars(buf, buf + sizeof buf, number);
    key += 'n';
    key.append(buf, r.ptr);
    key += '\x1f';
}

}  // namespace

const TClassInfo& TMemTable::StaticClassInfo() {
    static const TClassInfo info = TClassBuilder<TMemTable, TDataSet>("TMemTable")
                                       .String("FileName", &TMemTable::FileName, &TMemTable::SetFileName)
                                       .String("Delimiter", &TMemTable::Delimiter, &TMemTable::SetDelimiter)
                                       .Component("MasterSource", &TMemTable::MasterSource, &TMemTable::SetMasterSource)
                                       .String("MasterFields", &TMemTable::MasterFields, &TMemTable::SetMasterFields)
                                       .String("DetailFields", &TMemTable::DetailFields, &TMemTable::SetDetailFields)
                                       .Component("DataSetField", &TMemTable::DataSetField, &TMemTable::SetDataSetField)
                                       .Build();
    return info;
}

TMemTable::TMemTable(TComponent* owner) : TDataSet(owner) {}

TMemTable::~TMemTable() {
    Close();
    if (FNestedMaster) FNestedMaster->RemoveObserver(this);
    if (FDataSetField) FDataSetField->FNestedDataSet = nullptr;
}

void TMemTable::SetFileName(const std::string& name) {
    if (name == FFileName) return;
    Close();
    FFileName = name;
}

void TMemTable::SetDelimiter(const std::string& delimiter) {
    if (delimiter == FDelimiter) return;
    if (delimiter.size() != 1 || delimiter == "\"" || delimiter == "\r" || delimiter == "\n")
        db_errors::DatabaseError(Name(), "The delimiter must be one character other than a quote or a line break");
    Close();
    FDelimiter = delimiter;
}

void TMemTable::SetRecords(TRecordStore records) {
    if (Active()) db_errors::DataSetOpen(Name(), "the records");
    FTable = std::make_unique<TRecordStore>(std::move(records));
    FLoadedFromFile = false;
}

void TMemTable::LoadFromCsv(std::string_view text, const std::string& sourceName) {
    SetRecords(ReadCsv(text, TDataFileSource{Name(), sourceName}, FDelimiter[0]));
}

void TMemTable::LoadFromJson(std::string_view text, const std::string& sourceName) {
    SetRecords(ReadJson(text, TDataFileSource{Name(), sourceName}));
}

void TMemTable::SetMasterFields(const std::string& fields) {
    FMasterFields = fields;
    if (Active()) MasterChanged(TDataEvent::deScroll);
}

void TMemTable::SetDetailFields(const std::string& fields) {
    FDetailFields = fields;
    if (Active()) {
        FKeyIndex.clear();
        MasterChanged(TDataEvent::deScroll);
    }
}

void TMemTable::SetDataSetField(TDataSetField* field) {
    if (field == FDataSetField) return;
    if (field) {
        CheckNoCycle(field->DataSet());
        if (field->FNestedDataSet && field->FNestedDataSet != this)
            db_errors::DatabaseError(Name(), "Field '" + field->FieldName() + "' is shown by data set '" +
                                                 field->FNestedDataSet->Name() + "' already");
    }
    Close();
    if (FDataSetField) FDataSetField->FNestedDataSet = nullptr;
    if (FNestedMaster) FNestedMaster->RemoveObserver(this);
    FNestedMaster = nullptr;
    FDataSetField = field;
    if (FDataSetField) FDataSetField->FNestedDataSet = this;
}

TDataSet* TMemTable::MasterDataSet() const {
    if (FDataSetField) return FDataSetField->DataSet();
    return TDataSet::MasterDataSet();
}

void TMemTable::LoadFile() {
    const std::string file = ExpandApplicationFileName(FFileName);
    if (!FileExists(file)) db_errors::FileContent(Name(), file, "the file does not exist");
    const std::string text = ReadFileBytes(file);
    const TDataFileSource source{Name(), file};
    FTable = std::make_unique<TRecordStore>(
        SameText(ExtractFileExt(file), ".json") ? ReadJson(text, source) : ReadCsv(text, source, FDelimiter[0]));
    FLoadedFromFile = true;
}

const TRecordStore* TMemTable::CurrentNested() {
    TDataSet* master = FDataSetField->DataSet();
    if (master && master->Active()) {
        if (const TRecordStore* nested = FDataSetField->NestedRecords()) return nested;
        // No current master record: no records, but the fields of the nested tables.
        const TFieldDef& def = master->Records()->FieldDefs()[FDataSetField->Index()];
        FTable = std::make_unique<TRecordStore>(def.NestedDefs ? *def.NestedDefs : std::vector<TFieldDef>{});
    } else if (FTable) {
        FTable->Clear();  // the master closed: the fields stay
    } else {
        FTable = std::make_unique<TRecordStore>();
    }
    return FTable.get();
}

void TMemTable::InternalOpen() {
    FKeyIndex.clear();
    if (FDataSetField) {
        // The nested records of the master's current record.
        TDataSet* master = FDataSetField->DataSet();
        if (master != FNestedMaster) {
            if (FNestedMaster) FNestedMaster->RemoveObserver(this);
            FNestedMaster = master;
            if (FNestedMaster) FNestedMaster->AddObserver(this);
        }
        if (!master)
            db_errors::DatabaseError(Name(),
                                     "The data set field '" + FDataSetField->FieldName() + "' belongs to no data set");
        if (!master->Active()) master->Open();
        const TRecordStore* nested = CurrentNested();
        ShowRecords(nested);
        return;
    }
    if (!FFileName.empty() && (!FTable || FLoadedFromFile)) LoadFile();
    if (!FTable) db_errors::DatabaseError(Name(), "No FileName given and no records set");
    if (MasterLink())
        ShowRecords(FTable.get(), MatchingRecords(), true);
    else
        ShowRecords(FTable.get());
}

void TMemTable::InternalClose() { FKeyIndex.clear(); }

std::vector<uint32_t> TMemTable::MatchingRecords() {
    const std::vector<std::string> masterNames = SplitFieldList(FMasterFields);
    std::vector<std::string> detailNames = SplitFieldList(FDetailFields);
    if (detailNames.empty()) detailNames = masterNames;
    if (masterNames.empty()) db_errors::DatabaseError(Name(), "MasterFields is empty");
    if (masterNames.size() != detailNames.size())
        db_errors::DatabaseError(Name(), "MasterFields and DetailFields name different numbers of fields");
    if (FKeyIndex.empty()) {
        // One pass over the table, so that each master move is a lookup.
        const std::vector<TFieldDef>& defs = FTable->FieldDefs();
        FKeyColumns.clear();
        for (const std::string& name : detailNames) {
            size_t c = 0;
            while (c < defs.size() && !AnsiSameText(defs[c].Name, name)) ++c;
            if (c == defs.size()) db_errors::FieldNotFound(Name(), name);
            FKeyColumns.push_back(static_cast<int>(c));
        }
        std::string key;
        for (size_t r = 0; r < FTable->RecordCount(); ++r) {
            key.clear();
            for (int c : FKeyColumns) AppendKeyPart(key, FTable->Value(r, c));
            FKeyIndex[key].push_back(static_cast<uint32_t>(r));
        }
        FKeyIndex.emplace(std::string(), std::vector<uint32_t>{});  // marks the index as built
    }
    TDataSet* master = MasterDataSet();
    if (!master || !master->Active() || master->IsEmpty()) return {};
    std::string key;
    for (const std::string& name : masterNames) AppendKeyPart(key, master->FieldByName(name)->Value());
    auto it = FKeyIndex.find(key);
    return it == FKeyIndex.end() ? std::vector<uint32_t>{} : it->second;
}

void TMemTable::ShowDetailRecords() {
    if (FDataSetField) {
        ShowRecords(CurrentNested());
    } else {
        ShowRecords(FTable.get(), MatchingRecords(), true);
    }
    ShowChanged();
}

void TMemTable::MasterChanged(TDataEvent) {
    if (Active() && !FDataSetField) ShowDetailRecords();
}

void TMemTable::DataSetEvent(TDataSet& dataSet, TDataEvent) {
    if (&dataSet == FNestedMaster && Active()) ShowDetailRecords();
}

void TMemTable::DataSetDestroying(TDataSet& dataSet) {
    if (&dataSet != FNestedMaster) return;
    FNestedMaster = nullptr;
    Close();
}

void TMemTable::DataSetFieldDestroying(TDataSetField& field) {
    if (&field != FDataSetField) return;
    Close();
    if (FNestedMaster) FNestedMaster->RemoveObserver(this);
    FNestedMaster = nullptr;
    FDataSetField = nullptr;
}

}  // namespace tabrix
