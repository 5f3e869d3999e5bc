// Any bytes as a package: it is refused with EPackageError or read, edited,
// written and read back the same; never a crash, a leak or an overread.

#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/spreadsheet/package/opc.h"
#include "platform/spreadsheet/package/package.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace tabrix::xl;
    TPackageLimits limits;
    limits.MaxEntrySize = 1 << 22;
    limits.MaxTotalSize = 1 << 24;
    limits.RatioThreshold = 1 << 16;
    try {
        TPackage p = TPackage::FromBytes(std::string(reinterpret_cast<const char*>(data), size), "fuzz", limits);
        for (const std::string& name : p.PartNames()) {
            std::string content;
            try {
                content = p.ReadPart(name);
            } catch (const EPackageError&) {
                continue;
            }
            try {
                if (name.size() > 5 && name.compare(name.size() - 5, 5, ".rels") == 0)
                    (void)TRelationships::Parse(content).Serialize();
                else if (name == "[Content_Types].xml")
                    (void)TContentTypes::Parse(content).Serialize();
            } catch (const EPackageError&) {}
        }
        p.SetPart("xl/new.xml", "<new/>");
        const TPackage back = TPackage::FromBytes(p.SaveToBytes(), "back", limits);
        if (back.ReadPart("xl/new.xml") != "<new/>") __builtin_trap();
    } catch (const EPackageError&) {}
    return 0;
}
