#pragma once
// The system's message table (unit TabrixConsts): every text the system
// raises, asserts or shows, exactly as users and callers see it. Placeholders
// are "%s" and "%d" for tabrix::Format; most texts keep a trailing blank
// because callers append further text after them. Nothing else spells these
// texts; change a text here only together with everything that quotes it.

namespace tabrix {

// ---- Report component and the Show driver (ShowOnTemplate, EditTemplate)
// Template file name empty or the file missing; %s = the template file name.
inline constexpr const char* SFileNotExists = "File \"%s\" does not exist. ";
// Copying the template to its working copy failed; %s = the working-copy name.
inline constexpr const char* SErrorCreatingFile = "Error creating file \"%s\"";
// Excel could not be started; %s = the platform's error text.
inline constexpr const char* SErrorCreatingExcelApp = "Error creating Excel application object. %s. ";
// Workbooks.Open of the template failed; %s = file name, %s = error text.
inline constexpr const char* SErrorOpeningTemplate = "Error opening template \"%s\". %s. ";
// The SubReport chain comes back to a component already in it; %s = the
// component that starts the chain, %s = the one met again.
inline constexpr const char* SSubReportCycle =
    "The sub-report chain of \"%s\" comes back to \"%s\": a report cannot build its own sheet again. ";
// Show or BuildSheet called from inside the same component's build (an event
// handler); %s = the component.
inline constexpr const char* SReportAlreadyBuilding =
    "The report \"%s\" is being built already; it cannot be started again from inside its own build. ";

// ---- Report generation loop and row buffer
// A band would end beyond report row 65535 (OutputBand, WriteBufToSheet).
inline constexpr const char* STooManyLines = "Too many lines in the report. Max available number is 65535. ";
// The spreadsheet refused the block written as FormulaLocal; %s = its message.
inline constexpr const char* SErrorWritingData =
    "Error writing report data to the Excel sheet: %s. \r\nMaybe error in formula. ";

// ---- Data set and field resolution
// More than three parts, or a part ending in "."; %s = the whole reference.
inline constexpr const char* SBadFieldName = "Bad field name: %s. ";
// %s = the whole reference, %s = the data set's name.
inline constexpr const char* SFieldNotFoundInTable = "Field \"%s\" not found in table \"%s\". ";
// A user field that neither the dictionary nor OnGetFieldValue supplies.
inline constexpr const char* SFieldNotFoundInTables = "Field \"%s\" not found in tables. ";

// ---- Stored template
inline constexpr const char* SNoTemplateInDFM = "DFM doesn't contain a template. ";

// ---- Bands and the bands collection
// SetFooter / SetFooterBand with a footer of another collection.
inline constexpr const char* SFooterInOtherBands = "Assigned footer band has different Bands property value";
// Reading the streamed bands: more band lists than BandCount says.
inline constexpr const char* SErrorReadingBandsTooMany = "Error reading bands. More bands than expected.";
// Reading the streamed bands; %s = the whole value name read.
inline constexpr const char* SErrorReadingBandsUnknownProp = "Error reading bands. Unknown property name %s.";
// Reading the streamed bands: a BandType value outside the band types, or one
// that the band's class cannot take (a plain band read as a group band);
// %d = the value read.
inline constexpr const char* SErrorReadingBandsWrongType = "Error reading bands. Wrong band type %d.";
// Reading the streamed bands: fewer band lists than BandCount says; %d =
// BandCount, %d = the band lists the form holds.
inline constexpr const char* SErrorReadingBandsTooFew = "Error reading bands. BandCount is %d, but %d bands were read.";
// Reading the streamed bands: counts no band list can match (below 0, or
// more group bands than bands); %d = BandCount, GroupHeaderBandCount,
// GroupFooterBandCount.
inline constexpr const char* SErrorReadingBandsWrongCounts =
    "Error reading bands. Wrong band counts: BandCount = %d, GroupHeaderBandCount = %d, GroupFooterBandCount = %d.";
// Reading the streamed bands: a Range that is no block of cells; %s = the
// band's display name, %s = the Range, %s = why (TabrixRangeFault).
inline constexpr const char* SErrorReadingBandsWrongRange = "Error reading bands. Band %s, Range \"%s\": %s.";
// CalcGroupExpr of a group header with a FieldName while the report has no
// data set; %s = the band's display name, %s = the field name.
inline constexpr const char* SGroupFieldWithoutDataSet =
    "Group band %s takes its value from field \"%s\", but the report has no data set. ";

// ---- Field parser
// %s = the whole text given to SetFieldString, %s = the field sign.
inline constexpr const char* SFieldNameNotDetermined =
    "Cell value (%s) contains field sign (%s), but field name cannot be determined. ";
// %s = the reference's name (function and brackets included).
inline constexpr const char* SFieldLastSymbolBracket = "The last symbol of the field \"%s\" must be a bracket \")\". ";
// %s = the whole name, keyword and brackets included.
inline constexpr const char* SUnknownFunctionName = "Unknown function name: %s. ";

// ---- Template parser and band info
// %s = the band's display name.
inline constexpr const char* SBandRangeEmpty = "Property Range of band %s is empty.";
// %s = display name, %s = the Range; the spreadsheet's own message may follow
// after a CR LF.
inline constexpr const char* SBandWrongRange = "Band %s. Wrong Range value: \"%s\". ";
// %s = display name, %s = the Range, %d = the number of areas.
inline constexpr const char* SBandAreaCount = "Band %s, range %s. Inadmissible range area count (%d). ";
// A value asked for a cell outside the band; %d = row, %d = column.
inline constexpr const char* SCellNotFound = "The cell R%dC%d is not found. This cell has no field. ";
// %s = the band's display name.
inline constexpr const char* SBandNotFound = "The band \"%s\" is not found or the report doesn't contain it. ";

// ---- Totals: accumulators and range formulas
// Assertion in TTabrixBandInfo.GetBandRange.
inline constexpr const char* SBandInfoBadRowIdx = "TTabrixBandInfo.GetBandRange: Bad \"RowIdx\" parameter.";
// GetAccFieldValue found no accumulator; %s = the total's name.
inline constexpr const char* STotalFieldNotFound = "Internal error. The total field \"%s\" is not found. ";
// %s = the English function name (SUM, AVERAGE, ...).
inline constexpr const char* SNoNativeFuncName = "Cannot find a native name of English Excel function %s. ";

// ---- Copy groups (assertions of the planning pass)
inline constexpr const char* SCGHeaderChainLevels =
    "TTabrixCopyGroup.FindHeaderChain: The \"Self\" and \"Group\" parameters have different hierarchy values.";
inline constexpr const char* SCGHeaderChainDone =
    "TTabrixCopyGroup.FindHeaderChain: The \"Self\" header is already outputted.";
inline constexpr const char* SCGHeaderChainDstHeader =
    "TTabrixCopyGroup.FindHeaderChain: The \"Copy to\" item is not a left branch - its header must be completed.";
inline constexpr const char* SCGHeaderChainSrcFooter =
    "TTabrixCopyGroup.FindHeaderChain: The \"Copy from\" item is not a right branch - its footer must be completed.";
inline constexpr const char* SCGHeaderChainMaxLen =
    "TTabrixCopyGroup.FindHeaderChain: The result is more than \"MaxLen\" parameter.";
inline constexpr const char* SCGFooterChainLevels =
    "TTabrixCopyGroup.FindFooterChain: The \"Self\" and \"Group\" parameters have different hierarchy values.";
inline constexpr const char* SCGFooterChainDone =
    "TTabrixCopyGroup.FindFooterChain: The \"Self\" footer is already outputted.";
inline constexpr const char* SCGFooterChainSrcFooter =
    "TTabrixCopyGroup.FindFooterChain: The \"Copy from\" item is not a right branch - its footer must be completed.";
inline constexpr const char* SCGFooterChainDstFooter =
    "TTabrixCopyGroup.FindFooterChain: The \"Copy to\" item must be completed.";
inline constexpr const char* SCGFooterChainDstHeader =
    "TTabrixCopyGroup.FindFooterChain: The \"Copy to\" item is not a left branch - its header must be completed.";
inline constexpr const char* SCGMarkForwTooMany =
    "TTabrixCopyGroup.MarkAsOutputtedForw: Output more children than there are.";
inline constexpr const char* SCGMarkForwWrongNum = "TTabrixCopyGroup.MarkAsOutputtedForw: Wrong \"Num\" parameter.";
inline constexpr const char* SCGMarkBackTooMany =
    "TTabrixCopyGroup.MarkAsOutputtedBack: Output more children than there are.";
inline constexpr const char* SCGMarkBackWrongNum = "TTabrixCopyGroup.MarkAsOutputtedBack: Wrong \"Num\" parameter.";
inline constexpr const char* SCGOutputDetailNotBottom =
    "TTabrixCopyGroup.OutputDetail: The \"Self\" must be a bottom level in the hierarchy of TTabrixCopyGroup objects.";

// ---- Copy manager
// %d = 1 (no level at all), 3 (band on no level), 4 (bad action key digit).
inline constexpr const char* SCopyManagerInternalError = "TTabrix\\TTabrixCopyManager internal error %d. ";

// ---- Cell addresses
// %s = the cell text as passed in (TabrixGetRangeColumn, TabrixGetRangeRow).
inline constexpr const char* SWrongRange = "Wrong range: \"%s\". ";
// %s = the cell text as passed in (TabrixGetRangeRow).
inline constexpr const char* SRowNotDefined = "Row is not defined in range \"%s\". ";
// TabrixGetRange asked for a column that has no one- or two-letter name
// (1..702); %d = the column.
inline constexpr const char* SWrongColumn = "Wrong column number: %d. ";

// ---- Progress window
inline constexpr const char* SSplCaption = "Creating the report";  // design caption
inline constexpr const char* SSplStatus = "Status";
inline constexpr const char* SSplDone = "Processed";
inline constexpr const char* SSplTime = "Time";
inline constexpr const char* SSplSpeed = "Speed";
inline constexpr const char* SSplCancel = "Cancel";
inline constexpr const char* SSplRows = "%d rows";
inline constexpr const char* SSplRowsPerSec = "%d rows/sec";
inline constexpr const char* SSplTimeFormat = "h:mm:ss";
inline constexpr const char* SSplPause = "Pause";
inline constexpr const char* SSplAskAbort = "Do you really want to break the process?";
inline constexpr const char* SSplAskAbortTitle = "Confirmation";
// An interrupt while no terminal can ask the question: the stop is taken as
// confirmed.
inline constexpr const char* SSplStopNoTerminal =
    "Interrupted: there is no terminal to confirm on, so the process is broken off. ";
// Phases reported by the generation loop and the row buffer.
inline constexpr const char* SStatusGettingData = "Getting data";
inline constexpr const char* SStatusCopyingBands = "Copying bands";
inline constexpr const char* SStatusWritingData = "Writing data";

// ---- Field dictionary
// FieldByName found no field; %s = the name asked for.
inline constexpr const char* SDictFieldNotFound = "The field \"%s\" is not found in the dictionary. ";

}  // namespace tabrix
