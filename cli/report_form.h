#pragma once
// What the report verbs share: a form file loaded as a data module of the
// application, and the report component picked from it.

#include <memory>
#include <string>

#include "platform/classes/component.h"
#include "report/tabrix.h"

namespace tabrix::cli {

struct TReportForm {
    std::unique_ptr<TComponent> Module;
    TTabrix* Report = nullptr;  // owned by Module
};

// Loads the form file (relative names in it are taken from its folder,
// which becomes the application folder) and picks the TTabrix component
// named reportName, or the only one when reportName is empty. Raises
// EUsageError when there is no such component or the choice is
// ambiguous.
TReportForm LoadReportForm(const std::string& formFile, const std::string& reportName);

// A file name given on the command line, taken from the current folder
// (not from the application folder, as names inside a form are).
std::string CommandLineFileName(const std::string& name);

}  // namespace tabrix::cli
