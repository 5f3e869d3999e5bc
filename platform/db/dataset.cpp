#include "platform/db/dataset.h"

#include <algorithm>

#include "platform/db/datasource.h"
#include "platform/db/db_errors.h"
#include "platform/db/limits.h"

namespace tabrix {

namespace {

bool IsAscii(std::string_view s) {
    return std::all_of(s.begin(), s.end(), [](char c) { return (static_cast<unsigned char>(c) & 0x80) == 0; });
}

// Case-insensitive name comparison; ASCII names (nearly all field names)
// are compared without building upper-case copies.
bool SameFieldName(std::string_view a, std::string_view b) {
    if (a.size() == b.size()) {
        bool ascii = true, same = true;
        for (size_t i = 0; i < a.size() && same; ++i) {
            unsigned char x = static_cast<unsigned char>(a[i]), y = static_cast<unsigned char>(b[i]);
            if ((x | y) & 0x80) {
                ascii = false;
                break;
            }
            if (x >= 'a' && x <= 'z') x -= 32;
            if (y >= 'a' && y <= 'z') y -= 32;
            same = x == y;
        }
        if (ascii) return same;
    } else if (IsAscii(a) && IsAscii(b)) {
        return false;
    }
    return AnsiSameText(a, b);
}

}  // namespace

const TClassInfo& TDataSet::StaticClassInfo() {
    static const TClassInfo info = TClassBuilder<TDataSet, TComponent>("TDataSet")
                                       .Boolean("Active", &TDataSet::Active, &TDataSet::SetActive, false)
                                       .Build();
    return info;
}

TDataSet::TDataSet(TComponent* owner) : TComponent(owner) {}

TDataSet::~TDataSet() {
    // Everyone holding a pointer to us lets go now, while we are still whole.
    for (TDataSetObserver* o : std::vector<TDataSetObserver*>(FObservers)) {
        try {
            o->DataSetDestroying(*this);
        } catch (...) {
            // An observer that cannot follow closes itself; a destructor raises nothing.
        }
    }
    FObservers.clear();
    if (FMasterLink) FMasterLink->RemoveClient(this);
    FMasterLink = nullptr;
    for (TField* f : FPersistentFields) {
        f->FDataSet = nullptr;
        f->FIndex = -1;
    }
    for (auto& f : FDynamicFields) f->FDataSet = nullptr;
}

void TDataSet::Loaded() {
    TComponent::Loaded();
    if (FStreamedActive) {
        FStreamedActive = false;
        Open();
    }
}

void TDataSet::SetActive(bool value) {
    if (HasState(csLoading) || HasState(csReading)) {
        FStreamedActive = value;
        return;
    }
    if (value)
        Open();
    else
        Close();
}

void TDataSet::Open() {
    if (FActive) return;
    FStore = nullptr;
    FSource.reset();
    FUseView = false;
    InternalOpen();
    try {
        BindFields();
    } catch (...) {
        InternalClose();
        FStore = nullptr;
        FSource.reset();
        throw;
    }
    FActive = true;
    FRecNo = 0;
    FBof = true;
    FEof = !HasRecord(0);
    Notify(TDataEvent::deOpen);
}

void TDataSet::Close() {
    if (!FActive) return;
    FActive = false;
    FBof = FEof = true;
    FRecNo = 0;
    InternalClose();
    FSource.reset();
    FOwnStore = TRecordStore();
    FStore = nullptr;
    FView.clear();
    FUseView = false;
    Notify(TDataEvent::deClose);
}

void TDataSet::Refresh() {
    if (!FActive) return;
    FSource.reset();
    FUseView = false;
    try {
        InternalOpen();
    } catch (...) {
        Close();  // half-read records are not shown
        throw;
    }
    ShowChanged();
}

void TDataSet::ShowChanged() {
    if (!FActive) return;
    try {
        BindFields();
        FRecNo = 0;
        FBof = true;
        FEof = !HasRecord(0);
    } catch (...) {
        Close();
        throw;
    }
    Notify(TDataEvent::deScroll);
}

void TDataSet::ShowRecords(const TRecordStore* store, std::vector<uint32_t> view, bool useView) {
    FSource.reset();
    FOwnStore = TRecordStore();
    FStore = store;
    FView = std::move(view);
    FUseView = useView;
}

void TDataSet::ShowSource(TRecordStore store, std::unique_ptr<TRecordSource> source) {
    FOwnStore = std::move(store);
    FSource = std::move(source);
    FStore = &FOwnStore;
    FView.clear();
    FUseView = false;
}

size_t TDataSet::Visible() const {
    if (!FStore) return 0;
    return FUseView ? FView.size() : FStore->RecordCount();
}

bool TDataSet::HasRecord(size_t index) const {
    while (index >= Visible() && FSource && FStore == &FOwnStore) {
        if (!FSource->Fetch(FOwnStore, kFetchBatchRecords)) FSource.reset();
    }
    return index < Visible();
}

void TDataSet::MoveTo(size_t recNo, bool bof, bool eof) {
    const bool moved = recNo != FRecNo;
    FRecNo = recNo;
    FBof = bof;
    FEof = eof;
    if (moved && FActive) Notify(TDataEvent::deScroll);
}

void TDataSet::First() {
    if (!FActive) db_errors::DataSetClosed(Name());
    const bool wasElsewhere = FRecNo != 0;
    FRecNo = 0;
    FBof = true;
    FEof = !HasRecord(0);
    if (wasElsewhere) Notify(TDataEvent::deScroll);
}

void TDataSet::Next() {
    if (!FActive) db_errors::DataSetClosed(Name());
    if (FEof) return;
    if (HasRecord(FRecNo + 1)) {
        MoveTo(FRecNo + 1, false, false);
    } else {
        FBof = false;
        FEof = true;  // the last record stays current
    }
}

void TDataSet::Prior() {
    if (!FActive) db_errors::DataSetClosed(Name());
    if (FBof) return;
    FEof = false;
    if (FRecNo > 0)
        MoveTo(FRecNo - 1, false, false);
    else
        FBof = true;
}

void TDataSet::Last() {
    if (!FActive) db_errors::DataSetClosed(Name());
    (void)RecordCount();
    const size_t n = Visible();
    if (n == 0) {
        FBof = FEof = true;
        return;
    }
    MoveTo(n - 1, false, true);
}

bool TDataSet::IsEmpty() const { return !FActive || !HasRecord(0); }

int TDataSet::RecNo() const { return FActive && HasRecord(FRecNo) ? static_cast<int>(FRecNo) + 1 : 0; }

int TDataSet::RecordCount() const {
    if (!FActive) return 0;
    while (FSource && FStore == &FOwnStore)
        if (!FSource->Fetch(FOwnStore, SIZE_MAX)) FSource.reset();
    return static_cast<int>(Visible());
}

bool TDataSet::CurrentRecord(const TRecordStore*& store, size_t& record) const {
    if (!FActive) db_errors::DataSetClosed(Name());
    if (!HasRecord(FRecNo)) return false;
    store = FStore;
    record = RecordIndex();
    return true;
}

TField* TDataSet::FindField(std::string_view name) const {
    for (TField* f : FFields)
        if (SameFieldName(f->FieldName(), name)) return f;
    if (FFields.empty())  // closed: declared fields can still be found
        for (TField* f : FPersistentFields)
            if (SameFieldName(f->FieldName(), name)) return f;
    return nullptr;
}

TField* TDataSet::FieldByName(std::string_view name) const {
    TField* f = FindField(name);
    if (!f) db_errors::FieldNotFound(Name(), name);
    return f;
}

TField* TDataSet::FieldByName(std::string_view name, TFieldRef& cache) const {
    // The cached pointer is only compared, never followed, before the check.
    if (cache.Field && cache.Index < FFields.size() && FFields[cache.Index] == cache.Field) return cache.Field;
    TField* field = FieldByName(name);
    cache = {field, static_cast<size_t>(field->Index())};
    return field;
}

TDataSet* TDataSet::MasterDataSet() const { return FMasterLink ? FMasterLink->DataSet() : nullptr; }

void TDataSet::CheckNoCycle(const TDataSet* master) const {
    for (int depth = 0; master; ++depth) {
        if (master == this || depth > 1000) db_errors::CircularLink(Name());
        master = master->MasterDataSet();
    }
}

void TDataSet::SetMasterLink(TDataSource* source) {
    if (source == FMasterLink) return;
    if (source) CheckNoCycle(source->DataSet());
    if (FMasterLink) FMasterLink->RemoveClient(this);
    FMasterLink = source;
    if (FMasterLink) FMasterLink->AddClient(this);
    if (FActive) MasterChanged(TDataEvent::deScroll);
}

void TDataSet::MasterChanged(TDataEvent) {}

void TDataSet::DataSourceEvent(TDataSource& source, TDataEvent event) {
    if (&source == FMasterLink) MasterChanged(event);
}

void TDataSet::DataSourceDestroying(TDataSource& source) {
    // The records stay as they are; only the link goes.
    if (&source == FMasterLink) FMasterLink = nullptr;
}

void TDataSet::DataSetFieldDestroying(TDataSetField&) {}

void TDataSet::AddObserver(TDataSetObserver* observer) {
    if (std::find(FObservers.begin(), FObservers.end(), observer) == FObservers.end()) FObservers.push_back(observer);
}

void TDataSet::RemoveObserver(TDataSetObserver* observer) { std::erase(FObservers, observer); }

void TDataSet::Notify(TDataEvent event) {
    // A copy: an observer may unlink itself while it reacts.
    for (TDataSetObserver* o : std::vector<TDataSetObserver*>(FObservers))
        if (std::find(FObservers.begin(), FObservers.end(), o) != FObservers.end()) o->DataSetEvent(*this, event);
}

void TDataSet::AddPersistentField(TField& field) { FPersistentFields.push_back(&field); }

void TDataSet::RemovePersistentField(TField& field) {
    std::erase(FPersistentFields, &field);
    std::erase(FFields, &field);
}

void TDataSet::FieldDestroying(TField& field) {
    RemovePersistentField(field);
    for (auto it = FDynamicFields.begin(); it != FDynamicFields.end(); ++it)
        if (it->get() == &field) {
            (void)it->release();  // being destroyed by its owner already
            FDynamicFields.erase(it);
            break;
        }
}

void TDataSet::BindFields() {
    static const std::vector<TFieldDef> kNoDefs;
    const std::vector<TFieldDef>& defs = FStore ? FStore->FieldDefs() : kNoDefs;
    for (TField* p : FPersistentFields)
        if (std::none_of(defs.begin(), defs.end(),
                         [p](const TFieldDef& d) { return SameFieldName(p->FieldName(), d.Name); }))
            db_errors::FieldNotFound(Name(), p->FieldName());
    std::vector<TField*> fields;
    std::vector<std::unique_ptr<TField>> dynamic;
    fields.reserve(defs.size());
    for (size_t i = 0; i < defs.size(); ++i) {
        const TFieldDef& d = defs[i];
        TField* f = nullptr;
        for (TField* p : FPersistentFields)
            if (SameFieldName(p->FieldName(), d.Name)) {
                f = p;
                break;
            }
        if (!f) {
            // Fields made at an earlier open stay (and stay linked) when
            // the column is still there with a fitting kind.
            for (auto& old : FDynamicFields)
                if (old && SameFieldName(old->FieldName(), d.Name) &&
                    (dynamic_cast<TDataSetField*>(old.get()) != nullptr) == (d.DataType == TFieldType::ftDataSet)) {
                    dynamic.push_back(std::move(old));
                    f = dynamic.back().get();
                    break;
                }
        }
        if (!f) {
            std::unique_ptr<TField> made =
                d.DataType == TFieldType::ftDataSet ? std::make_unique<TDataSetField>() : std::make_unique<TField>();
            made->FFieldName = d.Name;
            made->FDataSet = this;
            dynamic.push_back(std::move(made));
            f = dynamic.back().get();
        }
        f->Bind(static_cast<int>(i), d.DataType, d.Size);
        fields.push_back(f);
    }
    FFields = std::move(fields);
    // Fields of columns that went away are dropped now.
    for (auto& old : FDynamicFields)
        if (old) old->FDataSet = nullptr;
    FDynamicFields = std::move(dynamic);
}

}  // namespace tabrix
