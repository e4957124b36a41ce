// Colour buttons and the "TVC színek" colour picker, shared by every dialog in which
// the user chooses a TVC colour.
#pragma once

#include <windows.h>

#include <cstdint>

namespace vz {

constexpr int kFirstColourButtonId = 1015;
constexpr int kLastColourButtonId = 1024;

// The bytes (TVC indices) that one dialog's colour buttons show and change: button
// 1015 + i stands for bytes[i]. Each dialog keeps its own.
struct EditedColours {
  uint8_t* bytes = nullptr;
  int count = 0;

  // The byte of a control, or nullptr when the control is not one of its buttons.
  uint8_t* byteOf(int controlId) const {
    const int i = controlId - kFirstColourButtonId;
    return (controlId <= kLastColourButtonId && i >= 0 && i < count) ? bytes + i : nullptr;
  }
};

// The WM_DRAWITEM handler of colour buttons: fills the button with the TVC colour of
// its byte, or with grey 0x7F7F7F while it is disabled; nothing else is drawn.
// Returns false for a control that is not one of the colour buttons.
bool paintColourButton(const DRAWITEMSTRUCT& item, const EditedColours& colours);

// Lets the user click one of the 16 TVC colours; returns its index, or `current`
// when the picker is closed without a click.
int pickTvcColour(HINSTANCE instance, HWND owner, int current);

// Opens the picker for a colour button's byte and stores the choice; true when the
// control is one of the colour buttons.
bool chooseButtonColour(HINSTANCE instance, HWND dialog, int controlId,
                        const EditedColours& colours);

}  // namespace vz
