// The demo's menu bar, keys, dialog and message box: "Dialog (D)" opens a dialog with a
// choice of colour, "Message (M)" asks a question in a message box, and the "Options"
// pop-up holds a checked item, a greyed one and a command that toggles the check.
#include "demo_menus.h"

#include <stdio.h>

static const char *const kColours[] = {"Red", "Green", "Blue"};
static int g_colour = 0;  // the colour last chosen in the dialog

static INT_PTR CALLBACK DemoDialogProc(HWND hDlg, UINT message, WPARAM wParam, LPARAM lParam) {
  (void)lParam;
  switch (message) {
    case WM_INITDIALOG:
      CheckRadioButton(hDlg, IDC_DEMO_RED, IDC_DEMO_BLUE, IDC_DEMO_RED + g_colour);
      return TRUE;
    case WM_COMMAND:
      if (LOWORD(wParam) == IDOK) {
        for (int i = 0; i < 3; i++) {
          if (IsDlgButtonChecked(hDlg, IDC_DEMO_RED + i) == BST_CHECKED) g_colour = i;
        }
        EndDialog(hDlg, IDOK);
        return TRUE;
      }
      return FALSE;
  }
  return FALSE;
}

HACCEL DemoLoadAccelerators(HINSTANCE hInstance) {
  return LoadAcceleratorsA(hInstance, DEMO_MENU_NAME);
}

BOOL DemoMenuCommand(HWND hwnd, int id, char *status, int size) {
  HMENU menu = GetMenu(hwnd);
  switch (id) {
    case IDM_DEMO_DIALOG:
      DialogBoxParamA(GetModuleHandleA(NULL), MAKEINTRESOURCEA(IDD_DEMO_DIALOG), hwnd,
                      DemoDialogProc, 0);
      snprintf(status, (size_t)size, "Dialog: %s", kColours[g_colour]);
      return TRUE;
    case IDM_DEMO_MESSAGE: {
      int answer = MessageBoxA(
          NULL, "A message box of the layer.\n\nIt has an icon, a text\nand two buttons.",
          "Demo Message", MB_ICONINFORMATION | MB_YESNO);
      snprintf(status, (size_t)size, "Message: %s", answer == IDYES ? "Yes" : "No");
      return TRUE;
    }
    case IDM_DEMO_TOGGLE: {
      BOOL wasChecked = (GetMenuState(menu, IDM_DEMO_CHECKED, MF_BYCOMMAND) & MF_CHECKED) != 0;
      CheckMenuItem(menu, IDM_DEMO_CHECKED,
                    MF_BYCOMMAND | (wasChecked ? MF_UNCHECKED : MF_CHECKED));
      snprintf(status, (size_t)size, "Check: %s", wasChecked ? "off" : "on");
      return TRUE;
    }
    case IDM_DEMO_CHECKED:
      snprintf(status, (size_t)size, "Checked item");
      return TRUE;
    case IDM_DEMO_GREYED:
      snprintf(status, (size_t)size, "Greyed item (never)");
      return TRUE;
  }
  return FALSE;
}
