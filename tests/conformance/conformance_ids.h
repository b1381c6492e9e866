// Identifiers of the conformance tests' own resources (conformance.rc).
#pragma once

#define IDM_NEW 110
#define IDM_PROBABILITIES 165
#define IDM_SUGGESTIONS 170
#define IDM_EXIT 190

#define IDD_CHOICE 100
#define IDD_NOTICE 200

#define IDC_SIDE_GROUP 110
#define IDC_LEFT 120
#define IDC_RIGHT 121
#define IDC_LEVEL_GROUP 130
#define IDC_LOW 140
#define IDC_MIDDLE 141
#define IDC_HIGH 142
