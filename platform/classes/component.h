#pragma once
// TComponent: a named object with an owner that owns it. The owner destroys
// its components; a component destroyed directly leaves its owner's list.
// Components that hold references to others ask for removal notification
// (FreeNotification) and are told through Notification(opRemove) when the
// referenced component goes; published component references are cleared
// then without further code.
//
// A component created with an owner belongs to that owner: create it with
// new (or with an owner's unique_ptr-returning helpers), never on the stack.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/classes/persistent.h"
#include "platform/classes/typinfo.h"
#include "platform/rtl/exceptions.h"

namespace tabrix {

TABRIX_EXCEPTION_CLASS(EComponentError, Exception);

enum class TOperation : uint8_t { opInsert, opRemove };

// Component state flags; ComponentState() is a mask of them.
enum TComponentStateFlag : uint32_t {
    csLoading = 1u << 0,     // being read from a form; Loaded() ends it
    csReading = 1u << 1,     // its properties are being read
    csWriting = 1u << 2,     // being written
    csDestroying = 1u << 3,  // its destructor runs
    csDesigning = 1u << 4,   // edited in a design tool: errors are shown, not raised
    csAncestor = 1u << 5,    // part of an ancestor form
    csUpdating = 1u << 6,
    csFixups = 1u << 7,  // holds references still to be resolved
    csInline = 1u << 8,
};
using TComponentState = uint32_t;

// A design tool attached to a root component; told of objects that come and
// go under it (FindRootDesigner).
class IDesigner {
public:
    virtual ~IDesigner() = default;
    virtual void Notification(TPersistent* object, TOperation operation) = 0;
};

class TComponent : public TPersistent {
    TABRIX_CLASS(TComponent)
public:
    explicit TComponent(TComponent* owner = nullptr);
    ~TComponent() override;

    const std::string& Name() const { return FName; }
    // Raises EComponentError for a name that is not an identifier or that
    // another component of the same owner already has (ignoring case).
    virtual void SetName(const std::string& name);
    TComponent* Owner() const { return FOwner; }

    int ComponentCount() const { return static_cast<int>(FComponents.size()); }
    TComponent* Components(int index) const;  // EListError outside the range
    int ComponentIndex() const;               // position in the owner's list, -1 without owner
    // The first owned component with that name, ignoring case; null if none.
    TComponent* FindComponent(std::string_view name) const;

    // Takes ownership of a component created elsewhere (moving it from its
    // previous owner); RemoveComponent gives ownership back to the caller.
    void InsertComponent(TComponent* component);
    std::unique_ptr<TComponent> RemoveComponent(TComponent* component);
    void DestroyComponents();

    // Asks for Notification(component, opRemove) when component is destroyed
    // (and tells it the same about us).
    void FreeNotification(TComponent* component);
    void RemoveFreeNotification(TComponent* component);

    TComponentState ComponentState() const { return FState; }
    bool HasState(TComponentStateFlag flag) const { return (FState & flag) != 0; }
    void SetState(TComponentStateFlag flag, bool on);  // for the streaming system
    // Marks this component and, by default, everything it owns as being designed.
    void SetDesigning(bool value, bool setChildren = true);

    // The design tool of the root of the ownership chain, or null.
    IDesigner* FindRootDesigner() const;
    void SetDesigner(IDesigner* designer) { FDesigner = designer; }

    TPersistent* GetOwner() const override { return FOwner; }
    std::string GetNamePath() const override { return FName; }

    // Called when the whole form this component was read from is loaded
    // and its references are resolved; the default ends csLoading.
    virtual void Loaded();
    // Components inserted into or removed from the owner, and those this one
    // asked FreeNotification for. The default clears published references
    // to a removed component and passes the news on to owned components.
    virtual void Notification(TComponent* component, TOperation operation);

private:
    void Destroying();
    void AddFreeLink(TComponent* component);
    void RemoveFreeLink(TComponent* component);
    void ClearPublishedReferences(TComponent* component);

    std::string FName;
    TComponent* FOwner = nullptr;
    std::vector<std::unique_ptr<TComponent>> FComponents;
    std::vector<TComponent*> FFreeNotifies;
    TComponentState FState = 0;
    IDesigner* FDesigner = nullptr;
};

bool IsValidIdent(std::string_view name, bool allowDots = false);

}  // namespace tabrix
