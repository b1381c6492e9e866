// Font faces on the desktop: fontconfig says which file stands for a Windows face name,
// weight and slant, so "Times New Roman" finds its metric-compatible substitute. Linked
// with the desktop's back ends (SDL2, headless); the browser has a table of its own.
#include <fontconfig/fontconfig.h>
#if defined(__GLIBC__)
#include <malloc.h>
#endif
#include <strings.h>

#include <future>
#include <map>
#include <string>
#include <system_error>

#include "internal.h"

// GCC says it builds with AddressSanitizer by a macro, clang by a feature test.
#if defined(__SANITIZE_ADDRESS__)
#define ZANT_LEAK_CHECKER 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define ZANT_LEAK_CHECKER 1
#endif
#endif
#if defined(ZANT_LEAK_CHECKER)
#include <sanitizer/lsan_interface.h>
#endif

namespace zp {
namespace {

// Fontconfig keeps a few bytes of its configuration unreachable for the life of the
// process (once, when it first applies its rules); the leak checker is told to ignore
// what it allocates while matching.
struct IgnoreLeaks {
#if defined(ZANT_LEAK_CHECKER)
  IgnoreLeaks() {
    __lsan_disable();
  }
  ~IgnoreLeaks() {
    __lsan_enable();
  }
#endif
};

// Fontconfig's set-up, begun by PrepareFaces on a thread of its own.
std::future<void> g_setUp;

}  // namespace

// Reading fontconfig's configuration (some sixty files of rules) and its caches takes a
// few milliseconds, which a program with a display spends while it opens the display and
// its first window: the first match waits for it. Without a thread, the first match does
// it all itself.
void PrepareFaces() {
  static bool begun = false;
  if (begun) return;
  begun = true;
#if defined(__GLIBC__)
  // What the set-up allocates (fontconfig's rules and font list, a few hundred KB) goes to
  // the program's one heap: glibc would give the thread a heap of its own, kept for the
  // life of the process although the thread is soon gone. The program has no thread that
  // allocates beside the user-interface one for long, so one heap is all it needs.
  mallopt(M_ARENA_MAX, 1);
#endif
  try {
    g_setUp = std::async(std::launch::async, [] {
      [[maybe_unused]] IgnoreLeaks ignore;
      FcInit();
    });
  } catch (const std::system_error &) {
  }
}

// The file fontconfig offers for a face name, weight and slant (cached: matching is slow).
FaceFile MatchFace(const std::string &name, int weight, bool italic, int pitchAndFamily) {
  if (g_setUp.valid()) g_setUp.get();
  static std::map<std::string, FaceFile> cache;
  std::string key = name + '\n' + std::to_string(weight) + '\n' + (italic ? "i" : "r") + '\n' +
                    std::to_string(pitchAndFamily);
  if (auto it = cache.find(key); it != cache.end()) return it->second;
  FaceFile found;
  [[maybe_unused]] IgnoreLeaks ignore;
  if (FcPattern *pat = FcPatternCreate()) {
    if (!name.empty()) {
      FcPatternAddString(pat, FC_FAMILY, reinterpret_cast<const FcChar8 *>(name.c_str()));
    }
    // Windows' dialog faces are narrow sans faces that fontconfig does not know; Arial's
    // metric twin comes closer to their widths than the generic sans face.
    if (IsDialogFace(name)) {
      FcPatternAddString(pat, FC_FAMILY, reinterpret_cast<const FcChar8 *>("Arial"));
    }
    FcPatternAddString(pat, FC_FAMILY,
                       reinterpret_cast<const FcChar8 *>(GenericFamily(pitchAndFamily)));
    FcPatternAddInteger(pat, FC_WEIGHT, FcWeightFromOpenType(weight > 0 ? weight : FW_NORMAL));
    FcPatternAddInteger(pat, FC_SLANT, italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
    FcPatternAddBool(pat, FC_SCALABLE, FcTrue);
    FcConfigSubstitute(nullptr, pat, FcMatchPattern);
    FcDefaultSubstitute(pat);
    FcResult result = FcResultNoMatch;
    if (FcPattern *match = FcFontMatch(nullptr, pat, &result)) {
      FcChar8 *file = nullptr;
      if (FcPatternGetString(match, FC_FILE, 0, &file) == FcResultMatch && file) {
        found.path = reinterpret_cast<const char *>(file);
      }
      int index = 0;
      if (FcPatternGetInteger(match, FC_INDEX, 0, &index) == FcResultMatch) found.index = index;
      FcPatternDestroy(match);
    }
    FcPatternDestroy(pat);
  }
  cache[key] = found;
  return found;
}

}  // namespace zp
