#pragma once
// Open Packaging Conventions helpers: the content types part, relationship
// parts and part name resolution. Part names are given without a leading '/'
// (as zip entries are named); the XML forms carry it where OPC wants it.

#include <string>
#include <string_view>
#include <vector>

namespace tabrix::xl {

// "[Content_Types].xml": content types by extension (Default) and by part
// (Override). Lookups ignore ASCII case; the order read is kept on write.
class TContentTypes {
public:
    struct TDefault {
        std::string Extension;  // without the dot: "xml"
        std::string ContentType;
    };
    struct TOverride {
        std::string PartName;  // without the leading '/'
        std::string ContentType;
    };

    // Raises EPackageError on malformed XML; partName and fileName (the
    // package's DisplayName()) are for the message.
    static TContentTypes Parse(std::string_view xml, std::string_view partName = "[Content_Types].xml",
                               std::string_view fileName = {});

    // The override of the part, else the default of its extension, else "".
    std::string ContentTypeOf(std::string_view partName) const;

    std::string Default(std::string_view extension) const;
    void SetDefault(std::string_view extension, std::string_view contentType);
    void RemoveDefault(std::string_view extension);

    std::string Override(std::string_view partName) const;
    void SetOverride(std::string_view partName, std::string_view contentType);
    void RemoveOverride(std::string_view partName);

    const std::vector<TDefault>& Defaults() const { return FDefaults; }
    const std::vector<TOverride>& Overrides() const { return FOverrides; }

    std::string Serialize() const;

private:
    std::vector<TDefault> FDefaults;
    std::vector<TOverride> FOverrides;
};

struct TRelationship {
    std::string Id;
    std::string Type;
    std::string Target;      // as written: relative to the source part's folder, or absolute
    std::string TargetMode;  // "" (internal) or "External"
    bool IsExternal() const { return TargetMode == "External"; }
};

// One ".rels" part. Ids are unique; lookups by type compare exactly, since
// OPC types are URIs.
class TRelationships {
public:
    static TRelationships Parse(std::string_view xml, std::string_view partName = ".rels",
                                std::string_view fileName = {});

    const std::vector<TRelationship>& Items() const { return FItems; }
    const TRelationship* FindById(std::string_view id) const;
    const TRelationship* FindByType(std::string_view type) const;  // the first
    std::vector<const TRelationship*> FindAllByType(std::string_view type) const;

    // Adds a relationship with a fresh id ("rIdN") and returns the id.
    std::string Add(std::string_view type, std::string_view target, std::string_view targetMode = {});
    bool RemoveById(std::string_view id);
    std::size_t RemoveByType(std::string_view type);  // how many were removed

    std::string Serialize() const;

private:
    std::vector<TRelationship> FItems;
};

// The relationship part of a part: "xl/workbook.xml" -> "xl/_rels/workbook.xml.rels";
// "" (the package itself) -> "_rels/.rels".
std::string RelationshipsPartName(std::string_view sourcePart);

// The part a relationship target names, seen from sourcePart ("" for the
// package root): "worksheets/sheet1.xml" from "xl/workbook.xml" gives
// "xl/worksheets/sheet1.xml"; "../media/a.png", "/xl/x.xml" and
// percent-free names are resolved; "." and ".." are folded. A target that
// climbs above the root stays at the root.
std::string ResolveTarget(std::string_view sourcePart, std::string_view target);

// The target to write in sourcePart's relationships for targetPart:
// "xl/worksheets/sheet2.xml" from "xl/workbook.xml" gives "worksheets/sheet2.xml".
std::string RelativeTarget(std::string_view sourcePart, std::string_view targetPart);

// Compares part names ignoring ASCII case and a leading '/'.
bool SamePartName(std::string_view a, std::string_view b);

// Why an archive entry's name is no part name, or "" when it is one: a
// leading '/', a backslash, a control character, a "." or ".." segment or
// an empty one would let a writer or an unpacking tool put the part
// elsewhere than its name says. A trailing '/' (a folder entry) is allowed.
std::string PartNameProblem(std::string_view name);

// The name with control characters as \xNN, for a message that must stay
// one line and cannot carry terminal escapes.
std::string PrintablePartName(std::string_view name);

}  // namespace tabrix::xl
