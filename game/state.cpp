// The state of a game of Pig: scores, the player to move, who the opponent is, and the
// switches of the probability display. Everything here lives for the whole run.
#include "zantpig.h"

int goal = 100;
int goal2 = 10000;
int opponent = 0;
int complevel = 0;
int score[2] = {0, 0};
int scoretemp = 0;
int activeplayer = 0;
int winner[2] = {0, 1};
const char *winmessage[3] = {"Player 1", "Computer", "Player 2"};
int quitflag = 1;
int okbutton = 0;
int allocated = 0;
int showprob = 0;
int suggestion = 0;
int computercount = 0;
int computerlimit = 0;
