#include "platform/classes/component.h"

#include <algorithm>

#include "platform/rtl/format.h"
#include "platform/rtl/strings.h"

namespace tabrix {

const TClassInfo& TComponent::StaticClassInfo() {
    static const TClassInfo info = TClassBuilder<TComponent, TPersistent>("TComponent")
                                       .String("Name", &TComponent::Name, &TComponent::SetName)
                                       .NotStored()  // the object header holds it
                                       .Build();
    return info;
}

bool IsValidIdent(std::string_view name, bool allowDots) {
    auto alpha = [](char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_'; };
    auto digit = [](char c) { return c >= '0' && c <= '9'; };
    bool start = true;
    for (char c : name) {
        if (start) {
            if (!alpha(c)) return false;
            start = false;
        } else if (c == '.' && allowDots) {
            start = true;
        } else if (!alpha(c) && !digit(c)) {
            return false;
        }
    }
    return !start;
}

TComponent::TComponent(TComponent* owner) {
    if (owner) owner->InsertComponent(this);
}

TComponent::~TComponent() {
    Destroying();
    // Everyone who asked is told, while this object is still a TComponent.
    while (!FFreeNotifies.empty()) {
        TComponent* other = FFreeNotifies.back();
        FFreeNotifies.pop_back();
        other->RemoveFreeLink(this);
        other->Notification(this, TOperation::opRemove);
    }
    DestroyComponents();
    if (FOwner) {
        std::unique_ptr<TComponent> self = FOwner->RemoveComponent(this);
        (void)self.release();  // we are already being destroyed
    }
}

void TComponent::Destroying() {
    if (HasState(csDestroying)) return;
    FState |= csDestroying;
    for (auto& c : FComponents) c->Destroying();
}

void TComponent::SetName(const std::string& name) {
    if (name == FName) return;
    if (!name.empty() && !IsValidIdent(name))
        throw EComponentError(Format("\"%s\" is not a valid component name", {name}));
    if (FOwner && !name.empty()) {
        TComponent* other = FOwner->FindComponent(name);
        if (other && other != this) throw EComponentError(Format("A component named %s already exists", {name}));
    }
    FName = name;
}

TComponent* TComponent::Components(int index) const {
    if (index < 0 || index >= ComponentCount()) throw EListError(Format("Component index out of bounds (%d)", {index}));
    return FComponents[static_cast<size_t>(index)].get();
}

int TComponent::ComponentIndex() const {
    if (!FOwner) return -1;
    for (size_t i = 0; i < FOwner->FComponents.size(); ++i)
        if (FOwner->FComponents[i].get() == this) return static_cast<int>(i);
    return -1;
}

TComponent* TComponent::FindComponent(std::string_view name) const {
    if (name.empty()) return nullptr;
    for (const auto& c : FComponents)
        if (SameText(c->FName, name)) return c.get();
    return nullptr;
}

void TComponent::InsertComponent(TComponent* component) {
    if (!component || component->FOwner == this) return;
    if (!component->FName.empty()) {
        TComponent* other = FindComponent(component->FName);
        if (other) throw EComponentError(Format("A component named %s already exists", {component->FName}));
    }
    std::unique_ptr<TComponent> owned;
    if (component->FOwner)
        owned = component->FOwner->RemoveComponent(component);
    else
        owned.reset(component);
    component->FOwner = this;
    FComponents.push_back(std::move(owned));
    Notification(component, TOperation::opInsert);
}

std::unique_ptr<TComponent> TComponent::RemoveComponent(TComponent* component) {
    auto it = std::find_if(FComponents.begin(), FComponents.end(),
                           [component](const auto& c) { return c.get() == component; });
    if (it == FComponents.end()) return nullptr;
    std::unique_ptr<TComponent> owned = std::move(*it);
    FComponents.erase(it);
    component->FOwner = nullptr;
    if (!HasState(csDestroying)) Notification(component, TOperation::opRemove);
    return owned;
}

void TComponent::DestroyComponents() {
    while (!FComponents.empty()) {
        std::unique_ptr<TComponent> last = std::move(FComponents.back());
        FComponents.pop_back();
        last->FOwner = nullptr;
        last.reset();
    }
}

void TComponent::AddFreeLink(TComponent* component) {
    if (std::find(FFreeNotifies.begin(), FFreeNotifies.end(), component) == FFreeNotifies.end())
        FFreeNotifies.push_back(component);
}

void TComponent::RemoveFreeLink(TComponent* component) {
    FFreeNotifies.erase(std::remove(FFreeNotifies.begin(), FFreeNotifies.end(), component), FFreeNotifies.end());
}

void TComponent::FreeNotification(TComponent* component) {
    if (!component || component == this) return;
    AddFreeLink(component);
    component->AddFreeLink(this);
}

void TComponent::RemoveFreeNotification(TComponent* component) {
    if (!component) return;
    RemoveFreeLink(component);
    component->RemoveFreeLink(this);
}

void TComponent::SetState(TComponentStateFlag flag, bool on) {
    if (on)
        FState |= flag;
    else
        FState &= ~static_cast<TComponentState>(flag);
}

void TComponent::SetDesigning(bool value, bool setChildren) {
    SetState(csDesigning, value);
    if (setChildren)
        for (auto& c : FComponents) c->SetDesigning(value, true);
}

IDesigner* TComponent::FindRootDesigner() const {
    const TComponent* c = this;
    while (c->FOwner) c = c->FOwner;
    return c->FDesigner;
}

void TComponent::Loaded() { SetState(csLoading, false); }

void TComponent::ClearPublishedReferences(TComponent* component) {
    for (const TPropInfo* p : ClassInfo().Properties())
        if (p->Kind == TTypeKind::tkComponent && p->SetObj && p->GetObj(*this) == component) p->SetObj(*this, nullptr);
}

void TComponent::Notification(TComponent* component, TOperation operation) {
    if (operation == TOperation::opRemove && component) {
        RemoveFreeNotification(component);
        if (!HasState(csDestroying)) ClearPublishedReferences(component);
    }
    // Copy: a handler may remove components while we walk.
    std::vector<TComponent*> children;
    children.reserve(FComponents.size());
    for (auto& c : FComponents) children.push_back(c.get());
    for (TComponent* c : children)
        if (c != component) c->Notification(component, operation);
}

}  // namespace tabrix
