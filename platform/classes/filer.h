#pragma once
// Streaming of components: TWriter turns a root component, its published
// properties, defined values and owned components into a stream of values;
// TReader builds them back. The stream is a sequence of TFormValue (see
// formtext.h for its text form, the form file).
//
// Values written for a sub-object carry its path prefix ("Bands.BandCount");
// values of a standard collection's items do not. Component references are
// written by name and resolved after the whole root is read, so forward
// references work. With an ancestor (an inherited form) only what differs
// from it is written.

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/classes/component.h"
#include "platform/classes/typinfo.h"
#include "platform/rtl/exceptions.h"

namespace tabrix {

class TCollection;

// Errors in a form file's text (syntax) and in its content (unknown class,
// property or component, wrong value kind); both name the file and line.
TABRIX_EXCEPTION_CLASS(EParserError, EReadError);
TABRIX_EXCEPTION_CLASS(EMethodNotFound, EReadError);

enum class TValueType : uint8_t {
    vaNull,  // end of a list (properties, children, list, collection, set)
    vaList,  // begin of a list / collection item
    vaInt,
    vaExtended,
    vaString,
    vaIdent,  // identifier: enumeration value, component or method name
    vaFalse,
    vaTrue,
    vaBinary,
    vaSet,  // identifiers follow, then vaNull
    vaNil,
    vaCollection,  // items follow (optional vaInt index, then vaList ... vaNull), then vaNull
    vaObject,      // object header: class, name, flags; then properties, vaNull, children, vaNull
    vaPropName,    // a property name; its value follows
};

const char* ValueTypeName(TValueType type);

enum TFilerFlag : uint8_t { ffInherited = 1, ffChildPos = 2, ffInline = 4 };

struct TFormValue {
    TValueType Type = TValueType::vaNull;
    int Line = 0;       // line of the form file (0 when built in memory)
    int64_t Int = 0;    // vaInt
    double Float = 0;   // vaExtended
    std::string Text;   // vaString, vaIdent, vaBinary bytes, vaPropName, vaObject class name
    std::string Name;   // vaObject: component name
    uint8_t Flags = 0;  // vaObject: TFilerFlag mask
};
using TFormValues = std::vector<TFormValue>;

class TFiler;
class TReader;
class TWriter;
using TReaderProc = std::function<void(TReader&)>;
using TWriterProc = std::function<void(TWriter&)>;
using TBinaryReadProc = std::function<void(const std::string& bytes)>;
using TBinaryWriteProc = std::function<std::string()>;

class TFiler {
public:
    virtual ~TFiler() = default;
    // Declares a value streamed beside the published properties. The writer
    // writes it when hasData; the reader calls readData when it meets it.
    virtual void DefineProperty(const std::string& name, const TReaderProc& readData, const TWriterProc& writeData,
                                bool hasData) = 0;
    virtual void DefineBinaryProperty(const std::string& name, const TBinaryReadProc& readData,
                                      const TBinaryWriteProc& writeData, bool hasData) = 0;

    TComponent* Root() const { return FRoot; }
    TComponent* LookupRoot() const { return FLookupRoot; }
    // The ancestor's counterpart of the object being written (null when none);
    // has-data tests compare against it.
    TPersistent* Ancestor() const { return FAncestor; }
    void SetAncestor(TPersistent* value) { FAncestor = value; }

protected:
    TComponent* FRoot = nullptr;
    TComponent* FLookupRoot = nullptr;
    TPersistent* FAncestor = nullptr;
};

class TWriter : public TFiler {
public:
    explicit TWriter(TFormValues& out) : FOut(out) {}

    // The whole root with its owned components; with an ancestor, written as
    // an inherited form holding only what differs.
    void WriteDescendent(TComponent& root, TComponent* ancestor);
    void WriteRootComponent(TComponent& root) { WriteDescendent(root, nullptr); }
    void WriteComponent(TComponent& component);

    // Published properties that differ from default or ancestor, then
    // DefineProperties, names with the current path prefix.
    void WriteProperties(TPersistent& instance);
    void WriteCollection(TCollection& collection);

    void WriteValue(TValueType type);
    void WriteListBegin() { WriteValue(TValueType::vaList); }
    void WriteListEnd() { WriteValue(TValueType::vaNull); }
    void WritePropName(std::string_view name);  // prefixed with the path
    void WriteInteger(int64_t value);
    void WriteFloat(double value);
    void WriteString(std::string_view value);
    void WriteBoolean(bool value);
    void WriteIdent(std::string_view ident);
    void WriteBinary(std::string_view bytes);

    void DefineProperty(const std::string& name, const TReaderProc& readData, const TWriterProc& writeData,
                        bool hasData) override;
    void DefineBinaryProperty(const std::string& name, const TBinaryReadProc& readData,
                              const TBinaryWriteProc& writeData, bool hasData) override;

    const std::string& PropPath() const { return FPropPath; }

private:
    void WriteProperty(TPersistent& instance, const TPropInfo& prop);
    bool IsDefaultValue(TPersistent& instance, const TPropInfo& prop) const;
    TFormValue& Push(TValueType type);

    TFormValues& FOut;
    std::string FPropPath;
    TComponent* FRootAncestor = nullptr;
};

class TReader : public TFiler {
public:
    // fileName only names the source in errors.
    TReader(const TFormValues& values, std::string fileName);
    ~TReader() override;

    // Reads the root object. With root null, the root is created by the
    // class named in the stream (owned by the caller); otherwise the stream
    // is read into root (which must be of that class), as an inherited form
    // is read into the components of its ancestor.
    TComponent* ReadRootComponent(TComponent* root);

    // Reads a name and its value into instance (path prefixes descend into
    // sub-objects; names no published property has go to DefineProperties).
    void ReadProperty(TPersistent& instance);
    void ReadPropValue(TPersistent& instance, const TPropInfo& prop);
    void ReadCollection(TCollection& collection);

    TValueType NextValue() const;
    TValueType ReadValue();
    bool EndOfList() const { return NextValue() == TValueType::vaNull; }
    // Reads a value of that type with no content (a marker), or fails.
    void ExpectValue(TValueType type);
    void ReadListBegin() { ExpectValue(TValueType::vaList); }
    void ReadListEnd() { ExpectValue(TValueType::vaNull); }
    std::string ReadStr();  // a property name
    int64_t ReadInteger();
    int ReadInteger32();
    double ReadFloat();
    std::string ReadString();
    bool ReadBoolean();
    std::string ReadIdent();
    std::string ReadBinary();
    void SkipValue();

    void DefineProperty(const std::string& name, const TReaderProc& readData, const TWriterProc& writeData,
                        bool hasData) override;
    void DefineBinaryProperty(const std::string& name, const TBinaryReadProc& readData,
                              const TBinaryWriteProc& writeData, bool hasData) override;

    // The method table event values are bound from (default: the application's).
    void SetMethods(const TMethodTable* methods) { FMethods = methods; }
    const std::string& FileName() const { return FFileName; }
    int CurrentLine() const;
    // Raises EReadError "<file>, line <n>: <message>" at the current value.
    [[noreturn]] void Error(const std::string& message) const;

private:
    struct TFixup {
        TPersistent* Instance;
        const TPropInfo* Prop;
        std::string Name;
        int Line;
    };
    const TFormValue& Peek() const;
    const TFormValue& Take();
    [[noreturn]] void Expected(const char* what) const;
    TComponent* ReadComponent(TComponent* existing, TComponent* owner);
    void ReadComponentBody(TComponent& component);
    TComponent* CreateComponent(const TFormValue& header, TComponent* owner);
    void ReadObjectProperties(TPersistent& instance);
    void ResolveFixups();
    TComponent* FindReference(const std::string& name) const;
    void SkipSetBody();

    const TFormValues& FValues;
    std::string FFileName;
    size_t FPos = 0;
    std::string FPropName;  // the defined value being looked for in DefineProperties
    const TMethodTable* FMethods = nullptr;
    std::vector<TFixup> FFixups;
    std::vector<TComponent*> FLoaded;
    int FDepth = 0;
};

}  // namespace tabrix
