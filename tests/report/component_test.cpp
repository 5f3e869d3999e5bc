// The component itself: defaults, references and their removal, Assign,
// RaiseError, its form-file form, and the stored template ("XLTemplate")
// with the template file name rules and the temporary files.

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <set>
#include <string>

#include "cells/report_limits.h"
#include "cells/temp_files.h"
#include "messages/messages.h"
#include "platform/classes/formfile.h"
#include "platform/db/db.h"
#include "platform/rtl/files.h"
#include "platform/rtl/format.h"
#include "report/tabrix.h"
#include "tests/report/report_fixture.h"

namespace tabrix {
namespace {

using testing::TReportFolder;

class Component : public TReportFolder {
protected:
    void SetUp() override {
        TReportFolder::SetUp();
        RegisterDbClasses();
        RegisterTabrixClasses();
        Module = std::make_unique<TDataModule>();
        Module->SetName("SalesModule");
        Report = new TTabrix(Module.get());
        Report->SetName("Report");
    }
    // The form text of the module read back into a new module.
    std::unique_ptr<TComponent> RoundTrip(const std::string& text) { return ReadFormText(text, "test.tfm"); }
    static TTabrix* ReportOf(TComponent& module) { return dynamic_cast<TTabrix*>(module.FindComponent("Report")); }
    std::unique_ptr<TDataModule> Module;
    TTabrix* Report = nullptr;
};

TEST_F(Component, Defaults) {
    EXPECT_EQ(Report->FieldSign, '#');
    for (TTabrixOption o : {tbxoShowProgress, tbxoTotalsAsFormula, tbxoVisibleWhenError, tbxoHourCursor})
        EXPECT_TRUE(Report->Options.Contains(o)) << o;
    EXPECT_FALSE(Report->StoreInDFM);
    EXPECT_FALSE(Report->HasStoredTempl());
    EXPECT_EQ(Report->_Version, kTabrixVersion);
    EXPECT_EQ(Report->DataSet(), nullptr);
    EXPECT_EQ(Report->SubReport(), nullptr);
    EXPECT_EQ(Report->Bands()->GetCount(), 0);
    EXPECT_FALSE(Report->Building());
}

TEST_F(Component, SubReportAndDataSetReferences) {
    Report->SetSubReport(Report);
    EXPECT_EQ(Report->SubReport(), nullptr) << "a component can't be its own sub-report";
    auto* next = new TTabrix(Module.get());
    next->SetName("Next");
    auto* orders = new TSQLQuery(Module.get());
    orders->SetName("Orders");
    Report->SetSubReport(next);
    Report->SetDataSet(orders);
    Report->SetSubReport(Report);
    EXPECT_EQ(Report->SubReport(), next) << "the self-reference changes nothing";
    delete next;
    EXPECT_EQ(Report->SubReport(), nullptr);
    delete orders;
    EXPECT_EQ(Report->DataSet(), nullptr);
}

TEST_F(Component, AssignCopiesBandsDataSetTemplateAndTemplSheetOnly) {
    auto* orders = new TSQLQuery(Module.get());
    Report->SetDataSet(orders);
    Report->SetTemplate("sales.xlsx");
    Report->TemplSheet = "Report";
    Report->Title = "Sales";
    Report->FieldSign = '$';
    Report->Bands()->AddBand(tbxbtTitle)->SetRange("A1:C1");
    TTabrix copy(nullptr);
    copy.Assign(Report);
    EXPECT_EQ(copy.DataSet(), orders);
    EXPECT_EQ(copy.Template(), "sales.xlsx");
    EXPECT_EQ(copy.TemplSheet, "Report");
    ASSERT_EQ(copy.Bands()->GetCount(), 1);
    EXPECT_EQ(copy.Bands()->GetItem(0)->Range(), "A1:C1");
    EXPECT_NE(copy.Bands()->GetItem(0), Report->Bands()->GetItem(0)) << "bands copied by content";
    EXPECT_EQ(copy.Title, "");
    EXPECT_EQ(copy.FieldSign, '#');
    copy.SetDataSet(nullptr);

    TStringList notAReport;
    EXPECT_THROW(copy.Assign(&notAReport), EConvertError);
}

TEST_F(Component, RaiseErrorRaisesAtRunTimeAndShowsWhileDesigning) {
    try {
        Report->RaiseError("Wrong range: \"A\". ");
        FAIL() << "no error raised";
    } catch (const ETabrixError& e) {
        EXPECT_EQ(e.Message(), "Wrong range: \"A\". ");
    }
    Report->SetDesigning(true);
    ::testing::internal::CaptureStderr();
    EXPECT_NO_THROW(Report->RaiseError("Wrong range: \"A\". "));
    EXPECT_NE(::testing::internal::GetCapturedStderr().find("Wrong range: \"A\". "), std::string::npos);
}

TEST_F(Component, PublishedPropertiesSurviveTheFormFile) {
    auto* orders = new TSQLQuery(Module.get());
    orders->SetName("Orders");
    auto* next = new TTabrix(Module.get());
    next->SetName("Next");
    Report->SetDataSet(orders);
    Report->SetSubReport(next);
    Report->SetTemplate("sales.xlsx");
    Report->TemplSheet = "Report";
    Report->Title = "Sales by region";
    Report->FieldSign = '$';
    Report->Options.Exclude(tbxoShowProgress);
    Report->Bands()->AddBand(tbxbtMasterData)->SetRange("A3:F3");
    Report->Dictionary()->Add()->SetFieldName("Company");

    std::string text = WriteFormText(*Module);
    EXPECT_NE(text.find("Options = [tbxoTotalsAsFormula, tbxoVisibleWhenError, tbxoHourCursor]"), std::string::npos)
        << text;
    EXPECT_EQ(text.find("HasStoredTempl"), std::string::npos) << "read-only, never streamed";
    EXPECT_EQ(text.find("XLTemplate"), std::string::npos) << "nothing stored, nothing written";

    std::unique_ptr<TComponent> back = RoundTrip(text);
    TTabrix* r = ReportOf(*back);
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(r->DataSet(), back->FindComponent("Orders"));
    EXPECT_EQ(r->SubReport(), back->FindComponent("Next"));
    EXPECT_EQ(r->Template(), "sales.xlsx");
    EXPECT_EQ(r->TemplSheet, "Report");
    EXPECT_EQ(r->Title, "Sales by region");
    EXPECT_EQ(r->FieldSign, '$');
    EXPECT_FALSE(r->Options.Contains(tbxoShowProgress));
    EXPECT_TRUE(r->Options.Contains(tbxoHourCursor));
    ASSERT_EQ(r->Bands()->GetCount(), 1);
    EXPECT_EQ(r->Bands()->GetItem(0)->Range(), "A3:F3");
    ASSERT_EQ(r->Dictionary()->Count(), 1);
    EXPECT_EQ(WriteFormText(*back), text) << "a second round gives the same text";
}

// ---- stored template

TEST_F(Component, StoredTemplateRoundTripsByteForByte) {
    Report->LoadStoredTemplateFromFile(Template);
    EXPECT_TRUE(Report->HasStoredTempl());
    EXPECT_TRUE(Report->StoreInDFM);
    EXPECT_EQ(Report->Template(), "");
    std::string bytes = ReadFileBytes(Template);
    EXPECT_EQ(Report->StoredTemplate(), bytes);

    std::string text = WriteFormText(*Module);
    ASSERT_NE(text.find("XLTemplate = {"), std::string::npos);
    std::unique_ptr<TComponent> back = RoundTrip(text);
    TTabrix* r = ReportOf(*back);
    EXPECT_EQ(r->StoredTemplate(), bytes);
    EXPECT_TRUE(r->StoreInDFM);

    r->SaveStoredTemplateToFile(Folder + "extracted.xlsx");
    EXPECT_EQ(ReadFileBytes(Folder + "extracted.xlsx"), bytes);
}

TEST_F(Component, StoredBlockLayoutIsALittleEndianLengthThenTheBytes) {
    WriteFileBytes(Folder + "three.bin", std::string("\x01\x02\xFF", 3));
    Report->LoadStoredTemplateFromFile(Folder + "three.bin");
    std::string text = WriteFormText(*Module);
    EXPECT_NE(text.find("XLTemplate = {\n      030000000102FF}"), std::string::npos) << text;
}

// A form whose XLTemplate block is given as hex.
std::string FormWithBlock(const std::string& hex) {
    return "object SalesModule: TDataModule\n  object Report: TTabrix\n    XLTemplate = {\n      " + hex +
           "}\n  end\nend\n";
}

TEST_F(Component, EmptyAndTruncatedBlocks) {
    std::unique_ptr<TComponent> zero = RoundTrip(FormWithBlock("00000000"));
    EXPECT_FALSE(ReportOf(*zero)->HasStoredTempl());

    std::unique_ptr<TComponent> ok = RoundTrip(FormWithBlock("02000000ABCD"));
    EXPECT_EQ(ReportOf(*ok)->StoredTemplate(), "\xAB\xCD");

    // The length field says 5 bytes, the block holds 2: an error, and
    // nothing stays stored.
    try {
        RoundTrip(FormWithBlock("05000000ABCD"));
        FAIL() << "a truncated block was accepted";
    } catch (const Exception& e) {
        EXPECT_NE(e.Message().find("holds 2 bytes of a template of 5 bytes"), std::string::npos) << e.Message();
    }
    EXPECT_THROW(RoundTrip(FormWithBlock("0500")), Exception) << "shorter than the length field";
}

TEST_F(Component, InheritedFormWritesTheTemplateOnlyWhenItDiffers) {
    WriteFileBytes(Folder + "a.bin", "AAAA");
    WriteFileBytes(Folder + "b.bin", "AAAB");
    TDataModule ancestor;
    ancestor.SetName("SalesModule");
    auto* base = new TTabrix(&ancestor);
    base->SetName("Report");
    base->LoadStoredTemplateFromFile(Folder + "a.bin");

    Report->LoadStoredTemplateFromFile(Folder + "a.bin");
    EXPECT_EQ(WriteFormText(*Module, &ancestor).find("XLTemplate"), std::string::npos);
    Report->LoadStoredTemplateFromFile(Folder + "b.bin");  // same size, one byte differs
    EXPECT_NE(WriteFormText(*Module, &ancestor).find("XLTemplate"), std::string::npos);
    Report->FreeStoredTemplate();  // nothing against something
    EXPECT_NE(WriteFormText(*Module, &ancestor).find("XLTemplate = {\n      00000000}"), std::string::npos);
}

TEST_F(Component, TemplateChangesAndTheStoredBytes) {
    Report->LoadStoredTemplateFromFile(Template);
    Report->TemplSheet = "Report";
    Report->SetTemplate("other.xlsx");
    EXPECT_FALSE(Report->StoreInDFM);
    EXPECT_EQ(Report->TemplSheet, "") << "a different template forgets the sheet";
    EXPECT_TRUE(Report->HasStoredTempl()) << "the bytes stay";
    EXPECT_NE(WriteFormText(*Module).find("XLTemplate"), std::string::npos) << "and are still streamed";

    Report->TemplSheet = "Report";
    Report->StoreInDFM = true;
    Report->SetTemplate("  other.xlsx ");
    EXPECT_EQ(Report->Template(), "other.xlsx") << "the same name with blanks changes nothing";
    EXPECT_EQ(Report->TemplSheet, "Report");
    EXPECT_TRUE(Report->StoreInDFM);

    Report->FreeStoredTemplate();
    EXPECT_FALSE(Report->HasStoredTempl());
    EXPECT_FALSE(Report->StoreInDFM);
    EXPECT_EQ(WriteFormText(*Module).find("XLTemplate"), std::string::npos);
    Report->StoreInDFM = true;
    Report->FreeStoredTemplate();  // nothing stored: nothing changes
    EXPECT_TRUE(Report->StoreInDFM);
}

TEST_F(Component, AFormThatStoresTheTemplateAndNamesAFileKeepsBoth) {
    Report->LoadStoredTemplateFromFile(Template);
    Report->SetTemplate("other.xlsx");
    Report->TemplSheet = "Report";
    Report->StoreInDFM = true;  // the stored bytes again, the name kept for later
    Report->Bands()->AddBand(tbxbtTitle)->SetRange("A1:F2");
    const std::string text = WriteFormText(*Module);
    ASSERT_LT(text.find("StoreInDFM = True"), text.find("Template = 'other.xlsx'")) << text;

    std::unique_ptr<TComponent> back = RoundTrip(text);
    TTabrix* r = ReportOf(*back);
    EXPECT_TRUE(r->StoreInDFM);
    EXPECT_EQ(r->Template(), "other.xlsx");
    EXPECT_EQ(r->TemplSheet, "Report");
    EXPECT_TRUE(WriteFormText(*back) == text) << "the same form written back";
    // The build takes the stored bytes; other.xlsx does not exist.
    r->Show("Stored.xlsx");
    EXPECT_TRUE(FileExists(Folder + "Stored.xlsx"));

    // Written by hand in another order: what the form says holds, too.
    std::unique_ptr<TComponent> hand = RoundTrip(
        "object SalesModule: TDataModule\n  object Report: TTabrix\n    TemplSheet = 'Notes'\n"
        "    Template = 'other.xlsx'\n  end\nend\n");
    EXPECT_EQ(ReportOf(*hand)->TemplSheet, "Notes");
    // Once loaded, a changed name is a change again.
    r->SetTemplate("third.xlsx");
    EXPECT_FALSE(r->StoreInDFM);
    EXPECT_EQ(r->TemplSheet, "");
}

TEST_F(Component, ATemplateUpToTheLimitIsStoredAndReadBackAndOneByteMoreIsRefused) {
    const std::string big = Folder + "big.xlsx";
    WriteFileBytes(big, "");
    std::filesystem::resize_file(big, kMaxStoredTemplateSize);  // sparse: no disk used
    Report->LoadStoredTemplateFromFile(big);
    std::unique_ptr<TComponent> back = RoundTrip(WriteFormText(*Module));
    EXPECT_EQ(ReportOf(*back)->StoredTemplate().size(), kMaxStoredTemplateSize);
    EXPECT_TRUE(ReportOf(*back)->StoreInDFM);
    back.reset();

    std::filesystem::resize_file(big, kMaxStoredTemplateSize + 1);
    try {
        Report->LoadStoredTemplateFromFile(big);
        FAIL() << "a template beyond the limit was stored";
    } catch (const EReadError& e) {
        EXPECT_EQ(e.Message(), big + ": a template of " + std::to_string(kMaxStoredTemplateSize + 1) +
                                   " bytes is too large to store in a form file (at most " +
                                   std::to_string(kMaxStoredTemplateSize) + " bytes)");
    }
    EXPECT_FALSE(Report->HasStoredTempl()) << "nothing stays stored";
}

TEST_F(Component, LoadingAMissingFileStoresNothing) {
    Report->LoadStoredTemplateFromFile(Template);
    EXPECT_THROW(Report->LoadStoredTemplateFromFile(Folder + "missing.xlsx"), EFOpenError);
    EXPECT_FALSE(Report->HasStoredTempl());
    EXPECT_FALSE(Report->StoreInDFM);
}

TEST_F(Component, TemplateFileNameRules) {
    Report->SetTemplate(" Reports\\Sales.xlsx ");
    EXPECT_EQ(Report->GetTemplateFileName(), Folder + "Reports/Sales.xlsx");
    Report->SetTemplate("\\Sales.xlsx");
    EXPECT_EQ(Report->GetTemplateFileName(), Folder + "Sales.xlsx");
    Report->SetTemplate("C:\\Reports\\Sales.xlsx");
    EXPECT_EQ(Report->GetTemplateFileName(), "C:\\Reports\\Sales.xlsx");
    Report->SetTemplate("\\\\server\\share\\Sales.xlsx");
    EXPECT_EQ(Report->GetTemplateFileName(), "\\\\server\\share\\Sales.xlsx");
    Report->SetTemplate("/srv/Sales.xlsx");
    EXPECT_EQ(Report->GetTemplateFileName(), "/srv/Sales.xlsx");

    Report->StoreInDFM = true;
    try {
        Report->GetTemplateFileName();
        FAIL() << "no error for a missing stored template";
    } catch (const ETabrixError& e) {
        EXPECT_EQ(e.Message(), SNoTemplateInDFM);
    }
    EXPECT_TRUE(TempFiles().empty());

    Report->LoadStoredTemplateFromFile(Template);
    std::string tmp = Report->GetTemplateFileName();
    EXPECT_EQ(ExtractFilePath(tmp), TempDir);
    EXPECT_EQ(ExtractFileName(tmp).rfind("TBR", 0), 0u) << tmp;
    EXPECT_EQ(ExtractFileExt(tmp), ".tmp");
    EXPECT_EQ(ReadFileBytes(tmp), ReadFileBytes(Template));
    EXPECT_TRUE(DeleteFileAt(tmp));

    AnsiString none = "something";
    Report->StoreInDFM = false;
    Report->SaveStoredTemplateToTmpFile(none);
    EXPECT_EQ(none, "") << "not using the stored template: no file";
    EXPECT_TRUE(TempFiles().empty());
}

TEST_F(Component, TemporaryFilesAreNewEmptyPrivateAndUnique) {
    EXPECT_EQ(TabrixGetTempDir(), TempDir);
    std::set<std::string> names;
    for (int i = 0; i < 20; ++i) {
        std::string name = TabrixGetTempFName();
        EXPECT_EQ(ExtractFileName(name).rfind("TBR", 0), 0u);
        EXPECT_TRUE(FileExists(name));
        EXPECT_EQ(std::filesystem::file_size(name), 0u);
        auto perms = std::filesystem::status(name).permissions();
        EXPECT_EQ(perms & (std::filesystem::perms::group_all | std::filesystem::perms::others_all),
                  std::filesystem::perms::none);
        names.insert(name);
    }
    EXPECT_EQ(names.size(), 20u);
    EXPECT_THROW(TabrixGetTempFileName(Folder + "no-such-folder"), EFCreateError);
}

}  // namespace
}  // namespace tabrix
