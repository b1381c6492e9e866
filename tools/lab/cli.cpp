// What the lab's commands share on the command line.
#include <cerrno>
#include <cstdlib>

#include "commands.h"

namespace lab {

bool ParseNumber(const char *text, unsigned long long max, unsigned long long *out) {
  if (text == nullptr || *text < '0' || *text > '9') return false;
  char *end = nullptr;
  errno = 0;
  unsigned long long value = std::strtoull(text, &end, 10);
  if (errno != 0 || *end != '\0' || value > max) return false;
  *out = value;
  return true;
}

}  // namespace lab
