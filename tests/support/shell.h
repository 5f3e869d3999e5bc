#pragma once
// What tests run outside the process: a shell command with its output and
// exit status, and the independent reader (openpyxl) over a written file.
// Header only; for tests (it needs the TABRIX_SOURCE_DIR every test target
// defines).
//
//   tabrix::testing::TShellRun run = tabrix::testing::RunShell("tabrix --version 2>&1");
//   EXPECT_EQ(run.Status, 0) << run.Out;

#include <sys/wait.h>

#include <cstdio>
#include <string>

namespace tabrix::testing {

struct TShellRun {
    int Status = -1;  // the exit status; -1 where it did not start or did not exit normally
    std::string Out;  // standard output (the command adds " 2>&1" for its errors too)
};

inline TShellRun RunShell(const std::string& command) {
    TShellRun run;
    FILE* pipe = ::popen(command.c_str(), "r");
    if (!pipe) return run;
    char buffer[4096];
    while (size_t n = std::fread(buffer, 1, sizeof buffer, pipe)) run.Out.append(buffer, n);
    const int status = ::pclose(pipe);
    run.Status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

// What openpyxl reads from the first sheet of file, "address<TAB>kind<TAB>repr"
// lines (tests/report/read_cells.py), or its error output.
inline std::string ReadCellsWithOpenpyxl(const std::string& file) {
    return RunShell("/usr/bin/python3 '" TABRIX_SOURCE_DIR "/tests/report/read_cells.py' '" + file + "' 2>&1").Out;
}

}  // namespace tabrix::testing
