#pragma once
// Message boxes of the windowing platform, as prompts on the controlling
// terminal. Without a terminal the box takes its default button at once and
// its text goes to standard error, so a batch job never waits for a person.

#include <cstdint>
#include <initializer_list>
#include <string>

namespace tabrix {

enum class TMsgDlgType { mtWarning, mtError, mtInformation, mtConfirmation };

enum class TMsgDlgBtn : uint8_t { mbYes, mbNo, mbOK, mbCancel, mbAbort, mbRetry, mbIgnore };

// A set of buttons, in the fixed order of TMsgDlgBtn whatever order they
// are given in.
class TMsgDlgButtons {
public:
    TMsgDlgButtons(std::initializer_list<TMsgDlgBtn> buttons);
    bool Contains(TMsgDlgBtn button) const { return (FBits & Bit(button)) != 0; }
    bool Empty() const { return FBits == 0; }

private:
    static uint8_t Bit(TMsgDlgBtn b) { return static_cast<uint8_t>(1u << static_cast<unsigned>(b)); }
    uint8_t FBits = 0;
};

// The caption of a button as the prompt shows it ("Yes", "No", "OK", ...).
const char* ButtonCaption(TMsgDlgBtn button);

// Shows text with a caption and the buttons and returns the button chosen.
// defaultButton is taken by Enter, by the end of the terminal's input and
// when there is no terminal; it must be one of the buttons (else the first
// of them is the default). On the terminal a button is chosen by the first
// letter of its caption; Esc chooses Cancel, or No, or the default.
TMsgDlgBtn MessageDlg(const std::string& text, const std::string& caption, TMsgDlgType type, TMsgDlgButtons buttons,
                      TMsgDlgBtn defaultButton);

// An error box with a single OK button (captioned "Error").
void ShowErrorBox(const std::string& text);

}  // namespace tabrix
