#include "platform/classes/typinfo.h"

#include <map>

#include "platform/classes/component.h"
#include "platform/classes/persistent.h"
#include "platform/rtl/convert.h"
#include "platform/rtl/format.h"
#include "platform/rtl/strings.h"

namespace tabrix {

const char* TypeKindName(TTypeKind kind) {
    switch (kind) {
        case TTypeKind::tkInteger:
            return "integer";
        case TTypeKind::tkFloat:
            return "float";
        case TTypeKind::tkString:
            return "string";
        case TTypeKind::tkBoolean:
            return "Boolean";
        case TTypeKind::tkEnumeration:
            return "enumeration";
        case TTypeKind::tkSet:
            return "set";
        case TTypeKind::tkComponent:
            return "component reference";
        case TTypeKind::tkClass:
            return "object";
        case TTypeKind::tkMethod:
            return "event";
    }
    return "unknown";
}

const std::string& TEnumInfo::Name(int ordinal) const {
    if (ordinal < 0 || ordinal >= Count())
        throw ERangeError(Format("Ordinal %d is out of the range of %s", {ordinal, FTypeName}));
    return FNames[static_cast<size_t>(ordinal)];
}

int TEnumInfo::Ordinal(std::string_view name) const {
    for (size_t i = 0; i < FNames.size(); ++i)
        if (SameText(FNames[i], name)) return static_cast<int>(i);
    return -1;
}

std::string TMethodTable::Key(std::string_view name) { return UpperCase(name); }

const std::any* TMethodTable::Find(std::string_view name) const {
    auto it = FMethods.find(Key(name));
    return it == FMethods.end() ? nullptr : &it->second;
}

bool TPropInfo::IsWritable() const {
    switch (Kind) {
        case TTypeKind::tkFloat:
            return static_cast<bool>(SetFloat);
        case TTypeKind::tkString:
            return static_cast<bool>(SetStr);
        case TTypeKind::tkComponent:
        case TTypeKind::tkClass:
            return static_cast<bool>(SetObj);
        case TTypeKind::tkMethod:
            return static_cast<bool>(SetMethod);
        default:
            return static_cast<bool>(SetOrd);
    }
}

TClassInfo::TClassInfo(std::string name, const TClassInfo* parent) : FName(std::move(name)), FParent(parent) {}

bool TClassInfo::InheritsFrom(const TClassInfo& other) const {
    for (const TClassInfo* c = this; c; c = c->FParent)
        if (c == &other) return true;
    return false;
}

std::vector<const TPropInfo*> TClassInfo::Properties() const {
    std::vector<const TClassInfo*> chain;
    for (const TClassInfo* c = this; c; c = c->FParent) chain.push_back(c);
    std::vector<const TPropInfo*> result;
    for (auto it = chain.rbegin(); it != chain.rend(); ++it)
        for (const TPropInfo& p : (*it)->FProps) result.push_back(&p);
    return result;
}

const TPropInfo* TClassInfo::FindProperty(std::string_view name) const {
    // The most derived declaration wins over a base's property of the same name.
    for (const TClassInfo* c = this; c; c = c->FParent)
        for (const TPropInfo& p : c->FProps)
            if (SameText(p.Name, name)) return &p;
    return nullptr;
}

TPropInfo& TClassInfo::AddProperty(TPropInfo info) {
    FProps.push_back(std::move(info));
    return FProps.back();
}

namespace {

std::map<std::string, const TClassInfo*>& Registry();

}  // namespace

namespace classes_detail {
std::vector<const TClassInfo*> PlatformClasses();  // registration.cpp
}

namespace {

std::map<std::string, const TClassInfo*>& Registry() {
    static std::map<std::string, const TClassInfo*> registry = [] {
        std::map<std::string, const TClassInfo*> m;
        for (const TClassInfo* info : classes_detail::PlatformClasses()) m[UpperCase(info->Name())] = info;
        return m;
    }();
    return registry;
}
}  // namespace

void RegisterClass(const TClassInfo& info) { Registry()[UpperCase(info.Name())] = &info; }

void UnRegisterClass(const TClassInfo& info) {
    auto it = Registry().find(UpperCase(info.Name()));
    if (it != Registry().end() && it->second == &info) Registry().erase(it);
}

const TClassInfo* FindClass(std::string_view name) {
    auto it = Registry().find(UpperCase(name));
    return it == Registry().end() ? nullptr : it->second;
}

const TClassInfo& GetClass(std::string_view name) {
    const TClassInfo* info = FindClass(name);
    if (!info) throw EClassNotFound(Format("Class %s not found", {name}));
    return *info;
}

const TPropInfo* GetPropInfo(const TPersistent& instance, std::string_view name) {
    return instance.ClassInfo().FindProperty(name);
}

bool IsPublishedProp(const TPersistent& instance, std::string_view name) {
    return GetPropInfo(instance, name) != nullptr;
}

namespace {

const TPropInfo& RequireProp(const TPersistent& instance, std::string_view name) {
    const TPropInfo* p = GetPropInfo(instance, name);
    if (!p) throw EPropertyError(Format("Class %s has no published property %s", {instance.ClassName(), name}));
    return *p;
}

[[noreturn]] void KindError(const TPersistent& instance, const TPropInfo& p, const char* what) {
    throw EPropertyError(
        Format("Property %s of %s is of kind %s: %s", {p.Name, instance.ClassName(), TypeKindName(p.Kind), what}));
}

void RequireWritable(const TPersistent& instance, const TPropInfo& p) {
    if (!p.IsWritable()) KindError(instance, p, "it is read-only");
}

}  // namespace

std::string SetToString(const TEnumInfo& info, int64_t value) {
    std::string s = "[";
    bool first = true;
    for (int i = 0; i < info.Count() && i < 64; ++i) {
        if (!(static_cast<uint64_t>(value) & (uint64_t{1} << i))) continue;
        if (!first) s += ',';
        s += info.Name(i);
        first = false;
    }
    return s + "]";
}

Variant GetPropValue(const TPersistent& instance, std::string_view name) {
    const TPropInfo& p = RequireProp(instance, name);
    switch (p.Kind) {
        case TTypeKind::tkInteger:
        case TTypeKind::tkSet:
            return Variant(p.GetOrd(instance));
        case TTypeKind::tkBoolean:
            return Variant(p.GetOrd(instance) != 0);
        case TTypeKind::tkEnumeration:
            return Variant(p.EnumType->Name(static_cast<int>(p.GetOrd(instance))));
        case TTypeKind::tkFloat:
            return Variant(p.GetFloat(instance));
        case TTypeKind::tkString:
        case TTypeKind::tkMethod:
            return Variant(p.GetStr(instance));
        case TTypeKind::tkComponent: {
            auto* c = dynamic_cast<TComponent*>(p.GetObj(instance));
            return Variant(c ? c->Name() : std::string());
        }
        case TTypeKind::tkClass:
            break;
    }
    KindError(instance, p, "it has no scalar value");
}

void SetPropValue(TPersistent& instance, std::string_view name, const Variant& value) {
    const TPropInfo& p = RequireProp(instance, name);
    RequireWritable(instance, p);
    switch (p.Kind) {
        case TTypeKind::tkInteger: {
            int64_t v = value.AsInteger();
            if (v < p.MinValue || v > p.MaxValue)
                throw EPropertyError(Format("Value %s of property %s is out of its range", {IntToStr(v), p.Name}));
            p.SetOrd(instance, v);
            return;
        }
        case TTypeKind::tkSet:
            p.SetOrd(instance, value.AsInteger());
            return;
        case TTypeKind::tkBoolean:
            p.SetOrd(instance, value.AsBoolean() ? 1 : 0);
            return;
        case TTypeKind::tkEnumeration: {
            int ord =
                value.IsString() ? p.EnumType->Ordinal(value.AsAnsiString()) : static_cast<int>(value.AsInteger());
            if (ord < 0 || ord >= p.EnumType->Count())
                throw EPropertyError(Format("Invalid value %s for property %s", {value.AsAnsiString(), p.Name}));
            p.SetOrd(instance, ord);
            return;
        }
        case TTypeKind::tkFloat:
            p.SetFloat(instance, value.AsDouble());
            return;
        case TTypeKind::tkString:
            p.SetStr(instance, value.AsAnsiString());
            return;
        case TTypeKind::tkMethod:
        case TTypeKind::tkComponent:
        case TTypeKind::tkClass:
            break;
    }
    KindError(instance, p, "it takes no scalar value");
}

TPersistent* GetObjectProp(const TPersistent& instance, std::string_view name) {
    const TPropInfo& p = RequireProp(instance, name);
    if (p.Kind != TTypeKind::tkComponent && p.Kind != TTypeKind::tkClass) KindError(instance, p, "it holds no object");
    return p.GetObj(instance);
}

void SetObjectProp(TPersistent& instance, std::string_view name, TPersistent* value) {
    const TPropInfo& p = RequireProp(instance, name);
    if (p.Kind != TTypeKind::tkComponent && p.Kind != TTypeKind::tkClass) KindError(instance, p, "it holds no object");
    RequireWritable(instance, p);
    if (value && !value->InheritsFrom(*p.ClassType()))
        throw EPropertyError(Format("Property %s of %s takes a %s, not a %s",
                                    {p.Name, instance.ClassName(), p.ClassType()->Name(), value->ClassName()}));
    p.SetObj(instance, value);
    if (p.Kind == TTypeKind::tkComponent) {
        auto* self = dynamic_cast<TComponent*>(&instance);
        auto* target = dynamic_cast<TComponent*>(value);
        if (self && target) self->FreeNotification(target);
    }
}

std::string FindPropNameOfValue(const TPersistent& owner, const TPersistent* obj) {
    std::string result;
    for (const TPropInfo* p : owner.ClassInfo().Properties())
        if ((p->Kind == TTypeKind::tkClass || p->Kind == TTypeKind::tkComponent) && p->GetObj(owner) == obj)
            result = p->Name;
    return result;
}

}  // namespace tabrix
