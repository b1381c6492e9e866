// The dialog procedures: the choice of opponent and skill at each new game, the
// start-order notice, and the rules and strategy texts. Their layouts and texts are in
// the resources; Enter presses the closing button of each, and Escape closes none.
#include "zantpig.h"

#include "resource.h"

// The opponent dialog. It shows the current choice; OK stores it and is the only way
// out. The skill buttons are greyed while a person is chosen, but keep their selection.
INT_PTR CALLBACK OpponentDialogProc(HWND hDwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  static HWND hStaticWnd[3];  // Newbie, Amateur, Pro
  int i;
  (void)lParam;
  switch (message) {
    case WM_INITDIALOG:
      for (i = 0; i < 3; i++) hStaticWnd[i] = GetDlgItem(hDwnd, IDC_NEWBIE + i);
      for (i = 0; i < 3; i++) EnableWindow(hStaticWnd[i], opponent == 1 ? FALSE : TRUE);
      CheckRadioButton(hDwnd, IDC_COMPUTER, IDC_HUMAN, IDC_COMPUTER + opponent);
      CheckRadioButton(hDwnd, IDC_NEWBIE, IDC_PRO, IDC_NEWBIE + complevel);
      return TRUE;  // the focus goes to the first tab stop, OK
    case WM_COMMAND:
      switch (LOWORD(wParam)) {
        case IDOK:
          for (i = 0; i < 2; i++) {
            if (SendDlgItemMessageA(hDwnd, IDC_COMPUTER + i, BM_GETCHECK, 0, 0)) {
              opponent = i;
              break;
            }
          }
          for (i = 0; i < 3; i++) {
            if (SendDlgItemMessageA(hDwnd, IDC_NEWBIE + i, BM_GETCHECK, 0, 0)) {
              complevel = i;
              break;
            }
          }
          EndDialog(hDwnd, 1);
          return TRUE;
        case IDC_HUMAN:
          for (i = 0; i < 3; i++) EnableWindow(hStaticWnd[i], FALSE);
          return FALSE;
        default:  // Computer, a skill button, or Escape: the skills are offered again
          for (i = 0; i < 3; i++) EnableWindow(hStaticWnd[i], TRUE);
          return FALSE;
      }
    default:
      return FALSE;
  }
}

// A dialog whose only button, OK, closes it.
static INT_PTR CloseOnOk(HWND hDwnd, UINT message, WPARAM wParam) {
  switch (message) {
    case WM_INITDIALOG:
      return TRUE;
    case WM_COMMAND:
      if (LOWORD(wParam) == IDOK) {
        EndDialog(hDwnd, 1);
        return TRUE;
      }
      return FALSE;
    default:
      return FALSE;
  }
}

// Who begins: its "Roll" button closes it, and the die is rolled afterwards.
INT_PTR CALLBACK StartDialogProc(HWND hDwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  (void)lParam;
  return CloseOnOk(hDwnd, message, wParam);
}

// The rules of the game.
INT_PTR CALLBACK RulesDialogProc(HWND hDwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  (void)lParam;
  return CloseOnOk(hDwnd, message, wParam);
}

// Strategies for winning, and a rule of thumb that plays nearly as well as the best.
INT_PTR CALLBACK StrategyDialogProc(HWND hDwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  (void)lParam;
  return CloseOnOk(hDwnd, message, wParam);
}
