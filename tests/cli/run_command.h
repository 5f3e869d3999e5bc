#pragma once
// The tabrix command run as a user runs it, in a folder of its own holding
// a copy of the example (form, SQLite database, template), with standard
// output and standard error kept apart.

#include <string>
#include <vector>

#include "platform/rtl/files.h"
#include "tests/report/report_fixture.h"
#include "tests/support/shell.h"

namespace tabrix::testing {

struct TCommandRun {
    int Status = -1;
    std::string Out;  // standard output
    std::string Err;  // standard error
};

class TExampleFolder : public TExampleCopyFolder {
protected:
    // Runs `tabrix ARGS` in Folder with TMPDIR set to the test's temporary folder.
    TCommandRun Tabrix(const std::string& args) {
        return Shell("TMPDIR='" + TempDir + "' '" + TABRIX_EXE + "' " + args);
    }

    TCommandRun Shell(const std::string& command) {
        const std::string errFile = Folder + "stderr.txt";
        const std::string cmd = "cd '" + Folder + "' && " + command + " 2>'" + errFile + "' </dev/null";
        const TShellRun shell = RunShell(cmd);
        TCommandRun run;
        run.Status = shell.Status;
        run.Out = shell.Out;
        run.Err = ReadFileBytes(errFile);
        return run;
    }

    // The numbers in column A of the built Report sheet below the title:
    // the order ids of the report.
    std::vector<std::string> OrderIds(const std::string& file) {
        std::vector<std::string> ids;
        for (const std::string& cell : SheetDump(file, "Report")) {
            if (cell.find(":1=10") == std::string::npos) continue;
            const std::string value = cell.substr(cell.find('=') + 1);
            if (value.size() == 4 && value[0] == '1' && value[1] == '0') ids.push_back(value);
        }
        return ids;
    }
};

}  // namespace tabrix::testing
