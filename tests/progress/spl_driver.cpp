// A long work procedure under TabrixSplDoWork, for the tests that drive the
// progress window from outside (a real terminal in tmux, a pipe):
//   spl_driver ROWS MICROS_PER_ROW RESULT_FILE [CAPTION]
// writes "result=R rows=N stopped=S" (or "error=TEXT") to RESULT_FILE once
// the window has closed: N is the number of rows done when the work ended.

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "messages/messages.h"
#include "progress/tabrix_spl.h"

int main(int argc, char** argv) {
    if (argc < 4) {
        std::fprintf(stderr, "usage: spl_driver ROWS MICROS_PER_ROW RESULT_FILE [CAPTION]\n");
        return 2;
    }
    int rowCount = std::atoi(argv[1]);
    int micros = std::atoi(argv[2]);
    std::string resultFile = argv[3];
    std::string caption = argc > 4 ? argv[4] : "";

    int rowsDone = 0;
    bool stopped = false;
    std::string outcome;
    try {
        bool result = tabrix::TabrixSplDoWork(
            [&] {
                for (int row = 1; row <= rowCount; ++row) {
                    if (tabrix::TabrixSplIsStop()) {
                        stopped = true;
                        return false;
                    }
                    if (row == rowCount / 2) tabrix::TabrixSplSetStatus(tabrix::SStatusWritingData);
                    ::usleep(static_cast<useconds_t>(micros));
                    rowsDone = row;
                    if (row % 50 == 0) tabrix::TabrixSplSetRecCount(row);
                }
                return true;
            },
            caption);
        outcome = "result=" + std::to_string(result) + " rows=" + std::to_string(rowsDone) +
                  " stopped=" + std::to_string(stopped);
    } catch (const std::exception& e) {
        outcome = std::string("error=") + e.what();
    }
    FILE* f = std::fopen(resultFile.c_str(), "w");
    if (!f) return 1;
    std::fprintf(f, "%s\n", outcome.c_str());
    std::fclose(f);
    return 0;
}
