#include "platform/db/json_reader.h"

#include <map>
#include <memory>

#include <fmt/format.h>
#include <nlohmann/json.hpp>

#include "platform/db/db_errors.h"
#include "platform/db/limits.h"
#include "platform/db/text_position.h"
#include "platform/db/type_guess.h"
#include "platform/rtl/iso_datetime.h"
#include "platform/rtl/strings.h"

namespace tabrix {

namespace {

using Json = nlohmann::ordered_json;

// Offset of the first bracket that opens one level too many, or npos.
size_t TooDeepAt(std::string_view text) {
    int depth = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '"') {
            for (++i; i < text.size() && text[i] != '"'; ++i)
                if (text[i] == '\\') ++i;
        } else if (c == '[' || c == '{') {
            if (++depth > kMaxJsonDepth) return i;
        } else if (c == ']' || c == '}') {
            --depth;
        }
    }
    return std::string_view::npos;
}

// Fields of the objects of one array, found over all of them.
struct Schema {
    std::vector<AnsiString> Names;
    std::vector<TTypeGuess> Guesses;
    std::vector<std::unique_ptr<Schema>> Nested;  // per field; set when some value is an array of objects
    std::map<AnsiString, size_t> Index;           // upper-cased name -> field

    size_t FieldOf(const std::string& name) {
        auto [it, added] = Index.emplace(AnsiUpperCase(name), Names.size());
        if (added) {
            Names.push_back(name);
            Guesses.emplace_back();
            Nested.emplace_back();
        }
        return it->second;
    }
};

bool IsArrayOfObjects(const Json& v) {
    if (!v.is_array()) return false;
    for (const Json& e : v)
        if (!e.is_object()) return false;
    return true;
}

void Learn(Schema& schema, const Json& object) {
    for (auto it = object.begin(); it != object.end(); ++it) {
        const size_t f = schema.FieldOf(it.key());
        const Json& v = it.value();
        TTypeGuess& g = schema.Guesses[f];
        switch (v.type()) {
            case Json::value_t::null:
                break;
            case Json::value_t::boolean:
                g.AddBoolean();
                break;
            case Json::value_t::number_integer:
                g.AddInteger(v.get<int64_t>());
                break;
            case Json::value_t::number_unsigned:
                if (v.get<uint64_t>() > static_cast<uint64_t>(INT64_MAX))
                    g.AddFloat();
                else
                    g.AddInteger(static_cast<int64_t>(v.get<uint64_t>()));
                break;
            case Json::value_t::number_float:
                g.AddFloat();
                break;
            case Json::value_t::string:
                g.AddString(v.get_ref<const std::string&>());
                break;
            case Json::value_t::array:
                if (IsArrayOfObjects(v)) {
                    g.AddNested();
                    if (!schema.Nested[f]) schema.Nested[f] = std::make_unique<Schema>();
                    for (const Json& e : v) Learn(*schema.Nested[f], e);
                } else {
                    g.AddStructured();
                }
                break;
            default:
                g.AddStructured();
                break;
        }
    }
}

std::vector<TFieldDef> DefsOf(const Schema& schema) {
    std::vector<TFieldDef> defs(schema.Names.size());
    for (size_t f = 0; f < defs.size(); ++f) {
        defs[f].Name = schema.Names[f];
        defs[f].DataType = schema.Guesses[f].Result();
        if (StorageKindOf(defs[f].DataType) == TStorageKind::Text) defs[f].Size = schema.Guesses[f].MaxLength();
        if (defs[f].DataType == TFieldType::ftDataSet)
            defs[f].NestedDefs = std::make_shared<const std::vector<TFieldDef>>(DefsOf(*schema.Nested[f]));
    }
    return defs;
}

std::string ScalarText(const Json& v) {
    if (v.is_string()) return v.get<std::string>();
    return v.dump();
}

std::unique_ptr<TRecordStore> Fill(const Schema& schema, const Json& array) {
    auto store = std::make_unique<TRecordStore>(DefsOf(schema));
    const auto& defs = store->FieldDefs();
    std::vector<const Json*> values(defs.size());
    for (const Json& object : array) {
        std::fill(values.begin(), values.end(), nullptr);
        for (auto it = object.begin(); it != object.end(); ++it)
            values[schema.Index.at(AnsiUpperCase(it.key()))] = &it.value();
        for (size_t f = 0; f < defs.size(); ++f) {
            const Json* v = values[f];
            if ((!v || v->is_null()) && defs[f].DataType == TFieldType::ftDataSet) {
                // No nested records: an empty table that still has the fields.
                store->AppendNested(f, std::make_unique<TRecordStore>(*defs[f].NestedDefs));
                continue;
            }
            if (!v || v->is_null()) {
                store->AppendNull(f);
                continue;
            }
            TDateTime d = 0;
            switch (defs[f].DataType) {
                case TFieldType::ftDataSet:
                    store->AppendNested(f, Fill(*schema.Nested[f], *v));
                    break;
                case TFieldType::ftBoolean:
                    store->AppendInteger(f, v->get<bool>());
                    break;
                case TFieldType::ftInteger:
                case TFieldType::ftLargeint:
                    store->AppendInteger(f, v->get<int64_t>());
                    break;
                case TFieldType::ftFloat:
                    store->AppendFloat(f, v->get<double>());
                    break;
                case TFieldType::ftDate:
                    TryParseIsoDate(v->get_ref<const std::string&>(), d);
                    store->AppendFloat(f, d);
                    break;
                case TFieldType::ftDateTime:
                    TryParseIsoDateTime(v->get_ref<const std::string&>(), d);
                    store->AppendFloat(f, d);
                    break;
                case TFieldType::ftTime:
                    TryParseIsoTime(v->get_ref<const std::string&>(), d);
                    store->AppendFloat(f, d);
                    break;
                default:
                    store->AppendText(f, ScalarText(*v));
                    break;
            }
        }
        store->EndRecord();
    }
    return store;
}

size_t SkipBlanks(std::string_view text, size_t i) {
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t' || text[i] == '\r' || text[i] == '\n')) ++i;
    return i;
}

// Offset of the value that starts after i (the text is valid JSON).
size_t SkipValue(std::string_view text, size_t i) {
    i = SkipBlanks(text, i);
    int depth = 0;
    while (i < text.size()) {
        const char c = text[i];
        if (c == '"') {
            for (++i; i < text.size() && text[i] != '"'; ++i)
                if (text[i] == '\\') ++i;
        } else if (c == '[' || c == '{') {
            ++depth;
        } else if (c == ']' || c == '}') {
            if (depth == 0) return i;
            --depth;
        } else if (c == ',' && depth == 0) {
            return i;
        }
        ++i;
        if (depth == 0 && (c == '"' || c == ']' || c == '}')) return i;
    }
    return i;
}

// Offset of element index of the top-level array.
size_t ElementOffset(std::string_view text, size_t index) {
    size_t i = SkipBlanks(text, 0) + 1;  // past "["
    for (size_t k = 0; k < index; ++k) {
        i = SkipValue(text, i);
        i = SkipBlanks(text, i) + 1;  // past ","
    }
    return SkipBlanks(text, i);
}

}  // namespace

TRecordStore ReadJson(std::string_view text, const TDataFileSource& source) {
    text = SkipByteOrderMark(text);
    auto fail = [&](size_t offset, std::string_view reason) {
        const TTextPosition p = TextPositionAt(text, offset);
        db_errors::FileFormat(source.DataSetName, source.FileName, p.Line, p.Column, reason);
    };
    if (const size_t deep = TooDeepAt(text); deep != std::string_view::npos)
        fail(deep, fmt::format("arrays and objects are nested more than {} deep", kMaxJsonDepth));
    Json doc;
    try {
        doc = Json::parse(text.begin(), text.end());
    } catch (const Json::parse_error& e) {
        // The library's text repeats a position of its own; keep only the reason.
        std::string reason = e.what();
        const size_t p = reason.find(": ");
        if (p != std::string::npos) reason.erase(0, p + 2);
        fail(e.byte ? e.byte - 1 : 0, reason);
    } catch (const Json::exception& e) {
        // A number too large for a double: the text names the literal, so
        // its first place in the file is where it stands.
        std::string reason = e.what();
        const size_t p = reason.find("] ");
        if (p != std::string::npos) reason.erase(0, p + 2);
        const size_t open = reason.find('\''), close = reason.rfind('\'');
        size_t at = std::string_view::npos;
        if (open != std::string::npos && close > open + 1) at = text.find(reason.substr(open + 1, close - open - 1));
        if (at == std::string_view::npos) db_errors::FileContent(source.DataSetName, source.FileName, reason);
        fail(at, reason);
    }
    if (!doc.is_array()) fail(SkipBlanks(text, 0), "an array of objects is expected");
    Schema schema;
    for (size_t k = 0; k < doc.size(); ++k) {
        if (!doc[k].is_object()) fail(ElementOffset(text, k), fmt::format("record {} is not an object", k + 1));
        Learn(schema, doc[k]);
    }
    return std::move(*Fill(schema, doc));
}

}  // namespace tabrix
