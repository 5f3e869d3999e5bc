#pragma once
// TCollection: an owned, ordered list of items of one class, streamed as
// "Name = < item ... end >". Items are created by the collection (Add,
// Insert) from its item class and destroyed by it; an item destroyed directly
// leaves the list.

#include <memory>
#include <string>
#include <vector>

#include "platform/classes/persistent.h"
#include "platform/classes/typinfo.h"

namespace tabrix {

class TCollection;

enum class TCollectionNotification : uint8_t { cnAdded, cnExtracting, cnDeleting };

class TCollectionItem : public TPersistent {
    TABRIX_CLASS(TCollectionItem)
public:
    // Joins collection (when given), which then owns the item.
    explicit TCollectionItem(TCollection* collection = nullptr);
    ~TCollectionItem() override;

    TCollection* Collection() const { return FCollection; }
    // Moves the item into another collection (ownership moves with it).
    void SetCollection(TCollection* value);
    int ID() const { return FID; }
    int Index() const;  // -1 when in no collection
    void SetIndex(int value);

    // What design tools show; the class name unless overridden.
    virtual std::string GetDisplayName() const;
    std::string DisplayName() const { return GetDisplayName(); }
    TPersistent* GetOwner() const override;
    // "<collection path>[<index>]".
    std::string GetNamePath() const override;

protected:
    // Tells the collection that a setting changed.
    void Changed(bool allItems);

private:
    friend class TCollection;
    TCollection* FCollection = nullptr;
    int FID = 0;
};

class TCollection : public TPersistent {
    TABRIX_CLASS(TCollection)
public:
    // itemClass must have an item factory (a constructor taking TCollection*).
    explicit TCollection(const TClassInfo& itemClass, TPersistent* owner = nullptr);
    ~TCollection() override;

    const TClassInfo& ItemClass() const { return *FItemClass; }
    int Count() const { return static_cast<int>(FItems.size()); }
    TCollectionItem* Items(int index) const;  // EListError outside the range
    TCollectionItem* Add();
    TCollectionItem* Insert(int index);
    void Delete(int index);
    void Clear();
    TCollectionItem* FindItemID(int id) const;
    // Hands value's settings to the item at index (the item's Assign).
    void SetItem(int index, const TCollectionItem* value);

    void BeginUpdate() { ++FUpdateCount; }
    void EndUpdate();
    int UpdateCount() const { return FUpdateCount; }

    // Replaces the items by copies of source's (same item class expected);
    // each new item takes the source item's settings through Assign.
    void Assign(const TPersistent* source) override;

    TPersistent* GetOwner() const override { return FOwner; }
    // The owner's name path and the property that holds this collection.
    std::string GetNamePath() const override;
    // The owner's published property whose value is this collection.
    std::string GetPropName() const;

protected:
    // An item (or all, for null) changed; called outside updates.
    virtual void Update(TCollectionItem* item);
    virtual void Notify(TCollectionItem* item, TCollectionNotification action);

private:
    friend class TCollectionItem;
    void InsertItem(TCollectionItem* item);
    void RemoveItem(TCollectionItem* item);
    void Changed();

    const TClassInfo* FItemClass;
    TPersistent* FOwner;
    std::vector<std::unique_ptr<TCollectionItem>> FItems;
    int FNextID = 0;
    int FUpdateCount = 0;
    mutable std::string FPropName;
};

// Items of a collection as their class (a collection of one class).
template <class Item>
Item* CollectionItem(const TCollection& c, int index) {
    return static_cast<Item*>(c.Items(index));
}

}  // namespace tabrix
