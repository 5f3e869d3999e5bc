// The progress routines: what the build calls, on the unit's current window.

#include "progress/tabrix_spl.h"

#include <cmath>
#include <limits>

#include "messages/messages.h"
#include "platform/rtl/datetime.h"
#include "platform/rtl/format.h"
#include "platform/ui/cursor.h"
#include "platform/ui/modal_window.h"
#include "progress/spl_form.h"
#include "progress/spl_painter.h"

namespace tabrix {

namespace spl_detail {
void SetCurrentSplForm(TTabrixSplFrm* form);
}  // namespace spl_detail

namespace {

constexpr double kSecondsPerDay = 24.0 * 60.0 * 60.0;

// A speed beyond the 32-bit range (a count after a few nanoseconds) is
// shown as the largest one, not as whatever the conversion makes of it.
int32_t RowsPerSecond(int32_t count, double seconds) {
    if (!(seconds > 0)) return 0;
    double speed = std::nearbyint(static_cast<double>(count) / seconds);  // halves to even
    if (speed >= static_cast<double>(std::numeric_limits<int32_t>::max())) return std::numeric_limits<int32_t>::max();
    if (speed <= static_cast<double>(std::numeric_limits<int32_t>::min())) return std::numeric_limits<int32_t>::min();
    return static_cast<int32_t>(speed);
}

// Puts the window that ran before back when a nested run ends, and releases
// this run's window in every case.
class TSplRunGuard {
public:
    TSplRunGuard(std::unique_ptr<TTabrixSplFrm>& form, TTabrixSplFrm* previous) : FForm(form), FPrevious(previous) {}
    ~TSplRunGuard() {
        if (FPrevious) {
            spl_detail::SetCurrentSplForm(FPrevious);
            if (FPrevious->Painter()) FPrevious->Painter()->Detach();
        }
        TModalWindow::Release(std::move(FForm));
    }
    TSplRunGuard(const TSplRunGuard&) = delete;
    TSplRunGuard& operator=(const TSplRunGuard&) = delete;

private:
    std::unique_ptr<TTabrixSplFrm>& FForm;
    TTabrixSplFrm* FPrevious;
};

}  // namespace

TTabrixSplCountTexts TabrixSplCountTexts(int32_t count, double elapsedDays) {
    TTabrixSplCountTexts texts;
    texts.DoneValue = Format(SSplRows, {count});
    texts.TimeValue = FormatDateTime(SSplTimeFormat, elapsedDays);
    double seconds = (elapsedDays - std::floor(elapsedDays)) * kSecondsPerDay;
    texts.SpeedValue = Format(SSplRowsPerSec, {RowsPerSecond(count, seconds)});
    return texts;
}

bool TabrixSplDoWork(const TTabrixSplWorkProc& workProc, const AnsiString& caption) {
    TTabrixSplFrm* previous = CurrentSplForm();
    auto form = std::make_unique<TTabrixSplFrm>();
    TSplRunGuard guard(form, previous);
    spl_detail::SetCurrentSplForm(form.get());

    form->Status.Caption = SSplStatus;
    form->StatusValue.Caption = SStatusGettingData;
    form->Done.Caption = SSplDone;
    form->Time.Caption = SSplTime;
    form->Speed.Caption = SSplSpeed;
    form->FError.reset();
    form->FWorkProc = workProc;
    form->SetCaption(caption);
    form->FStartTime = std::chrono::steady_clock::now();
    // An hour-glass set by the component stays visible over the window.
    form->Cursor = Screen().Cursor();
    form->PanelCursor = Screen().Cursor();
    form->SetPainter(NewSplPainter());

    form->ShowModal();
    if (form->FError) throw ETabrixError(form->FError->Message());
    return form->FResult;
}

void TabrixSplSetRecCount(int32_t count) {
    TTabrixSplFrm* form = CurrentSplForm();
    if (!form) return;
    TTabrixSplCountTexts texts = TabrixSplCountTexts(count, form->ElapsedSeconds() / kSecondsPerDay);
    form->DoneValue.Caption = std::move(texts.DoneValue);
    form->TimeValue.Caption = std::move(texts.TimeValue);
    form->SpeedValue.Caption = std::move(texts.SpeedValue);
    form->Repaint(false);
    ProcessMessages();
}

void TabrixSplSetStatus(const AnsiString& text) {
    TTabrixSplFrm* form = CurrentSplForm();
    if (!form) return;
    form->StatusValue.Caption = text;
    form->Repaint(true);
    ProcessMessages();
}

bool TabrixSplIsStop() {
    TTabrixSplFrm* form = CurrentSplForm();
    if (!form) return false;
    bool stop = form->FStop;
    ProcessMessages();
    return stop;
}

}  // namespace tabrix
