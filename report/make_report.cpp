// The sheet build of one report sheet: the per-build objects (template
// parser, row buffer, copy manager) around the output procedure.

#include <algorithm>
#include <memory>

#include "copy/copy_manager.h"
#include "progress/tabrix_spl.h"
#include "report/tabrix.h"
#include "template/templ_parser.h"

namespace tabrix {

namespace {

// Clears the band list when the build derived it from the template: such
// bands live for one build only.
class TDerivedBandsGuard {
public:
    TDerivedBandsGuard(TTabrixBands& bands, bool derived) : FBands(bands), FDerived(derived) {}
    ~TDerivedBandsGuard() {
        if (FDerived) FBands.Clear();
    }
    TDerivedBandsGuard(const TDerivedBandsGuard&) = delete;
    TDerivedBandsGuard& operator=(const TDerivedBandsGuard&) = delete;

private:
    TTabrixBands& FBands;
    bool FDerived;
};

// Points a field of the component at an object owned by MakeReport, and
// clears it when MakeReport ends, however it ends.
template <class T>
class TBuildReference {
public:
    TBuildReference(T*& field, T* value) : FField(field) { FField = value; }
    ~TBuildReference() { FField = nullptr; }
    TBuildReference(const TBuildReference&) = delete;
    TBuildReference& operator=(const TBuildReference&) = delete;

private:
    T*& FField;
};

}  // namespace

void TTabrix::MakeReport() {
    const bool derived = FBands->GetCount() == 0;
    TDerivedBandsGuard derivedBands(*FBands, derived);
    if (derived) SetBandsFromTempl();
    FCurRow = 1;
    FShownBlocks = 0;
    InitBandVars();

    auto parser = std::make_unique<TTabrixTemplParser>(
        *this, *FTemplWorksheet, [this](const void* sender, const AnsiString& fieldName, Variant& value) {
            GetUserFieldValue(sender, fieldName, value);
        });
    TBuildReference parserRef(FTemplParser, parser.get());
    FReportColCount = parser->GetMaxColumn();

    // The report sheet starts as the template sheet's copy: contents,
    // formats, rules, validations and links go, also those beyond the used
    // cells; the rows are rebuilt from the bands.
    FReportWorksheet->Cells().Clear();

    struct TBufferRelease {
        TTabrix* Self;
        ~TBufferRelease() { Self->ReleaseRowBuffer(); }
    } bufferRelease{this};
    FBuffer = TVariantArray2D(1, kTabrixBufferRows, 1, std::max(FReportColCount, 1));
    FBufBands.assign(kTabrixBufferRows, nullptr);
    FBufTemplRows.assign(kTabrixBufferRows, 0);
    FBufRowCount = 0;
    FBufStartRow = 1;

    // Declared after the parser: freed before it.
    auto copyManager = std::make_unique<TTabrixCopyManager>(*FBands, *FTemplWorksheet, *FReportWorksheet);
    TBuildReference copyRef(FCopyManager, copyManager.get());

    if (Options.Contains(tbxoShowProgress))
        TabrixSplDoWork([this] { return OutputReport(); }, Title);
    else
        OutputReport();
}

void TTabrix::ReleaseRowBuffer() {
    FBuffer = TVariantArray2D();
    FBufBands.clear();
    FBufBands.shrink_to_fit();
    FBufTemplRows.clear();
    FBufTemplRows.shrink_to_fit();
    FBufRowCount = 0;
}

void TTabrix::InitBandVars() {
    FGroups.clear();
    FGroupFooters.clear();
    for (int i = 0; i < FBands->GetCount(); ++i) {
        auto* header = dynamic_cast<TTabrixGroupHeaderBand*>(FBands->GetItem(i));
        if (!header) continue;
        TTabrixGroupFooterBand* footer = header->Footer();
        // A header without rows of its own still breaks groups when its
        // footer has rows.
        if (header->RangeIsBlank() && !(footer && !footer->RangeIsBlank())) continue;
        FGroups.push_back({AnsiString(), header});
        FGroupFooters.push_back(footer);
    }
    FMasterDataBand = FBands->GetNotEmptyBand(tbxbtMasterData);
    FDetailHeaderBand = FBands->GetNotEmptyBand(tbxbtDetailHeader);
    FDetailFooterBand = FBands->GetNotEmptyBand(tbxbtDetailFooter);
    FDetailDataBand = FBands->GetNotEmptyBand(tbxbtDetailData);

    FDetailDataSet = nullptr;
    for (TTabrixBand* band : {FDetailHeaderBand, FDetailFooterBand, FDetailDataBand}) {
        if (band) FDetailDataSet = FindDetailDataSetInTempl(band->Range());
        if (FDetailDataSet) break;
    }
}

}  // namespace tabrix
