#include "cli/params.h"

#include <cctype>
#include <functional>

#include "cli/console.h"
#include "cli/report_form.h"
#include "cli/secrets.h"
#include "platform/db/db.h"
#include "platform/db/type_guess.h"
#include "platform/rtl/iso_datetime.h"
#include "platform/rtl/strings.h"

namespace tabrix::cli {

namespace {

// A parameter name as ":name" in SQL writes it.
bool IsParamName(const std::string& name) {
    if (name.empty() || std::isdigit(static_cast<unsigned char>(name[0]))) return false;
    for (char c : name)
        if (!std::isalnum(static_cast<unsigned char>(c)) && c != '_') return false;
    return true;
}

void ForEachComponent(TComponent& owner, const std::function<void(TComponent&)>& visit) {
    for (int i = 0; i < owner.ComponentCount(); ++i) {
        TComponent& c = *owner.Components(i);
        visit(c);
        ForEachComponent(c, visit);
    }
}

template <class T>
std::vector<T*> ComponentsOf(TComponent& module) {
    std::vector<T*> found;
    ForEachComponent(module, [&](TComponent& c) {
        if (auto* t = dynamic_cast<T*>(&c)) found.push_back(t);
    });
    return found;
}

bool HasParam(const TSQLQuery& query, const std::string& name) {
    for (const std::string& p : query.ParamNames())
        if (AnsiSameText(p, name)) return true;
    return false;
}

// The value the form's Params give the parameter, if any.
bool FormValue(const TSQLQuery& query, const std::string& name, std::string& value) {
    const TStringList& params = *query.Params();
    for (int i = 0; i < params.Count(); ++i)
        if (AnsiSameText(Trim(params.Names(i)), name)) {
            const std::string& line = params.Strings(i);
            value = line.substr(line.find('=') + 1);
            return true;
        }
    return false;
}

TFieldType TypeOfText(const std::string& text) {
    TTypeGuess guess;
    guess.AddText(text);
    return guess.Result();
}

const char* TypeDescription(TFieldType type) {
    switch (type) {
        case TFieldType::ftInteger:
        case TFieldType::ftLargeint:
        case TFieldType::ftFloat:
            return "a number (with \".\" for decimals)";
        case TFieldType::ftBoolean:
            return "true or false";
        case TFieldType::ftDate:
            return "a date (YYYY-MM-DD)";
        case TFieldType::ftTime:
            return "a time (HH:MM:SS)";
        case TFieldType::ftDateTime:
            return "a date and time (YYYY-MM-DD HH:MM:SS)";
        default:
            return "a text";
    }
}

// The text read as the type; false when it cannot be.
bool ReadAs(TFieldType type, const std::string& text, Variant& value) {
    switch (type) {
        case TFieldType::ftInteger:
        case TFieldType::ftLargeint:
        case TFieldType::ftFloat: {
            int64_t i = 0;
            double d = 0;
            if (TryParseCsvInteger(text, i))
                value = Variant(i);
            else if (TryParseCsvFloat(text, d))
                value = Variant(d);
            else
                return false;
            return true;
        }
        case TFieldType::ftBoolean: {
            bool b = false;
            if (!TryParseBooleanText(text, b)) return false;
            value = Variant(b);
            return true;
        }
        case TFieldType::ftDate:
        case TFieldType::ftTime:
        case TFieldType::ftDateTime: {
            TDateTime d = 0;
            const bool ok = type == TFieldType::ftDate   ? TryParseIsoDate(text, d)
                            : type == TFieldType::ftTime ? TryParseIsoTime(text, d)
                                                         : TryParseIsoDateTime(text, d);
            if (!ok) return false;
            value = Variant::FromDate(d);
            return true;
        }
        default:
            value = Variant(AnsiString(text));
            return true;
    }
}

void SetParam(TSQLQuery& query, const TParamSetting& s) {
    std::string formValue;
    const TFieldType type =
        FormValue(query, s.Name, formValue) && !formValue.empty() ? TypeOfText(formValue) : TypeOfText(s.Value);
    Variant value;
    if (!ReadAs(type, s.Value, value))
        throw EUsageError("--param " + s.Given + ": the parameter \"" + s.Name + "\" of " + query.Name() + " takes " +
                          TypeDescription(type) + ", not \"" + s.Value + "\"");
    query.SetParamValue(s.Name, value);
}

std::string ParamList(const std::vector<TSQLQuery*>& queries) {
    std::string list;
    for (TSQLQuery* q : queries)
        for (const std::string& p : q->ParamNames()) list += (list.empty() ? "" : ", ") + q->Name() + "." + p;
    return list.empty() ? "none" : list;
}

void ApplyParam(TComponent& module, const std::vector<TSQLQuery*>& queries, const TParamSetting& s) {
    if (!s.Query.empty()) {
        auto* query = dynamic_cast<TSQLQuery*>(module.FindComponent(s.Query));
        if (!query)
            throw EUsageError("--param " + s.Given + ": the form has no query (TSQLQuery) named \"" + s.Query + "\"");
        if (!HasParam(*query, s.Name))
            throw EUsageError("--param " + s.Given + ": the query " + query->Name() + " has no parameter \"" + s.Name +
                              "\" (its parameters: " + ParamList({query}) + ")");
        SetParam(*query, s);
        return;
    }
    bool found = false;
    for (TSQLQuery* q : queries)
        if (HasParam(*q, s.Name)) {
            SetParam(*q, s);
            found = true;
        }
    if (!found)
        throw EUsageError("--param " + s.Given + ": no query of the form has a parameter \"" + s.Name +
                          "\" (parameters: " + ParamList(queries) + ")");
}

// Splits "NAME=VALUE"; what stands before the first "=" is the name.
bool SplitSetting(const std::string& given, std::string& name, std::string& value) {
    const size_t eq = given.find('=');
    if (eq == std::string::npos) return false;
    name = Trim(given.substr(0, eq));
    value = given.substr(eq + 1);
    return !name.empty();
}

}  // namespace

TParamSetting ParseParamSetting(const std::string& given) {
    TParamSetting s;
    s.Given = given;
    std::string name;
    if (!SplitSetting(given, name, s.Value))
        throw EUsageError("--param " + given + ": expected NAME=VALUE or Query.NAME=VALUE");
    const size_t dot = name.rfind('.');
    s.Name = dot == std::string::npos ? name : name.substr(dot + 1);
    if (dot != std::string::npos) s.Query = name.substr(0, dot);
    if (!IsParamName(s.Name) || (dot != std::string::npos && s.Query.empty()))
        throw EUsageError("--param " + given + ": \"" + name +
                          "\" is no parameter name (letters, digits and _, optionally after Query.)");
    return s;
}

TConnectionSetting ParseConnectionSetting(const std::string& given) {
    TConnectionSetting s;
    // The value is never quoted: it may hold a password.
    if (!SplitSetting(given, s.Connection, s.Value) || Trim(s.Value).empty())
        throw EUsageError("--connection " + given.substr(0, given.find('=')) +
                          ": expected NAME=VALUE (a database file or a connection string)");
    return s;
}

void ApplyParams(TComponent& module, const std::vector<TParamSetting>& settings) {
    const std::vector<TSQLQuery*> queries = ComponentsOf<TSQLQuery>(module);
    for (const TParamSetting& s : settings) ApplyParam(module, queries, s);
}

void ApplyConnections(TComponent& module, const std::vector<TConnectionSetting>& settings) {
    for (const TConnectionSetting& s : settings) {
        TComponent* c = module.FindComponent(s.Connection);
        if (auto* sqlite = dynamic_cast<TSQLiteConnection*>(c)) {
            sqlite->SetDatabase(CommandLineFileName(s.Value));
        } else if (auto* pg = dynamic_cast<TPgConnection*>(c)) {
            RememberConnectionSecrets(s.Value);
            pg->SetConnectionString(s.Value);
        } else {
            std::string names;
            for (TSQLConnection* con : ComponentsOf<TSQLConnection>(module))
                names += (names.empty() ? "" : ", ") + con->Name();
            throw EUsageError("--connection " + s.Connection + ": the form has no connection named \"" + s.Connection +
                              "\" (its connections: " + (names.empty() ? "none" : names) + ")");
        }
    }
    for (TPgConnection* pg : ComponentsOf<TPgConnection>(module)) RememberConnectionSecrets(pg->ConnectionString());
}

}  // namespace tabrix::cli
