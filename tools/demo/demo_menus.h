/* The demo's menu bar, keys, dialog and message box (demo_menus.cpp, demo_menus.rc). */
#ifndef ZANT_DEMO_MENUS_H
#define ZANT_DEMO_MENUS_H

#define DEMO_MENU_NAME "DEMOMENU"

#define IDM_DEMO_DIALOG 201
#define IDM_DEMO_MESSAGE 202
#define IDM_DEMO_CHECKED 203
#define IDM_DEMO_GREYED 204
#define IDM_DEMO_TOGGLE 205

#define IDD_DEMO_DIALOG 300
#define IDC_DEMO_GROUP 310
#define IDC_DEMO_RED 320
#define IDC_DEMO_GREEN 321
#define IDC_DEMO_BLUE 322

#ifndef RC_INVOKED
#include <windows.h>

/* The table of the keys shown in the menu texts. */
HACCEL DemoLoadAccelerators(HINSTANCE hInstance);
/* Carries out a command of the menu or its keys and writes what came of it into `status`.
   Returns FALSE for a command that is not the menu's. */
BOOL DemoMenuCommand(HWND hwnd, int id, char *status, int size);
#endif

#endif
