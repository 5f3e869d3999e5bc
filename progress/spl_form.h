#pragma once
// TTabrixSplFrm: the progress window behind TabrixSplDoWork (tabrix_spl.h).
// A form of the component framework shown modally: its controls are the
// label texts below, drawn by a painter (spl_painter.h); its handlers run
// the protocol of the progress routines. Created and released by
// TabrixSplDoWork only; the unit's current window is CurrentSplForm().

#include <chrono>
#include <memory>

#include "cells/tabrix_error.h"
#include "platform/classes/application.h"
#include "platform/ui/cursor.h"
#include "platform/ui/modal_window.h"
#include "progress/tabrix_spl.h"

namespace tabrix {

class TTabrixSplPainter;

// A text control of the window.
struct TTabrixSplLabel {
    AnsiString Caption;
};

class TTabrixSplFrm : public TForm, public TModalWindow {
    TABRIX_CLASS(TTabrixSplFrm)
public:
    explicit TTabrixSplFrm(TComponent* owner = nullptr);
    ~TTabrixSplFrm() override;  // FormDestroy

    // The window's title (also the form's Caption).
    const std::string& Caption() const { return TModalWindow::Caption(); }
    void SetCaption(const std::string& caption);

    // ---- controls, top to bottom: one row of label and value each
    TTabrixSplLabel Status, StatusValue;
    TTabrixSplLabel Done, DoneValue;
    TTabrixSplLabel Time, TimeValue;
    TTabrixSplLabel Speed, SpeedValue;
    TTabrixSplLabel CancelBtn;
    TCursor Cursor = crDefault;         // of the window
    TCursor PanelCursor = crDefault;    // of paInfo, the panel that fills it
    TCursor CancelCursor = crAppStart;  // the Cancel button keeps its own

    // ---- state
    TTabrixSplWorkProc FWorkProc;
    bool FStop = false;    // the user confirmed the stop
    bool FResult = false;  // what the work procedure returned
    bool FDone = false;    // the work procedure has returned (or failed)
    std::unique_ptr<ETabrixError> FError;
    std::chrono::steady_clock::time_point FStartTime;

    // Seconds since the start time (a steady clock: no jumps of the wall
    // clock reach the speed).
    double ElapsedSeconds() const;

    // ---- handlers
    void FormShow();
    void WMUser();
    void CancelClick();
    bool FormCloseQuery();
    void AskForAbort();

    // Draws the window if it is shown; forced, also when it was drawn a
    // moment ago.
    void Repaint(bool force);
    // The painter (replaced by tests that watch the drawing).
    void SetPainter(std::unique_ptr<TTabrixSplPainter> painter);
    TTabrixSplPainter* Painter() const { return FPainter.get(); }

protected:
    void DoShow() override { FormShow(); }
    void DoMessage(unsigned msg, intptr_t wParam, intptr_t lParam) override;
    bool CloseQuery() override { return FormCloseQuery(); }
    void CancelPressed() override { CancelClick(); }

private:
    std::unique_ptr<TTabrixSplPainter> FPainter;
};

// The window the progress routines work on; null when there is none.
TTabrixSplFrm* CurrentSplForm();

}  // namespace tabrix
