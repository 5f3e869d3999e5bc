#include "platform/classes/collection.h"

#include <algorithm>

#include "platform/rtl/exceptions.h"
#include "platform/rtl/format.h"

namespace tabrix {

namespace {
[[noreturn]] void IndexError(int index) { RaiseListIndexError(index); }
}  // namespace

const TClassInfo& TCollectionItem::StaticClassInfo() {
    static const TClassInfo info = TClassBuilder<TCollectionItem, TPersistent>("TCollectionItem").Build();
    return info;
}

TCollectionItem::TCollectionItem(TCollection* collection) {
    if (collection) collection->InsertItem(this);
}

TCollectionItem::~TCollectionItem() {
    if (FCollection) {
        TCollection* c = FCollection;
        c->Notify(this, TCollectionNotification::cnDeleting);
        c->RemoveItem(this);
    }
}

void TCollectionItem::SetCollection(TCollection* value) {
    if (value == FCollection) return;
    if (FCollection) FCollection->RemoveItem(this);  // releases ownership to us
    if (value) value->InsertItem(this);
}

int TCollectionItem::Index() const {
    if (!FCollection) return -1;
    const auto& items = FCollection->FItems;
    for (size_t i = 0; i < items.size(); ++i)
        if (items[i].get() == this) return static_cast<int>(i);
    return -1;
}

void TCollectionItem::SetIndex(int value) {
    int cur = Index();
    if (cur < 0 || cur == value) return;
    auto& items = FCollection->FItems;
    if (value < 0 || value >= static_cast<int>(items.size())) IndexError(value);
    std::unique_ptr<TCollectionItem> self = std::move(items[static_cast<size_t>(cur)]);
    items.erase(items.begin() + cur);
    items.insert(items.begin() + value, std::move(self));
    Changed(true);
}

std::string TCollectionItem::GetDisplayName() const { return ClassName(); }

TPersistent* TCollectionItem::GetOwner() const { return FCollection; }

std::string TCollectionItem::GetNamePath() const {
    if (!FCollection) return ClassName();
    return Format("%s[%d]", {FCollection->GetNamePath(), Index()});
}

void TCollectionItem::Changed(bool allItems) {
    if (FCollection && FCollection->FUpdateCount == 0) FCollection->Update(allItems ? nullptr : this);
}

const TClassInfo& TCollection::StaticClassInfo() {
    static const TClassInfo info = TClassBuilder<TCollection, TPersistent>("TCollection").Build();
    return info;
}

TCollection::TCollection(const TClassInfo& itemClass, TPersistent* owner) : FItemClass(&itemClass), FOwner(owner) {
    if (!itemClass.ItemFactory())
        throw EArgumentException(Format("%s cannot be created as a collection item", {itemClass.Name()}));
}

TCollection::~TCollection() {
    FUpdateCount = 1;  // no Update calls into a half-destroyed owner
    while (!FItems.empty()) {
        std::unique_ptr<TCollectionItem> last = std::move(FItems.back());
        FItems.pop_back();
        last->FCollection = nullptr;
    }
}

TCollectionItem* TCollection::Items(int index) const {
    if (index < 0 || index >= Count()) IndexError(index);
    return FItems[static_cast<size_t>(index)].get();
}

TCollectionItem* TCollection::Add() { return FItemClass->ItemFactory()(this); }

TCollectionItem* TCollection::Insert(int index) {
    if (index < 0 || index > Count()) IndexError(index);
    TCollectionItem* item = Add();
    item->SetIndex(index);
    return item;
}

void TCollection::Delete(int index) {
    TCollectionItem* item = Items(index);
    delete item;  // its destructor leaves the list and releases our ownership
}

void TCollection::Clear() {
    if (FItems.empty()) return;
    BeginUpdate();
    while (!FItems.empty()) delete FItems.back().get();
    EndUpdate();
}

TCollectionItem* TCollection::FindItemID(int id) const {
    for (const auto& item : FItems)
        if (item->FID == id) return item.get();
    return nullptr;
}

void TCollection::SetItem(int index, const TCollectionItem* value) { Items(index)->Assign(value); }

void TCollection::EndUpdate() {
    if (FUpdateCount > 0 && --FUpdateCount == 0) Changed();
}

void TCollection::Assign(const TPersistent* source) {
    auto* src = dynamic_cast<const TCollection*>(source);
    if (!src) {
        TPersistent::Assign(source);
        return;
    }
    if (src == this) return;
    BeginUpdate();
    try {
        Clear();
        for (const auto& item : src->FItems) Add()->Assign(item.get());
    } catch (...) {
        EndUpdate();
        throw;
    }
    EndUpdate();
}

std::string TCollection::GetPropName() const {
    if (FPropName.empty() && FOwner) FPropName = FindPropNameOfValue(*FOwner, this);
    return FPropName;
}

std::string TCollection::GetNamePath() const {
    if (FOwner) {
        std::string ownerPath = FOwner->GetNamePath();
        std::string prop = GetPropName();
        if (!ownerPath.empty() && !prop.empty()) return ownerPath + "." + prop;
    }
    return ClassName();
}

void TCollection::Update(TCollectionItem*) {}

void TCollection::Notify(TCollectionItem*, TCollectionNotification) {}

void TCollection::InsertItem(TCollectionItem* item) {
    FItems.emplace_back(item);
    item->FCollection = this;
    item->FID = FNextID++;
    Notify(item, TCollectionNotification::cnAdded);
    Changed();
}

void TCollection::RemoveItem(TCollectionItem* item) {
    auto it = std::find_if(FItems.begin(), FItems.end(), [item](const auto& p) { return p.get() == item; });
    if (it == FItems.end()) return;
    (void)it->release();
    FItems.erase(it);
    item->FCollection = nullptr;
    Changed();
}

void TCollection::Changed() {
    if (FUpdateCount == 0) Update(nullptr);
}

}  // namespace tabrix
