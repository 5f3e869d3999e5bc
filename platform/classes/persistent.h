#pragma once
// TPersistent: the root of everything that streams (components, collections,
// string lists, bands). Copying between objects goes through Assign/AssignTo;
// extra streamed values that are not published properties are declared in
// DefineProperties.

#include <string>

namespace tabrix {

class TClassInfo;
class TFiler;

class TPersistent {
public:
    TPersistent() = default;
    virtual ~TPersistent() = default;
    TPersistent(const TPersistent&) = delete;
    TPersistent& operator=(const TPersistent&) = delete;

    static const TClassInfo& StaticClassInfo();
    virtual const TClassInfo& ClassInfo() const { return StaticClassInfo(); }
    const std::string& ClassName() const;
    bool InheritsFrom(const TClassInfo& info) const;

    // Copies source's settings into this object. The default hands the work
    // to source.AssignTo(*this), which fails unless the source knows us.
    virtual void Assign(const TPersistent* source);

    // The object this one is streamed inside (for name paths), or null.
    virtual TPersistent* GetOwner() const { return nullptr; }
    // The name design tools show: the class name unless a class knows better.
    virtual std::string GetNamePath() const;

    // Declares values of this object that are streamed beside its published
    // properties (TFiler::DefineProperty).
    virtual void DefineProperties(TFiler& filer);

protected:
    virtual void AssignTo(TPersistent& dest) const;
    // Raises EConvertError "Cannot assign a <source> to a <this>".
    [[noreturn]] void AssignError(const TPersistent* source) const;
};

}  // namespace tabrix
