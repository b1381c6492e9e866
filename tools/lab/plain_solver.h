// The solver written as the plain state-by-state loop, kept to check and to time the
// game's ValueIterate against. Not part of the game.
#ifndef ZANTPIG_LAB_PLAIN_SOLVER_H
#define ZANTPIG_LAB_PLAIN_SOLVER_H

// Fills the global tables prob and option exactly as ValueIterate does, reading every
// neighbour through CalcProb and the tick count before every state, with the same busy
// notice. Returns the number of sweeps.
int PlainValueIterate(void);

#endif
