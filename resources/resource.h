// Identifiers of the menu commands, dialog templates and dialog controls of Zant Pig.
// Shared by zantpig.rc and the game code.
#ifndef ZANTPIG_RESOURCE_H
#define ZANTPIG_RESOURCE_H

// Menu commands (and the accelerator keys that send them).
#define IDM_NEW_GAME 110
#define IDM_RULES 150
#define IDM_STRATEGY_OPTIONS 160
#define IDM_DISPLAY_PROBABILITIES 165
#define IDM_SUGGESTION_MODE 170
#define IDM_ABOUT 180
#define IDM_EXIT 190

// Dialog templates.
#define IDD_OPPONENT 100
#define IDD_START_ORDER 200
#define IDD_RULES 300
#define IDD_STRATEGY 400

// Controls of the opponent dialog. A stored choice is the offset of the selected radio
// button from the first button of its set.
#define IDC_OPPONENT_GROUP 110
#define IDC_COMPUTER 120
#define IDC_HUMAN 121
#define IDC_SKILL_GROUP 130
#define IDC_NEWBIE 140
#define IDC_AMATEUR 141
#define IDC_PRO 142

#endif  // ZANTPIG_RESOURCE_H
