#include "progress/spl_form.h"

#include <cxxabi.h>

#include <cstdio>
#include <cstdlib>
#include <typeinfo>

#include "messages/messages.h"
#include "platform/ui/msgbox.h"
#include "platform/ui/terminal.h"
#include "progress/spl_painter.h"

namespace tabrix {

namespace {

TTabrixSplFrm* gSplForm = nullptr;

// The readable name of an exception's class: "std::bad_alloc".
std::string ClassNameOf(const std::exception& e) {
    const char* mangled = typeid(e).name();
    int status = 0;
    char* name = abi::__cxa_demangle(mangled, nullptr, nullptr, &status);
    std::string result = status == 0 && name ? name : mangled;
    std::free(name);
    return result;
}

}  // namespace

namespace spl_detail {
void SetCurrentSplForm(TTabrixSplFrm* form) { gSplForm = form; }
}  // namespace spl_detail

TTabrixSplFrm* CurrentSplForm() { return gSplForm; }

const TClassInfo& TTabrixSplFrm::StaticClassInfo() {
    static const TClassInfo info = TClassBuilder<TTabrixSplFrm, TForm>("TTabrixSplFrm").Build();
    return info;
}

TTabrixSplFrm::TTabrixSplFrm(TComponent* owner) : TForm(owner) {
    SetCaption(SSplCaption);
    Status.Caption = SSplStatus;
    Done.Caption = SSplDone;
    Time.Caption = SSplTime;
    Speed.Caption = SSplSpeed;
    CancelBtn.Caption = SSplCancel;
    FStartTime = std::chrono::steady_clock::now();
}

// FormDestroy.
TTabrixSplFrm::~TTabrixSplFrm() {
    if (gSplForm == this) gSplForm = nullptr;
}

void TTabrixSplFrm::SetCaption(const std::string& caption) {
    TModalWindow::SetCaption(caption);
    TForm::SetCaption(caption);
}

double TTabrixSplFrm::ElapsedSeconds() const {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - FStartTime).count();
}

void TTabrixSplFrm::SetPainter(std::unique_ptr<TTabrixSplPainter> painter) { FPainter = std::move(painter); }

void TTabrixSplFrm::Repaint(bool force) {
    if (FPainter && Showing()) FPainter->Paint(*this, force);
}

void TTabrixSplFrm::FormShow() {
    FStop = false;
    FResult = false;
    FDone = false;
    Repaint(true);
    // The work starts only once the modal loop runs.
    PostMessage(WM_USER, 0, 0);
}

void TTabrixSplFrm::DoMessage(unsigned msg, intptr_t, intptr_t) {
    if (msg == WM_USER) WMUser();
}

void TTabrixSplFrm::WMUser() {
    ProcessMessages();
    if (FWorkProc) {
        try {
            FResult = FWorkProc();
        } catch (const Exception& e) {
            FError = std::make_unique<ETabrixError>(ExceptionText(e));
        } catch (const std::exception& e) {
            FError = std::make_unique<ETabrixError>(ClassNameOf(e) + ". " + e.what());
        }
    }
    FDone = true;
    if (FPainter) FPainter->Hide(*this);
    Close();
}

void TTabrixSplFrm::CancelClick() {
    if (!FDone && !FStop) AskForAbort();
    Close();
}

bool TTabrixSplFrm::FormCloseQuery() {
    if (!FDone && !FStop) AskForAbort();
    return FDone;
}

void TTabrixSplFrm::AskForAbort() {
    AnsiString saved = StatusValue.Caption;
    StatusValue.Caption = SSplPause;
    Repaint(true);
    TTerminal* terminal = CurrentTerminal();
    if (!terminal || terminal->Closed()) {
        // Only an interrupt (SIGINT) gets here: whoever sent it can't be
        // asked, and taking the question's default (No) would make the
        // work impossible to stop.
        std::fprintf(stderr, "%s\n", SSplStopNoTerminal);
        std::fflush(stderr);
        FStop = true;
    } else {
        if (FPainter) FPainter->Detach();
        TMsgDlgBtn answer = MessageDlg(SSplAskAbort, SSplAskAbortTitle, TMsgDlgType::mtConfirmation,
                                       {TMsgDlgBtn::mbYes, TMsgDlgBtn::mbNo}, TMsgDlgBtn::mbNo);
        FStop = answer == TMsgDlgBtn::mbYes;
    }
    StatusValue.Caption = saved;
    Repaint(true);
}

}  // namespace tabrix
