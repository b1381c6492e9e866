// Identifiers of the menu and dialog tests' own resources (menu_dialog.rc).
#pragma once

#define IDM_FIRST 110
#define IDM_SECOND 150
#define IDM_OPTION_A 160
#define IDM_OPTION_B 165
#define IDM_OPTION_C 170
#define IDM_DEEP 175
#define IDM_LAST 190
#define IDM_CTRL_Q 201
#define IDM_CTRL_SHIFT_Z 202
#define IDM_ALT_X 203
#define IDM_CHAR_PLUS 204

#define IDD_CHOOSE 100
#define IDD_PLAIN 300
#define IDD_OLD_STYLE 400
#define IDD_TWO_BUTTONS 500

#define IDC_GROUP_ONE 110
#define IDC_ONE_A 120
#define IDC_ONE_B 121
#define IDC_GROUP_TWO 130
#define IDC_TWO_A 140
#define IDC_TWO_B 141
#define IDC_TWO_C 142
#define IDC_OTHER 150
