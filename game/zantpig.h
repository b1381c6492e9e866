// Zant Pig: the contract of the game module.
//
// Every program-wide variable and every function that crosses a file boundary is
// declared here, in sections named after the file that defines it. The game is plain
// procedural code over these globals, on the one user-interface thread.
#ifndef ZANTPIG_H
#define ZANTPIG_H

#include <windows.h>

// Internal commands the main window posts to itself as WM_COMMAND (low word of wParam).
#define CMD_SOLVE_TABLES 100
#define CMD_AWAIT_MOVE 120
#define CMD_BANK_TURN 130
#define CMD_FLUSH_INPUT 140

// ---------------------------------------------------------------------------------
// game/state.cpp: the state of a game of Pig
// ---------------------------------------------------------------------------------
extern int goal;                   // score that wins, and the size of each table dimension
extern int goal2;                  // goal * goal: stride of the first table index
extern int opponent;               // 0 = the computer, 1 = a second person
extern int complevel;              // 0 = Newbie, 1 = Amateur, 2 = Pro
extern int score[2];               // banked score of player 0 and player 1
extern int scoretemp;              // turn total of the player to move
extern int activeplayer;           // index of the player to move
extern int winner[2];              // index into winmessage naming each player
extern const char *winmessage[3];  // "Player 1", "Computer", "Player 2"
extern int quitflag;               // 1 = no game is running
extern int okbutton;               // 1 = the next Roll, Hold or Quit click is acted on
extern int allocated;              // 1 = the probability tables exist
extern int showprob;               // 1 = the win probability is shown to a person to move
extern int suggestion;             // 1 = the probability is coloured by the best action
extern int computercount;          // rolls the Newbie computer has decided this turn
extern int computerlimit;          // rolls the Newbie computer makes this turn before holding

// ---------------------------------------------------------------------------------
// game/random.cpp: the random source
// ---------------------------------------------------------------------------------
void ZantSeed(unsigned int seed);  // seed the generator (the low 32 bits of the state)
int lrand(void);                   // next draw, 0 .. 2^31 - 1
double ZantRandom(void);           // 0 <= r < 1, from two draws
double Round(double r);            // whole number, halves upward

// ---------------------------------------------------------------------------------
// game/dice.cpp: the die and its tumbling animation
// ---------------------------------------------------------------------------------
int Start(void);  // start-order roll: the player who begins, 0 or 1
int Roll(void);   // disables the buttons, rolls with animation, returns the face
void NewbieLimitDraw(void);

// ---------------------------------------------------------------------------------
// game/controller.cpp: the main window procedure
// ---------------------------------------------------------------------------------
LRESULT CALLBACK MainWindowProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);

// ---------------------------------------------------------------------------------
// strategy/tables.cpp: win-probability tables
// ---------------------------------------------------------------------------------
extern float *prob;            // goal * goal2 win probabilities, index i*goal2 + j*goal + k
extern unsigned char *option;  // best action per state: 1 = roll, 0 = hold
int Allocate(void);            // 0 when both tables exist and are zero, 1 otherwise
float CalcProb(int i, int j, int k);

// ---------------------------------------------------------------------------------
// strategy/solver.cpp: value iteration
// ---------------------------------------------------------------------------------
extern int sweepcount;  // sweeps the last ValueIterate took
float FMax(float a, float b);
void ValueIterate(void);

// ---------------------------------------------------------------------------------
// strategy/computer.cpp: the computer player
// ---------------------------------------------------------------------------------
int Computer(void);  // posts a simulated Roll (returns 0) or Hold (returns 1) click

// ---------------------------------------------------------------------------------
// display/surfaces.cpp: drawing surfaces and layout
// ---------------------------------------------------------------------------------
extern HDC g_hdc;         // the main window's client area
extern HDC g_vhdc;        // the off-screen image, 600 x 400
extern HDC g_bkgdhdc;     // the table-top picture, until the busy look ends
extern HDC g_headershdc;  // the header tiles
extern HDC g_dicehdc;     // the dice tiles
extern HFONT g_hFont;     // the one font
extern RECT erase[5];     // text cells of the score board
extern const COLORREF framecolour, warningcolour, successcolour, holdcolour;
void BuildSurfaces(HWND hWnd);
void CreateDisplay(void);
void ShowDrawing(void);  // puts what was drawn on the screen before a pause
void EraseDie(void);
void EndBusyLook(void);
void PaintWindow(HWND hWnd);
void ReleaseSurfaces(HWND hWnd);

// ---------------------------------------------------------------------------------
// display/panels.cpp: score, header, message and probability panels
// ---------------------------------------------------------------------------------
void TotalScoreDisplay(int index);
void TurnScoreDisplay(int index);
void HeaderDisplay(int index);
void MessageDisplay(int index);
void ProbDisplay(void);

// ---------------------------------------------------------------------------------
// shell/startup.cpp: entry, window classes, message loop
// ---------------------------------------------------------------------------------
extern HINSTANCE g_hInstance;
extern HWND g_hWnd;
extern HWND g_hBWnd1, g_hBWnd2, g_hBWnd3;                   // Roll, Hold, Quit
extern LPARAM buttonhandle1, buttonhandle2, buttonhandle3;  // the same, as lParam values
extern HACCEL g_hAccel;
extern int xscreen, yscreen;
extern int oksplash;
int InitWindowClass(HINSTANCE hInstance);
int CreateMainWindow(HINSTANCE hInstance, int nCmdShow);
unsigned int ProgramDriver(void);

// ---------------------------------------------------------------------------------
// shell/splash.cpp: the closing splash
// ---------------------------------------------------------------------------------
extern HDC g_vsplashhdc;
int Splash(HWND hWnd);
LRESULT CALLBACK SplashWindowProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);

// ---------------------------------------------------------------------------------
// shell/dialogs.cpp: dialog procedures
// ---------------------------------------------------------------------------------
INT_PTR CALLBACK OpponentDialogProc(HWND hDwnd, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK StartDialogProc(HWND hDwnd, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK RulesDialogProc(HWND hDwnd, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK StrategyDialogProc(HWND hDwnd, UINT message, WPARAM wParam, LPARAM lParam);

#endif  // ZANTPIG_H
