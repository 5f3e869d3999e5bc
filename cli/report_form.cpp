#include "cli/report_form.h"

#include <algorithm>
#include <filesystem>
#include <vector>

#include "cli/console.h"
#include "platform/classes/formfile.h"
#include "platform/db/db.h"
#include "platform/rtl/files.h"

namespace tabrix::cli {

std::string CommandLineFileName(const std::string& name) {
    if (name.empty()) return name;
    return std::filesystem::absolute(std::filesystem::path(name)).lexically_normal().string();
}

TReportForm LoadReportForm(const std::string& formFile, const std::string& reportName) {
    static const bool registered = [] {
        RegisterDbClasses();
        RegisterTabrixClasses();
        return true;
    }();
    (void)registered;

    std::string form = CommandLineFileName(formFile);
    if (!FileExists(form)) throw EFOpenError("Cannot open form file \"" + formFile + "\": no such file");
    SetApplicationFolder(ExtractFilePath(form));

    TReportForm result;
    result.Module = LoadFormFile(form);
    std::vector<TTabrix*> reports;
    for (int i = 0; i < result.Module->ComponentCount(); ++i)
        if (auto* r = dynamic_cast<TTabrix*>(result.Module->Components(i))) reports.push_back(r);

    if (!reportName.empty()) {
        result.Report = dynamic_cast<TTabrix*>(result.Module->FindComponent(reportName));
        if (!result.Report)
            throw EUsageError(formFile + ": there is no report component (TTabrix) named \"" + reportName + "\"");
        return result;
    }
    if (reports.empty()) throw EUsageError(formFile + ": the form holds no report component (TTabrix)");
    // A sub-report builds its sheet inside the report that names it: when
    // only one report is no other's sub-report, that one is meant.
    std::vector<TTabrix*> heads;
    for (TTabrix* r : reports)
        if (std::none_of(reports.begin(), reports.end(), [&](const TTabrix* o) { return o->SubReport() == r; }))
            heads.push_back(r);
    if (heads.size() == 1) reports = heads;
    if (reports.size() > 1) {
        std::string names;
        for (TTabrix* r : reports) names += (names.empty() ? "" : ", ") + r->Name();
        throw EUsageError(formFile + ": the form holds several report components (" + names +
                          "); choose one with --report NAME");
    }
    result.Report = reports.front();
    return result;
}

}  // namespace tabrix::cli
