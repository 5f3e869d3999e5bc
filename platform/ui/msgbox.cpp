#include "platform/ui/msgbox.h"

#include <cctype>
#include <cstdio>
#include <vector>

#include "platform/ui/terminal.h"

namespace tabrix {

namespace {

constexpr TMsgDlgBtn kAllButtons[] = {TMsgDlgBtn::mbYes,    TMsgDlgBtn::mbNo,    TMsgDlgBtn::mbOK,
                                      TMsgDlgBtn::mbCancel, TMsgDlgBtn::mbAbort, TMsgDlgBtn::mbRetry,
                                      TMsgDlgBtn::mbIgnore};

const char* TypeTag(TMsgDlgType type) {
    switch (type) {
        case TMsgDlgType::mtWarning:
            return "Warning";
        case TMsgDlgType::mtError:
            return "Error";
        case TMsgDlgType::mtInformation:
            return "Information";
        case TMsgDlgType::mtConfirmation:
            return "Confirmation";
    }
    return "";
}

std::vector<TMsgDlgBtn> ListOf(const TMsgDlgButtons& buttons) {
    std::vector<TMsgDlgBtn> list;
    for (TMsgDlgBtn b : kAllButtons)
        if (buttons.Contains(b)) list.push_back(b);
    return list;
}

// The button a key press stands for, or none (false).
bool ButtonForKey(char key, const std::vector<TMsgDlgBtn>& list, TMsgDlgBtn defaultButton, TMsgDlgBtn& chosen) {
    if (key == '\r' || key == '\n') {
        chosen = defaultButton;
        return true;
    }
    if (key == 0x1B || key == 0x03) {
        for (TMsgDlgBtn b : {TMsgDlgBtn::mbCancel, TMsgDlgBtn::mbNo})
            for (TMsgDlgBtn have : list)
                if (have == b) {
                    chosen = b;
                    return true;
                }
        chosen = defaultButton;
        return true;
    }
    char lower = static_cast<char>(std::tolower(static_cast<unsigned char>(key)));
    for (TMsgDlgBtn b : list)
        if (std::tolower(static_cast<unsigned char>(ButtonCaption(b)[0])) == lower) {
            chosen = b;
            return true;
        }
    return false;
}

}  // namespace

TMsgDlgButtons::TMsgDlgButtons(std::initializer_list<TMsgDlgBtn> buttons) {
    for (TMsgDlgBtn b : buttons) FBits = static_cast<uint8_t>(FBits | Bit(b));
}

const char* ButtonCaption(TMsgDlgBtn button) {
    switch (button) {
        case TMsgDlgBtn::mbYes:
            return "Yes";
        case TMsgDlgBtn::mbNo:
            return "No";
        case TMsgDlgBtn::mbOK:
            return "OK";
        case TMsgDlgBtn::mbCancel:
            return "Cancel";
        case TMsgDlgBtn::mbAbort:
            return "Abort";
        case TMsgDlgBtn::mbRetry:
            return "Retry";
        case TMsgDlgBtn::mbIgnore:
            return "Ignore";
    }
    return "";
}

TMsgDlgBtn MessageDlg(const std::string& text, const std::string& caption, TMsgDlgType type, TMsgDlgButtons buttons,
                      TMsgDlgBtn defaultButton) {
    if (buttons.Empty()) buttons = TMsgDlgButtons{TMsgDlgBtn::mbOK};
    std::vector<TMsgDlgBtn> list = ListOf(buttons);
    if (!buttons.Contains(defaultButton)) defaultButton = list.front();

    std::string head = "[" + (caption.empty() ? std::string(TypeTag(type)) : caption) + "] " + text;
    TTerminal* term = CurrentTerminal();
    if (!term || term->Closed()) {
        std::fprintf(stderr, "%s\n", head.c_str());
        std::fflush(stderr);
        return defaultButton;
    }

    std::string choices;
    for (TMsgDlgBtn b : list) {
        if (!choices.empty()) choices += "/";
        choices += ButtonCaption(b);
    }
    term->Write(head + "\n" + choices + " [" + ButtonCaption(defaultButton) + "]: ");

    // Single keys in raw mode, so the box behaves the same inside a modal
    // window (already raw) and outside one.
    TRawModeScope raw;
    TMsgDlgBtn chosen = defaultButton;
    for (;;) {
        std::string keys = KeysOf(term->ReadPending(200));
        if (term->Closed()) break;
        bool done = false;
        for (size_t i = 0; i < keys.size() && !done; ++i) done = ButtonForKey(keys[i], list, defaultButton, chosen);
        if (done) break;
    }
    term->Write(std::string(ButtonCaption(chosen)) + "\n");
    return chosen;
}

void ShowErrorBox(const std::string& text) {
    MessageDlg(text, "Error", TMsgDlgType::mtError, {TMsgDlgBtn::mbOK}, TMsgDlgBtn::mbOK);
}

}  // namespace tabrix
