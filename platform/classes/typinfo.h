#pragma once
// Run-time type information of the component framework: per class its name,
// parent, factory and published properties (name, kind, getter, setter,
// default). Streaming, "read the published property X by name" and property
// name lookups all go through this one registry.
//
// A class declares itself with TABRIX_CLASS inside its body and describes its
// published properties once, in its .cpp, with TClassBuilder; see classes.h
// for a complete example.

#include <any>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>
#include <vector>

#include "platform/classes/persistent.h"
#include "platform/rtl/exceptions.h"
#include "platform/rtl/variant.h"

namespace tabrix {

class TPersistent;
class TComponent;
class TCollection;
class TCollectionItem;
class TClassInfo;

// Property lookups by a name that the class does not publish, or a value of
// the wrong kind handed to a property.
TABRIX_EXCEPTION_CLASS(EPropertyError, Exception);

enum class TTypeKind : uint8_t {
    tkInteger,  // int64 value, optional range
    tkFloat,    // double
    tkString,   // UTF-8 text
    tkBoolean,
    tkEnumeration,  // ordinal into TEnumInfo names
    tkSet,          // bit mask over TEnumInfo names (bit n = ordinal n)
    tkComponent,    // reference to a component owned elsewhere, linked by name
    tkClass,        // owned sub-object (TPersistent: TStrings, a collection, ...)
    tkMethod,       // event: the name of a method bound by the program
};

const char* TypeKindName(TTypeKind kind);

// Names of an enumeration's values, ordinal = position.
class TEnumInfo {
public:
    TEnumInfo(std::string typeName, std::vector<std::string> names)
        : FTypeName(std::move(typeName)), FNames(std::move(names)) {}
    const std::string& TypeName() const { return FTypeName; }
    int Count() const { return static_cast<int>(FNames.size()); }
    const std::string& Name(int ordinal) const;  // raises ERangeError
    int Ordinal(std::string_view name) const;    // ignoring case; -1 when none

private:
    std::string FTypeName;
    std::vector<std::string> FNames;
};

// Value of an event property on a component: the bound callable and the
// method name it was bound under (what the form file stores).
template <class Sig>
struct TEvent {
    std::string MethodName;
    std::function<Sig> Handler;

    TEvent() = default;
    TEvent(std::function<Sig> handler) : Handler(std::move(handler)) {}
    TEvent(std::string name, std::function<Sig> handler) : MethodName(std::move(name)), Handler(std::move(handler)) {}
    // A handler given in code has no method name, so it is not streamed.
    TEvent& operator=(std::function<Sig> handler) {
        Handler = std::move(handler);
        MethodName.clear();
        return *this;
    }
    explicit operator bool() const { return static_cast<bool>(Handler); }
    template <class... A>
    decltype(auto) operator()(A&&... args) const {
        return Handler(std::forward<A>(args)...);
    }
    void Clear() {
        MethodName.clear();
        Handler = nullptr;
    }
};

// Names bound to callables by the program before it loads a form; an event
// value read from a form file is looked up here.
class TMethodTable {
public:
    template <class Sig>
    void Bind(const std::string& name, std::function<Sig> fn) {
        FMethods[Key(name)] = std::move(fn);
    }
    void Unbind(const std::string& name) { FMethods.erase(Key(name)); }
    // The stored callable (a std::function of the event's signature), or null.
    const std::any* Find(std::string_view name) const;
    void Clear() { FMethods.clear(); }

private:
    static std::string Key(std::string_view name);
    std::map<std::string, std::any> FMethods;
};

struct TPropInfo {
    std::string Name;
    TTypeKind Kind = TTypeKind::tkInteger;
    const TEnumInfo* EnumType = nullptr;  // tkEnumeration, tkSet
    // tkComponent, tkClass: the class of the value, looked up when first
    // needed (a class may refer to itself).
    const TClassInfo& (*ClassTypeOf)() = nullptr;
    const TClassInfo* ClassType() const { return ClassTypeOf ? &ClassTypeOf() : nullptr; }
    int64_t Default = 0;                                 // tkInteger, tkBoolean, tkEnumeration, tkSet
    bool HasDefault = false;                             // ordinal kinds: written only when not Default
    int64_t MinValue = INT32_MIN, MaxValue = INT32_MAX;  // tkInteger
    bool Stored = true;                                  // false: readable by name, never streamed

    // Accessors of the kind; the others stay empty.
    std::function<int64_t(const TPersistent&)> GetOrd;  // integer, Boolean, enum, set
    std::function<void(TPersistent&, int64_t)> SetOrd;
    std::function<double(const TPersistent&)> GetFloat;
    std::function<void(TPersistent&, double)> SetFloat;
    std::function<std::string(const TPersistent&)> GetStr;  // string; method name of an event
    std::function<void(TPersistent&, const std::string&)> SetStr;
    std::function<TPersistent*(const TPersistent&)> GetObj;  // component reference, sub-object
    std::function<void(TPersistent&, TPersistent*)> SetObj;  // sub-object: Assign; may be empty
    // tkMethod: binds a callable found in a method table; false when the
    // stored callable has another signature. A null callable clears.
    std::function<bool(TPersistent&, const std::string&, const std::any*)> SetMethod;

    bool IsWritable() const;
};

// Creates an instance of a class by name: components with their owner,
// collection items inside their collection. Either may be empty (abstract).
using TComponentFactory = std::function<TComponent*(TComponent* owner)>;
using TItemFactory = std::function<TCollectionItem*(TCollection* collection)>;

class TClassInfo {
public:
    TClassInfo(std::string name, const TClassInfo* parent);

    const std::string& Name() const { return FName; }
    const TClassInfo* Parent() const { return FParent; }
    bool InheritsFrom(const TClassInfo& other) const;

    // Own properties, in declaration order.
    const std::vector<TPropInfo>& OwnProperties() const { return FProps; }
    // All properties, those of the base classes first.
    std::vector<const TPropInfo*> Properties() const;
    const TPropInfo* FindProperty(std::string_view name) const;  // ignoring case

    const TComponentFactory& ComponentFactory() const { return FComponentFactory; }
    const TItemFactory& ItemFactory() const { return FItemFactory; }

    // Used by TClassBuilder.
    TPropInfo& AddProperty(TPropInfo info);
    void SetComponentFactory(TComponentFactory f) { FComponentFactory = std::move(f); }
    void SetItemFactory(TItemFactory f) { FItemFactory = std::move(f); }

private:
    std::string FName;
    const TClassInfo* FParent;
    std::vector<TPropInfo> FProps;
    TComponentFactory FComponentFactory;
    TItemFactory FItemFactory;
};

// Declares the class's type information inside its body.
#define TABRIX_CLASS(Name)                                \
public:                                                   \
    static const ::tabrix::TClassInfo& StaticClassInfo(); \
    const ::tabrix::TClassInfo& ClassInfo() const override { return StaticClassInfo(); }

// ---- class registry: what a form file can create by class name
void RegisterClass(const TClassInfo& info);  // a second registration of the same name replaces it
void UnRegisterClass(const TClassInfo& info);
const TClassInfo* FindClass(std::string_view name);  // ignoring case; null when unknown
TABRIX_EXCEPTION_CLASS(EClassNotFound, EReadError);
const TClassInfo& GetClass(std::string_view name);  // raises EClassNotFound

// ---- lookups by property name on an instance (raise EPropertyError when the
// class publishes no such property)
const TPropInfo* GetPropInfo(const TPersistent& instance, std::string_view name);  // null when none
bool IsPublishedProp(const TPersistent& instance, std::string_view name);
// Scalar value as a Variant: integer and set as integer, float as double,
// Boolean, enumeration as its name, string, component reference as the
// component's name (empty when none), event as the method name.
Variant GetPropValue(const TPersistent& instance, std::string_view name);
void SetPropValue(TPersistent& instance, std::string_view name, const Variant& value);
// Component reference or sub-object; null when unset. "Read the published
// property MasterSource by name".
TPersistent* GetObjectProp(const TPersistent& instance, std::string_view name);
void SetObjectProp(TPersistent& instance, std::string_view name, TPersistent* value);
// Name of the last published object property of owner whose value is obj,
// or empty (how a sub-object learns the name it is streamed under).
std::string FindPropNameOfValue(const TPersistent& owner, const TPersistent* obj);
// Set value as "[a,b]" text and back.
std::string SetToString(const TEnumInfo& info, int64_t value);

namespace classes_detail {

template <class T, class M>
decltype(auto) Get(const T& obj, M member) {
    return std::invoke(member, obj);
}
template <class T, class M, class V>
void Set(T& obj, M member, V&& value) {
    if constexpr (std::is_member_object_pointer_v<M>)
        obj.*member = std::forward<V>(value);
    else
        std::invoke(member, obj, std::forward<V>(value));
}
template <class P>
using Pointee = std::remove_cv_t<std::remove_pointer_t<std::remove_cvref_t<P>>>;

template <class T, class Sig>
struct EventMember;
}  // namespace classes_detail

// Describes a class's published properties, one call per property:
//
//   static const TClassInfo info = TClassBuilder<TSQLQuery, TDataSet>("TSQLQuery")
//       .Component("Connection", &TSQLQuery::Connection, &TSQLQuery::SetConnection)
//       .Object("SQL", &TSQLQuery::SQL)
//       .Build();
//
// Getters are const member functions or data members; setters are member
// functions or data members. Base = void for a root of the hierarchy.
template <class T, class Base>
class TClassBuilder {
public:
    explicit TClassBuilder(std::string name) : FInfo(std::move(name), ParentInfo()) {
        if constexpr (std::is_base_of_v<TComponent, T> && std::is_constructible_v<T, TComponent*> &&
                      !std::is_abstract_v<T>)
            FInfo.SetComponentFactory([](TComponent* owner) -> TComponent* { return new T(owner); });
        if constexpr (std::is_base_of_v<TCollectionItem, T> && std::is_constructible_v<T, TCollection*> &&
                      !std::is_abstract_v<T>)
            FInfo.SetItemFactory([](TCollection* c) -> TCollectionItem* { return new T(c); });
    }

    template <class G, class S>
    TClassBuilder& Integer(const char* name, G get, S set, int64_t def = 0, bool hasDefault = true) {
        TPropInfo& p = Add(name, TTypeKind::tkInteger);
        p.Default = def;
        p.HasDefault = hasDefault;
        p.GetOrd = [get](const TPersistent& o) { return static_cast<int64_t>(classes_detail::Get(Self(o), get)); };
        p.SetOrd = [set](TPersistent& o, int64_t v) {
            using V = std::remove_cvref_t<decltype(classes_detail::Get(Self(o), std::declval<G>()))>;
            classes_detail::Set(Self(o), set, static_cast<V>(v));
        };
        return *this;
    }
    // An integer that is written always (no default).
    template <class G, class S>
    TClassBuilder& IntegerNoDefault(const char* name, G get, S set) {
        return Integer(name, get, set, 0, false);
    }

    template <class G, class S>
    TClassBuilder& Float(const char* name, G get, S set) {
        TPropInfo& p = Add(name, TTypeKind::tkFloat);
        p.GetFloat = [get](const TPersistent& o) { return static_cast<double>(classes_detail::Get(Self(o), get)); };
        p.SetFloat = [set](TPersistent& o, double v) { classes_detail::Set(Self(o), set, v); };
        return *this;
    }

    template <class G, class S>
    TClassBuilder& String(const char* name, G get, S set) {
        TPropInfo& p = Add(name, TTypeKind::tkString);
        p.GetStr = [get](const TPersistent& o) { return std::string(classes_detail::Get(Self(o), get)); };
        p.SetStr = [set](TPersistent& o, const std::string& v) { classes_detail::Set(Self(o), set, v); };
        return *this;
    }

    template <class G, class S>
    TClassBuilder& Boolean(const char* name, G get, S set, bool def = false) {
        TPropInfo& p = Add(name, TTypeKind::tkBoolean);
        p.Default = def ? 1 : 0;
        p.HasDefault = true;
        p.GetOrd = [get](const TPersistent& o) -> int64_t { return classes_detail::Get(Self(o), get) ? 1 : 0; };
        p.SetOrd = [set](TPersistent& o, int64_t v) { classes_detail::Set(Self(o), set, v != 0); };
        return *this;
    }

    // E is an enum (class) type whose ordinals are the positions in info.
    template <class G, class S, class E>
    TClassBuilder& Enumeration(const char* name, G get, S set, const TEnumInfo& info, E def) {
        TPropInfo& p = Add(name, TTypeKind::tkEnumeration);
        p.EnumType = &info;
        p.Default = static_cast<int64_t>(def);
        p.HasDefault = true;
        p.GetOrd = [get](const TPersistent& o) { return static_cast<int64_t>(classes_detail::Get(Self(o), get)); };
        p.SetOrd = [set](TPersistent& o, int64_t v) { classes_detail::Set(Self(o), set, static_cast<E>(v)); };
        return *this;
    }

    // A set held as an unsigned bit mask (bit n = ordinal n of info).
    template <class G, class S>
    TClassBuilder& Set(const char* name, G get, S set, const TEnumInfo& info, uint64_t def = 0) {
        TPropInfo& p = Add(name, TTypeKind::tkSet);
        p.EnumType = &info;
        p.Default = static_cast<int64_t>(def);
        p.HasDefault = true;
        p.GetOrd = [get](const TPersistent& o) { return static_cast<int64_t>(classes_detail::Get(Self(o), get)); };
        p.SetOrd = [set](TPersistent& o, int64_t v) {
            using V = std::remove_cvref_t<decltype(classes_detail::Get(Self(o), std::declval<G>()))>;
            classes_detail::Set(Self(o), set, static_cast<V>(v));
        };
        return *this;
    }

    // Reference to a component owned elsewhere. The getter returns a pointer
    // to the referenced class, the setter takes one.
    template <class G, class S>
    TClassBuilder& Component(const char* name, G get, S set) {
        using R = classes_detail::Pointee<decltype(classes_detail::Get(std::declval<const T&>(), get))>;
        static_assert(std::is_base_of_v<TComponent, R>, "a component reference points to a TComponent");
        TPropInfo& p = Add(name, TTypeKind::tkComponent);
        p.ClassTypeOf = &R::StaticClassInfo;
        p.GetObj = [get](const TPersistent& o) -> TPersistent* {
            return const_cast<R*>(static_cast<const R*>(classes_detail::Get(Self(o), get)));
        };
        p.SetObj = [set](TPersistent& o, TPersistent* v) {
            classes_detail::Set(Self(o), set, v ? &dynamic_cast<R&>(*v) : static_cast<R*>(nullptr));
        };
        return *this;
    }

    // Sub-object owned by the instance (a TStrings, a collection, a nested
    // persistent). Getter returns a pointer or a reference; assigning
    // through the registry copies with Assign.
    template <class G>
    TClassBuilder& Object(const char* name, G get) {
        using GR = decltype(classes_detail::Get(std::declval<const T&>(), get));
        using R = classes_detail::Pointee<GR>;
        static_assert(std::is_base_of_v<TPersistent, R>, "a sub-object is a TPersistent");
        TPropInfo& p = Add(name, TTypeKind::tkClass);
        p.ClassTypeOf = &R::StaticClassInfo;
        p.GetObj = [get](const TPersistent& o) -> TPersistent* {
            decltype(auto) r = classes_detail::Get(Self(o), get);
            if constexpr (std::is_pointer_v<std::remove_cvref_t<GR>>)
                return const_cast<R*>(static_cast<const R*>(r));
            else
                return const_cast<R*>(static_cast<const R*>(&r));
        };
        p.SetObj = [get](TPersistent& o, TPersistent* v) {
            TPersistent* target = nullptr;
            decltype(auto) r = classes_detail::Get(Self(o), get);
            if constexpr (std::is_pointer_v<std::remove_cvref_t<GR>>)
                target = const_cast<R*>(static_cast<const R*>(r));
            else
                target = const_cast<R*>(static_cast<const R*>(&r));
            if (target) target->Assign(v);
        };
        return *this;
    }

    // Event held in a TEvent<Sig> data member.
    template <class Sig>
    TClassBuilder& Event(const char* name, TEvent<Sig> T::*member) {
        TPropInfo& p = Add(name, TTypeKind::tkMethod);
        p.GetStr = [member](const TPersistent& o) {
            const TEvent<Sig>& e = Self(o).*member;
            return e.Handler ? e.MethodName : std::string();
        };
        p.SetMethod = [member](TPersistent& o, const std::string& methodName, const std::any* fn) {
            TEvent<Sig>& e = Self(o).*member;
            if (!fn) {
                e.Clear();
                return true;
            }
            const auto* f = std::any_cast<std::function<Sig>>(fn);
            if (!f) return false;
            e.MethodName = methodName;
            e.Handler = *f;
            return true;
        };
        return *this;
    }

    // Limits an integer property declared just before.
    TClassBuilder& Range(int64_t minValue, int64_t maxValue) {
        TPropInfo& p = LastProp();
        p.MinValue = minValue;
        p.MaxValue = maxValue;
        return *this;
    }

    // The property declared just before is never written to a stream.
    TClassBuilder& NotStored() {
        LastProp().Stored = false;
        return *this;
    }

    TClassInfo Build() { return std::move(FInfo); }

private:
    static const TClassInfo* ParentInfo() {
        if constexpr (std::is_void_v<Base>)
            return nullptr;
        else
            return &Base::StaticClassInfo();
    }
    static const T& Self(const TPersistent& o) { return static_cast<const T&>(o); }
    static T& Self(TPersistent& o) { return static_cast<T&>(o); }
    TPropInfo& Add(const char* name, TTypeKind kind) {
        TPropInfo p;
        p.Name = name;
        p.Kind = kind;
        return FInfo.AddProperty(std::move(p));
    }
    TPropInfo& LastProp() { return const_cast<TPropInfo&>(FInfo.OwnProperties().back()); }

    TClassInfo FInfo;
};

}  // namespace tabrix
