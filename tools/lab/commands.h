// What the lab's commands share.
#ifndef ZANTPIG_LAB_COMMANDS_H
#define ZANTPIG_LAB_COMMANDS_H

namespace lab {

// Parses a whole decimal number in [0, max].
bool ParseNumber(const char *text, unsigned long long max, unsigned long long *out);

}  // namespace lab

#endif
