// TReader: builds components and their properties back from a value stream.
#include <memory>

#include "platform/classes/application.h"
#include "platform/classes/collection.h"
#include "platform/classes/filer.h"
#include "platform/classes/formtext.h"
#include "platform/rtl/convert.h"
#include "platform/rtl/format.h"
#include "platform/rtl/strings.h"

namespace tabrix {

namespace {

std::string Describe(const TFormValue& v) {
    switch (v.Type) {
        case TValueType::vaInt:
            return "integer " + IntToStr(v.Int);
        case TValueType::vaString:
            return "string '" + v.Text.substr(0, 40) + "'";
        case TValueType::vaIdent:
            return "identifier " + v.Text;
        case TValueType::vaPropName:
            return "property " + v.Text;
        case TValueType::vaObject:
            return "object " + v.Name + ": " + v.Text;
        default:
            return ValueTypeName(v.Type);
    }
}

}  // namespace

TReader::TReader(const TFormValues& values, std::string fileName)
    : FValues(values), FFileName(std::move(fileName)), FMethods(&Application().Methods()) {}

TReader::~TReader() = default;

int TReader::CurrentLine() const {
    if (FPos > 0 && FPos <= FValues.size()) return FValues[FPos - 1].Line;
    return FValues.empty() ? 0 : FValues.front().Line;
}

void TReader::Error(const std::string& message) const {
    throw EReadError(Format("%s, line %d: %s", {FFileName, CurrentLine(), message}));
}

void TReader::Expected(const char* what) const {
    int line = FPos < FValues.size() ? FValues[FPos].Line : CurrentLine();
    std::string found = FPos < FValues.size() ? Describe(FValues[FPos]) : std::string("end of file");
    throw EReadError(Format("%s, line %d: %s expected but %s found", {FFileName, line, what, found}));
}

const TFormValue& TReader::Peek() const {
    if (FPos >= FValues.size()) Expected("a value");
    return FValues[FPos];
}

const TFormValue& TReader::Take() {
    const TFormValue& v = Peek();
    ++FPos;
    return v;
}

TValueType TReader::NextValue() const { return FPos < FValues.size() ? FValues[FPos].Type : TValueType::vaNull; }

TValueType TReader::ReadValue() { return Take().Type; }

void TReader::ExpectValue(TValueType type) {
    if (NextValue() != type || FPos >= FValues.size()) Expected(ValueTypeName(type));
    ++FPos;
}

std::string TReader::ReadStr() {
    if (NextValue() != TValueType::vaPropName) Expected("property name");
    return Take().Text;
}

int64_t TReader::ReadInteger() {
    if (NextValue() != TValueType::vaInt) Expected("integer");
    return Take().Int;
}

int TReader::ReadInteger32() {
    int64_t v = ReadInteger();
    if (v < INT32_MIN || v > INT32_MAX) Error(Format("integer %s is out of range", {IntToStr(v)}));
    return static_cast<int>(v);
}

double TReader::ReadFloat() {
    if (NextValue() == TValueType::vaInt) return static_cast<double>(Take().Int);
    if (NextValue() != TValueType::vaExtended) Expected("number");
    return Take().Float;
}

std::string TReader::ReadString() {
    if (NextValue() != TValueType::vaString) Expected("string");
    return Take().Text;
}

bool TReader::ReadBoolean() {
    TValueType t = NextValue();
    if (t != TValueType::vaTrue && t != TValueType::vaFalse) Expected("True or False");
    ++FPos;
    return t == TValueType::vaTrue;
}

std::string TReader::ReadIdent() {
    switch (NextValue()) {
        case TValueType::vaIdent:
            return Take().Text;
        case TValueType::vaTrue:
            ++FPos;
            return "True";
        case TValueType::vaFalse:
            ++FPos;
            return "False";
        case TValueType::vaNil:
            ++FPos;
            return "nil";
        default:
            Expected("identifier");
    }
}

std::string TReader::ReadBinary() {
    if (NextValue() != TValueType::vaBinary) Expected("binary data");
    return Take().Text;
}

void TReader::SkipSetBody() {
    while (NextValue() == TValueType::vaIdent) ++FPos;
    ReadListEnd();
}

void TReader::SkipValue() {
    if (++FDepth > kFormMaxNesting) Error("values nested too deeply");
    switch (ReadValue()) {
        case TValueType::vaList:
            while (!EndOfList()) SkipValue();
            ReadListEnd();
            break;
        case TValueType::vaSet:
            SkipSetBody();
            break;
        case TValueType::vaCollection:
            while (!EndOfList()) {
                if (NextValue() == TValueType::vaInt) ++FPos;
                ReadListBegin();
                while (!EndOfList()) {
                    ReadStr();
                    SkipValue();
                }
                ReadListEnd();
            }
            ReadListEnd();
            break;
        case TValueType::vaNull:
        case TValueType::vaObject:
        case TValueType::vaPropName:
            --FPos;
            Expected("a value");
        default:
            break;
    }
    --FDepth;
}

TComponent* TReader::ReadRootComponent(TComponent* root) {
    if (NextValue() != TValueType::vaObject || FPos >= FValues.size()) Expected("object");
    std::unique_ptr<TComponent> created;
    TComponent* result = nullptr;
    try {
        result = ReadComponent(root, nullptr);
        if (!root) created.reset(result);
        if (FPos < FValues.size()) Expected("end of file");
        ResolveFixups();
    } catch (...) {
        if (!root && !created) delete FRoot;  // failed before the root was taken over
        throw;
    }
    for (TComponent* c : FLoaded) c->SetState(csReading, false);
    std::vector<TComponent*> loaded = std::move(FLoaded);
    for (TComponent* c : loaded) c->Loaded();
    return created ? created.release() : result;
}

TComponent* TReader::CreateComponent(const TFormValue& header, TComponent* owner) {
    const TClassInfo* info = FindClass(header.Text);
    if (!info)
        throw EClassNotFound(Format("%s, line %d: class %s is not registered", {FFileName, header.Line, header.Text}));
    if (!info->InheritsFrom(TComponent::StaticClassInfo()) || !info->ComponentFactory())
        Error(Format("class %s cannot be created as a component", {header.Text}));
    return info->ComponentFactory()(owner);
}

TComponent* TReader::ReadComponent(TComponent* existing, TComponent* owner) {
    if (NextValue() != TValueType::vaObject || FPos >= FValues.size()) Expected("object");
    if (++FDepth > kFormMaxNesting) Error("objects nested too deeply");
    const TFormValue& header = Take();
    TComponent* c = existing;
    bool isRoot = owner == nullptr;
    if (isRoot && existing) {
        bool matches = false;
        for (const TClassInfo* k = &existing->ClassInfo(); k; k = k->Parent())
            if (SameText(k->Name(), header.Text)) matches = true;
        if (!matches) Error(Format("the form holds a %s, not a %s", {header.Text, existing->ClassName()}));
    } else if (!isRoot && (header.Flags & ffInherited)) {
        c = owner->FindComponent(header.Name);
        if (!c) Error(Format("inherited component %s is not in the ancestor form", {header.Name}));
        if (!SameText(c->ClassName(), header.Text))
            Error(Format("inherited component %s is a %s, not a %s", {header.Name, c->ClassName(), header.Text}));
    } else {
        if (!isRoot && !header.Name.empty() && owner->FindComponent(header.Name))
            Error(Format("a component named %s already exists", {header.Name}));
        c = CreateComponent(header, owner);
        if (isRoot) FRoot = c;
    }
    if (isRoot) {
        FRoot = c;
        FLookupRoot = c;
    }
    try {
        if (!header.Name.empty() && c->Name() != header.Name) c->SetName(header.Name);
    } catch (const EComponentError& e) {
        Error(e.Message());
    }
    c->SetState(csLoading, true);
    c->SetState(csReading, true);
    bool seen = false;
    for (TComponent* l : FLoaded) seen = seen || l == c;
    if (!seen) FLoaded.push_back(c);

    ReadComponentBody(*c);
    --FDepth;
    return c;
}

void TReader::ReadComponentBody(TComponent& component) {
    while (!EndOfList()) {
        if (NextValue() != TValueType::vaPropName) Expected("property name");
        ReadProperty(component);
    }
    ReadListEnd();
    while (!EndOfList()) ReadComponent(nullptr, FRoot);
    ReadListEnd();
}

void TReader::ReadProperty(TPersistent& instance) {
    std::string name = ReadStr();
    TPersistent* obj = &instance;
    size_t start = 0;
    for (size_t dot = name.find('.'); dot != std::string::npos; dot = name.find('.', start)) {
        std::string part = name.substr(start, dot - start);
        const TPropInfo* p = obj->ClassInfo().FindProperty(part);
        if (!p || p->Kind != TTypeKind::tkClass)
            Error(Format("%s has no object property %s (in %s)", {obj->ClassName(), part, name}));
        TPersistent* sub = p->GetObj(*obj);
        if (!sub) Error(Format("property %s of %s holds no object", {part, obj->ClassName()}));
        obj = sub;
        start = dot + 1;
    }
    std::string last = name.substr(start);
    if (const TPropInfo* p = obj->ClassInfo().FindProperty(last)) {
        ReadPropValue(*obj, *p);
        return;
    }
    FPropName = last;
    obj->DefineProperties(*this);
    if (!FPropName.empty()) {
        FPropName.clear();
        Error(Format("%s has no property %s", {obj->ClassName(), name}));
    }
}

void TReader::ReadPropValue(TPersistent& instance, const TPropInfo& prop) {
    if (!prop.IsWritable() && prop.Kind != TTypeKind::tkClass)
        Error(Format("property %s of %s is read-only", {prop.Name, instance.ClassName()}));
    try {
        switch (prop.Kind) {
            case TTypeKind::tkInteger: {
                int64_t v = ReadInteger();
                if (v < prop.MinValue || v > prop.MaxValue)
                    Error(Format("value %s is out of range for property %s", {IntToStr(v), prop.Name}));
                prop.SetOrd(instance, v);
                return;
            }
            case TTypeKind::tkFloat:
                prop.SetFloat(instance, ReadFloat());
                return;
            case TTypeKind::tkString:
                prop.SetStr(instance, ReadString());
                return;
            case TTypeKind::tkBoolean:
                prop.SetOrd(instance, ReadBoolean() ? 1 : 0);
                return;
            case TTypeKind::tkEnumeration: {
                std::string ident = ReadIdent();
                int ord = prop.EnumType->Ordinal(ident);
                if (ord < 0) {
                    std::string names;
                    for (int i = 0; i < prop.EnumType->Count(); ++i) names += (i ? ", " : "") + prop.EnumType->Name(i);
                    Error(Format("invalid value %s for property %s (one of %s expected)", {ident, prop.Name, names}));
                }
                prop.SetOrd(instance, ord);
                return;
            }
            case TTypeKind::tkSet: {
                ExpectValue(TValueType::vaSet);
                uint64_t mask = 0;
                while (NextValue() == TValueType::vaIdent) {
                    std::string ident = Take().Text;
                    int ord = prop.EnumType->Ordinal(ident);
                    if (ord < 0 || ord >= 64) Error(Format("invalid value %s in set property %s", {ident, prop.Name}));
                    mask |= uint64_t{1} << ord;
                }
                ReadListEnd();
                prop.SetOrd(instance, static_cast<int64_t>(mask));
                return;
            }
            case TTypeKind::tkComponent: {
                if (NextValue() == TValueType::vaNil) {
                    ++FPos;
                    prop.SetObj(instance, nullptr);
                    return;
                }
                if (NextValue() != TValueType::vaIdent) Expected("component name");
                const TFormValue& v = Take();
                FFixups.push_back({&instance, &prop, v.Text, v.Line});
                return;
            }
            case TTypeKind::tkClass: {
                TPersistent* obj = prop.GetObj(instance);
                auto* coll = dynamic_cast<TCollection*>(obj);
                if (coll && NextValue() == TValueType::vaCollection) {
                    ReadCollection(*coll);
                    return;
                }
                if (coll) Expected("collection");
                Error(Format("property %s holds an object; give its own values as %s.<name>", {prop.Name, prop.Name}));
            }
            case TTypeKind::tkMethod: {
                if (NextValue() == TValueType::vaNil) {
                    ++FPos;
                    prop.SetMethod(instance, std::string(), nullptr);
                    return;
                }
                if (NextValue() != TValueType::vaIdent) Expected("method name");
                std::string method = Take().Text;
                const std::any* fn = FMethods ? FMethods->Find(method) : nullptr;
                if (!fn)
                    throw EMethodNotFound(Format("%s, line %d: method %s of property %s is not bound",
                                                 {FFileName, CurrentLine(), method, prop.Name}));
                if (!prop.SetMethod(instance, method, fn))
                    throw EMethodNotFound(Format("%s, line %d: method %s does not fit property %s",
                                                 {FFileName, CurrentLine(), method, prop.Name}));
                return;
            }
        }
    } catch (const EPropertyError& e) {
        Error(e.Message());
    } catch (const EComponentError& e) {
        Error(e.Message());
    }
}

void TReader::ReadCollection(TCollection& collection) {
    ExpectValue(TValueType::vaCollection);
    if (++FDepth > kFormMaxNesting) Error("collections nested too deeply");
    collection.BeginUpdate();
    try {
        collection.Clear();
        while (!EndOfList()) {
            if (NextValue() == TValueType::vaInt) ++FPos;  // an item index, not needed
            ReadListBegin();
            TCollectionItem* item = collection.Add();
            while (!EndOfList()) ReadProperty(*item);
            ReadListEnd();
        }
        ReadListEnd();
    } catch (...) {
        collection.EndUpdate();
        throw;
    }
    collection.EndUpdate();
    --FDepth;
}

void TReader::DefineProperty(const std::string& name, const TReaderProc& readData, const TWriterProc&, bool) {
    if (FPropName.empty() || !readData || !SameText(name, FPropName)) return;
    FPropName.clear();
    readData(*this);
}

void TReader::DefineBinaryProperty(const std::string& name, const TBinaryReadProc& readData, const TBinaryWriteProc&,
                                   bool) {
    if (FPropName.empty() || !readData || !SameText(name, FPropName)) return;
    FPropName.clear();
    readData(ReadBinary());
}

// "Db" in the root, then as a module; "A.B.C" from a component of the root,
// from the root itself or from an open module named A.
TComponent* TReader::FindReference(const std::string& name) const {
    std::vector<std::string> parts;
    for (size_t start = 0;;) {
        size_t dot = name.find('.', start);
        parts.push_back(name.substr(start, dot == std::string::npos ? std::string::npos : dot - start));
        if (dot == std::string::npos) break;
        start = dot + 1;
    }
    auto descend = [&](TComponent* from, size_t first) {
        for (size_t i = first; from && i < parts.size(); ++i) from = from->FindComponent(parts[i]);
        return from;
    };
    if (TComponent* c = descend(FRoot, 0)) return c;
    if (SameText(FRoot->Name(), parts[0]))
        if (TComponent* c = descend(FRoot, 1); c && parts.size() > 1) return c;
    if (parts.size() == 1 && SameText(FRoot->Name(), parts[0])) return FRoot;
    if (TComponent* module = Application().FindGlobalComponent(parts[0]))
        return parts.size() == 1 ? module : descend(module, 1);
    return nullptr;
}

void TReader::ResolveFixups() {
    for (const TFixup& f : FFixups) {
        TComponent* target = FindReference(f.Name);
        auto fail = [&](const std::string& what) {
            throw EReadError(Format("%s, line %d: %s", {FFileName, f.Line, what}));
        };
        if (!target) fail(Format("component %s of property %s is not found", {f.Name, f.Prop->Name}));
        if (!target->InheritsFrom(*f.Prop->ClassType()))
            fail(Format("property %s takes a %s, but %s is a %s",
                        {f.Prop->Name, f.Prop->ClassType()->Name(), f.Name, target->ClassName()}));
        f.Prop->SetObj(*f.Instance, target);
        if (auto* self = dynamic_cast<TComponent*>(f.Instance)) self->FreeNotification(target);
    }
    FFixups.clear();
}

}  // namespace tabrix
