// TWriter: components, properties and defined values into a value stream.
#include "platform/classes/filer.h"

#include "platform/classes/collection.h"
#include "platform/rtl/format.h"

namespace tabrix {

const char* ValueTypeName(TValueType type) {
    switch (type) {
        case TValueType::vaNull:
            return "end of list";
        case TValueType::vaList:
            return "list";
        case TValueType::vaInt:
            return "integer";
        case TValueType::vaExtended:
            return "float";
        case TValueType::vaString:
            return "string";
        case TValueType::vaIdent:
            return "identifier";
        case TValueType::vaFalse:
            return "False";
        case TValueType::vaTrue:
            return "True";
        case TValueType::vaBinary:
            return "binary data";
        case TValueType::vaSet:
            return "set";
        case TValueType::vaNil:
            return "nil";
        case TValueType::vaCollection:
            return "collection";
        case TValueType::vaObject:
            return "object";
        case TValueType::vaPropName:
            return "property name";
    }
    return "value";
}

namespace {

// The ancestor's object for prop, when the ancestor has that very property.
TPersistent* AncestorOf(TPersistent* ancestor, const TPropInfo& prop) {
    if (!ancestor || ancestor->ClassInfo().FindProperty(prop.Name) != &prop) return nullptr;
    return ancestor;
}

// A reference as written: the path of owners from the root down ("Db",
// "Orders.ItemsField"), or from the top module for a component of another
// module ("OtherModule.Db").
std::string RefName(const TComponent* c, const TComponent* root) {
    if (!c) return {};
    if (c == root) return c->Name();
    std::string path = c->Name();
    for (const TComponent* p = c->Owner(); p && p != root; p = p->Owner()) path = p->Name() + "." + path;
    return path;
}

bool SameValues(const TFormValues& a, const TFormValues& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        const TFormValue &x = a[i], &y = b[i];
        if (x.Type != y.Type || x.Int != y.Int || x.Float != y.Float || x.Text != y.Text || x.Name != y.Name)
            return false;
    }
    return true;
}

}  // namespace

void TWriter::WriteDescendent(TComponent& root, TComponent* ancestor) {
    FRoot = &root;
    FLookupRoot = &root;
    FRootAncestor = ancestor;
    WriteComponent(root);
}

void TWriter::WriteComponent(TComponent& component) {
    TComponent* ancestor = nullptr;
    if (&component == FRoot)
        ancestor = FRootAncestor;
    else if (FRootAncestor)
        ancestor = FRootAncestor->FindComponent(component.Name());
    if (ancestor && ancestor->ClassInfo().Name() != component.ClassInfo().Name()) ancestor = nullptr;

    size_t start = FOut.size();
    TFormValue& header = Push(TValueType::vaObject);
    header.Text = component.ClassName();
    header.Name = component.Name();
    header.Flags = ancestor ? ffInherited : 0;

    TPersistent* savedAncestor = FAncestor;
    std::string savedPath = std::move(FPropPath);
    FAncestor = ancestor;
    FPropPath.clear();
    component.SetState(csWriting, true);
    try {
        WriteProperties(component);
        WriteListEnd();
        if (&component == FRoot)
            for (int i = 0; i < component.ComponentCount(); ++i) WriteComponent(*component.Components(i));
        WriteListEnd();
    } catch (...) {
        component.SetState(csWriting, false);
        throw;
    }
    component.SetState(csWriting, false);
    FAncestor = savedAncestor;
    FPropPath = std::move(savedPath);

    // An inherited component that differs in nothing is left out.
    if (ancestor && &component != FRoot && FOut.size() == start + 3) FOut.resize(start);
}

void TWriter::WriteProperties(TPersistent& instance) {
    for (const TPropInfo* prop : instance.ClassInfo().Properties())
        if (prop->Stored) WriteProperty(instance, *prop);
    instance.DefineProperties(*this);
}

bool TWriter::IsDefaultValue(TPersistent& instance, const TPropInfo& prop) const {
    TPersistent* anc = AncestorOf(FAncestor, prop);
    switch (prop.Kind) {
        case TTypeKind::tkInteger:
        case TTypeKind::tkBoolean:
        case TTypeKind::tkEnumeration:
        case TTypeKind::tkSet: {
            int64_t v = prop.GetOrd(instance);
            if (anc) return v == prop.GetOrd(*anc);
            return prop.HasDefault && v == prop.Default;
        }
        case TTypeKind::tkFloat: {
            double v = prop.GetFloat(instance);
            return anc ? v == prop.GetFloat(*anc) : v == 0;
        }
        case TTypeKind::tkString:
        case TTypeKind::tkMethod: {
            std::string v = prop.GetStr(instance);
            return anc ? v == prop.GetStr(*anc) : v.empty();
        }
        case TTypeKind::tkComponent: {
            auto* v = dynamic_cast<TComponent*>(prop.GetObj(instance));
            if (anc) return RefName(v, FRoot) == RefName(dynamic_cast<TComponent*>(prop.GetObj(*anc)), FRootAncestor);
            return v == nullptr;
        }
        case TTypeKind::tkClass:
            return false;
    }
    return false;
}

void TWriter::WriteProperty(TPersistent& instance, const TPropInfo& prop) {
    if (prop.Kind == TTypeKind::tkClass) {
        TPersistent* obj = prop.GetObj(instance);
        if (!obj || dynamic_cast<TComponent*>(obj)) return;
        TPersistent* anc = AncestorOf(FAncestor, prop);
        TPersistent* ancObj = anc ? prop.GetObj(*anc) : nullptr;
        if (auto* coll = dynamic_cast<TCollection*>(obj)) {
            auto* ancColl = dynamic_cast<TCollection*>(ancObj);
            if (ancColl) {
                TFormValues mine, theirs;
                TWriter w1(mine), w2(theirs);
                w1.WriteCollection(*coll);
                w2.WriteCollection(*ancColl);
                if (SameValues(mine, theirs)) return;
            } else if (coll->Count() == 0) {
                return;
            }
            WritePropName(prop.Name);
            WriteCollection(*coll);
            return;
        }
        std::string savedPath = FPropPath;
        TPersistent* savedAncestor = FAncestor;
        FPropPath += prop.Name + ".";
        FAncestor = ancObj;
        WriteProperties(*obj);
        FPropPath = std::move(savedPath);
        FAncestor = savedAncestor;
        return;
    }
    if (!prop.IsWritable() || IsDefaultValue(instance, prop)) return;
    WritePropName(prop.Name);
    switch (prop.Kind) {
        case TTypeKind::tkInteger:
            WriteInteger(prop.GetOrd(instance));
            break;
        case TTypeKind::tkBoolean:
            WriteBoolean(prop.GetOrd(instance) != 0);
            break;
        case TTypeKind::tkEnumeration:
            WriteIdent(prop.EnumType->Name(static_cast<int>(prop.GetOrd(instance))));
            break;
        case TTypeKind::tkSet: {
            WriteValue(TValueType::vaSet);
            auto mask = static_cast<uint64_t>(prop.GetOrd(instance));
            for (int i = 0; i < prop.EnumType->Count() && i < 64; ++i)
                if (mask & (uint64_t{1} << i)) WriteIdent(prop.EnumType->Name(i));
            WriteValue(TValueType::vaNull);
            break;
        }
        case TTypeKind::tkFloat:
            WriteFloat(prop.GetFloat(instance));
            break;
        case TTypeKind::tkString:
            WriteString(prop.GetStr(instance));
            break;
        case TTypeKind::tkMethod: {
            std::string name = prop.GetStr(instance);
            if (name.empty())
                WriteValue(TValueType::vaNil);
            else
                WriteIdent(name);
            break;
        }
        case TTypeKind::tkComponent: {
            auto* c = dynamic_cast<TComponent*>(prop.GetObj(instance));
            if (c && !c->Name().empty())
                WriteIdent(RefName(c, FRoot));
            else
                WriteValue(TValueType::vaNil);
            break;
        }
        case TTypeKind::tkClass:
            break;
    }
}

void TWriter::WriteCollection(TCollection& collection) {
    WriteValue(TValueType::vaCollection);
    std::string savedPath = std::move(FPropPath);
    TPersistent* savedAncestor = FAncestor;
    FPropPath.clear();
    FAncestor = nullptr;  // a changed collection is written whole
    for (int i = 0; i < collection.Count(); ++i) {
        WriteListBegin();
        WriteProperties(*collection.Items(i));
        WriteListEnd();
    }
    WriteListEnd();
    FPropPath = std::move(savedPath);
    FAncestor = savedAncestor;
}

TFormValue& TWriter::Push(TValueType type) {
    FOut.emplace_back();
    FOut.back().Type = type;
    return FOut.back();
}

void TWriter::WriteValue(TValueType type) { Push(type); }

void TWriter::WritePropName(std::string_view name) {
    TFormValue& v = Push(TValueType::vaPropName);
    v.Text = FPropPath;
    v.Text += name;
}

void TWriter::WriteInteger(int64_t value) { Push(TValueType::vaInt).Int = value; }
void TWriter::WriteFloat(double value) { Push(TValueType::vaExtended).Float = value; }
void TWriter::WriteString(std::string_view value) { Push(TValueType::vaString).Text = value; }
void TWriter::WriteBoolean(bool value) { Push(value ? TValueType::vaTrue : TValueType::vaFalse); }
void TWriter::WriteIdent(std::string_view ident) { Push(TValueType::vaIdent).Text = ident; }
void TWriter::WriteBinary(std::string_view bytes) { Push(TValueType::vaBinary).Text = bytes; }

void TWriter::DefineProperty(const std::string& name, const TReaderProc&, const TWriterProc& writeData, bool hasData) {
    if (!hasData || !writeData) return;
    WritePropName(name);
    writeData(*this);
}

void TWriter::DefineBinaryProperty(const std::string& name, const TBinaryReadProc&, const TBinaryWriteProc& writeData,
                                   bool hasData) {
    if (!hasData || !writeData) return;
    WritePropName(name);
    WriteBinary(writeData());
}

}  // namespace tabrix
