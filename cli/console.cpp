#include "cli/console.h"

#include <cstdio>

namespace tabrix::cli {

namespace {
bool quietMode = false;
}

void SetQuiet(bool quiet) { quietMode = quiet; }
bool Quiet() { return quietMode; }

void Note(const std::string& text) {
    if (quietMode) return;
    std::fprintf(stderr, "%s\n", text.c_str());
}

void ResultFile(const std::string& fileName) {
    std::fprintf(stdout, "%s\n", fileName.c_str());
    std::fflush(stdout);
}

}  // namespace tabrix::cli
