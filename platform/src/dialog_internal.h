// Inside the dialog manager: what DialogBoxParamA and MessageBoxA share (dialog.cpp).
#pragma once

#include <string>

#include "internal.h"

namespace zp {

// The dialog window class (also the message box's).
inline constexpr char kDialogClass[] = "#32770";

// The dialog base units of a font: the average width of the letters and the line height.
SIZE DialogBaseUnits(HFONT font);

// A hidden dialog window at `windowRect` (screen coordinates), owned by `owner`'s top-level
// window, with `font` for itself and its controls (deleted with the dialog when `ownsFont`).
HWND MakeDialogWindow(const char *className, const char *title, DWORD style, DWORD exStyle,
                      const RECT &windowRect, HWND owner, HFONT font, bool ownsFont,
                      HINSTANCE instance);
// A control of a dialog, in the dialog's client coordinates (pixels), with the dialog's font.
HWND AddDialogControl(HWND dialog, const char *className, const char *text, DWORD style,
                      DWORD exStyle, const RECT &rect, UINT id, HINSTANCE instance);
// The dialog is a message box (which a reader announces as an alert).
void MarkMessageBox(HWND box);
// Runs a dialog made by MakeDialogWindow: disables the owner, sends WM_INITDIALOG to `proc`,
// shows the dialog, runs the modal loop until EndDialog, and destroys the dialog.
// Returns the value given to EndDialog.
INT_PTR RunModalDialog(HWND dialog, HWND owner, DLGPROC proc, LPARAM param);

}  // namespace zp
