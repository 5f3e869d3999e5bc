#pragma once
// The report as PDF: the saved workbook printed by LibreOffice headless.
// The report sheet's print settings from the template (orientation, fit to
// width, print titles) decide the pages.
//
//   TPdfFolder work;                                  // temporary, removed at the end
//   ConvertToPdf(work.Path() + "report.xlsx", "report.pdf", kPdfTimeLimitSeconds);

#include <string>

namespace tabrix::cli {

// A conversion of a report takes a few seconds; one that hangs (a dialog
// LibreOffice waits on, a broken installation) must not hang a nightly job.
inline constexpr int kPdfTimeLimitSeconds = 120;

// A folder of its own in the temporary folder, removed with everything in
// it when the object goes. Path() ends with "/".
class TPdfFolder {
public:
    TPdfFolder();
    ~TPdfFolder();
    TPdfFolder(const TPdfFolder&) = delete;
    TPdfFolder& operator=(const TPdfFolder&) = delete;
    const std::string& Path() const { return FPath; }

private:
    std::string FPath;
};

// True for a name ending in ".pdf", in any letter case.
bool IsPdfFileName(const std::string& fileName);

// Prints the workbook to pdfFile through LibreOffice headless ("soffice" on
// the PATH) with a profile folder of its own, so a running LibreOffice of
// the user is neither used nor disturbed. Raises EInOutError when LibreOffice
// is not installed, does not finish within timeLimitSeconds (it is then
// ended) or writes no PDF; pdfFile is then not touched.
void ConvertToPdf(const std::string& workbook, const std::string& pdfFile, int timeLimitSeconds);

}  // namespace tabrix::cli
