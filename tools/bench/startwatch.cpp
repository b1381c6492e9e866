// zantpig-startwatch: starts the game once on an X display and watches it from outside, as
// a user would: when its window appears, when the table top is first drawn (tinted while
// the tables are solved) and when it shows untinted, the moment the game is ready. Then it
// reads the process's peak resident memory and its mapped files, ends the game and prints
// one line of figures.
//
//   zantpig-startwatch --table table.bmp [--evict FILE] [--maps-out FILE] [--settle MS]
//                      [--timeout MS] -- program [args...]
//
//   --evict FILE     before the start, drops the files listed in FILE (one path a line)
//                    from the page cache, as far as no other process holds them
//   --maps-out FILE  writes the files the game has mapped, one a line (input for --evict)
//   --settle MS      how long the game runs on after it is ready before the memory is
//                    read (default 300)
//   --idle MS        then leaves the game alone for MS and counts how often it woke up
//                    meanwhile: its threads' voluntary context switches (a thread that
//                    sleeps until something comes makes one each time it wakes)
//
// Output: ready_ms=.. window_ms=.. drawn_ms=.. hwm_kb=.. rss_kb=.. gl=yes|no llvm=yes|no
//         class=<the window's WM_CLASS class, which desktops match to a desktop entry>
//         cpu_ms=<processor time the game used, user and system> [idle_ms=.. idle_wakeups=..]
// Exit code 0 when the game became ready, 1 otherwise.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace {

constexpr int kTableW = 300;
constexpr int kTableH = 400;

double NowMs() {
  timespec ts;
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return ts.tv_sec * 1e3 + ts.tv_nsec / 1e6;
}

// The table top as 0xRRGGBB rows, plain and in the tint it has while the game is busy
// (red removed, blue cut to its four high bits).
struct Table {
  std::vector<uint32_t> plain, tinted;
};

std::optional<Table> LoadTable(const std::string &path) {
  std::ifstream in(path, std::ios::binary);
  std::vector<uint8_t> b{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  auto le = [&](size_t at, int n) {
    uint32_t v = 0;
    for (int i = n - 1; i >= 0; --i) v = (v << 8) | b[at + i];
    return v;
  };
  if (b.size() < 54 || b[0] != 'B' || b[1] != 'M') return std::nullopt;
  size_t offset = le(10, 4);
  int w = static_cast<int32_t>(le(18, 4)), h = static_cast<int32_t>(le(22, 4));
  if (w != kTableW || h != kTableH || le(28, 2) != 24) return std::nullopt;
  size_t stride = (w * 3 + 3) & ~3;
  if (offset + stride * h > b.size()) return std::nullopt;
  Table t;
  for (int y = 0; y < h; ++y) {
    const uint8_t *row = &b[offset + stride * (h - 1 - y)];
    for (int x = 0; x < w; ++x) {
      uint32_t blue = row[3 * x], green = row[3 * x + 1], red = row[3 * x + 2];
      t.plain.push_back(red << 16 | green << 8 | blue);
      t.tinted.push_back(green << 8 | (blue & 0xF0));
    }
  }
  return t;
}

int IgnoreXErrors(Display *, XErrorEvent *) {
  return 0;  // a window may go away between finding and reading it
}

// The largest viewable top-level window of the process.
Window FindWindow(Display *d, pid_t pid, Atom netWmPid) {
  Window root = DefaultRootWindow(d), parent = 0, *children = nullptr, best = 0;
  unsigned count = 0;
  long bestArea = 0;
  if (!XQueryTree(d, root, &root, &parent, &children, &count)) return 0;
  for (unsigned i = 0; i < count; ++i) {
    Atom type;
    int format;
    unsigned long items, after;
    unsigned char *data = nullptr;
    if (XGetWindowProperty(d, children[i], netWmPid, 0, 1, False, XA_CARDINAL, &type, &format,
                           &items, &after, &data) != Success ||
        !data)
      continue;
    long owner = items == 1 ? *reinterpret_cast<long *>(data) : -1;
    XFree(data);
    XWindowAttributes a;
    if (owner != pid || !XGetWindowAttributes(d, children[i], &a) || a.map_state != IsViewable)
      continue;
    if (long(a.width) * a.height > bestArea) {
      bestArea = long(a.width) * a.height;
      best = children[i];
    }
  }
  if (children) XFree(children);
  return best;
}

enum class Shown { Nothing, Tinted, Plain };

// What the window shows of the table top: it sits at the left edge of the client area,
// below a menu bar whose height the watcher does not assume. `foundTop` receives the row
// where it was found.
Shown LookAtTable(Display *d, Window w, const Table &t, int *foundTop) {
  XWindowAttributes a;
  if (!XGetWindowAttributes(d, w, &a) || a.width < kTableW || a.height < kTableH)
    return Shown::Nothing;
  XImage *img = XGetImage(d, w, 0, 0, kTableW, a.height, AllPlanes, ZPixmap);
  if (!img) return Shown::Nothing;
  auto rowMatches = [&](int y, const uint32_t *want) {
    if (img->bits_per_pixel == 32 && img->red_mask == 0xFF0000 && img->blue_mask == 0xFF) {
      auto *row = reinterpret_cast<const uint32_t *>(img->data + size_t(y) * img->bytes_per_line);
      for (int x = 0; x < kTableW; ++x)
        if ((row[x] & 0xFFFFFF) != want[x]) return false;
      return true;
    }
    for (int x = 0; x < kTableW; ++x)
      if ((XGetPixel(img, x, y) & 0xFFFFFF) != want[x]) return false;
    return true;
  };
  const std::pair<const std::vector<uint32_t> *, Shown> kinds[] = {{&t.plain, Shown::Plain},
                                                                   {&t.tinted, Shown::Tinted}};
  Shown shown = Shown::Nothing;
  for (int top = 0; top + kTableH <= a.height && shown == Shown::Nothing; ++top) {
    for (auto [rows, kind] : kinds) {
      bool all = true;
      for (int y = 0; y < kTableH && all; ++y) all = rowMatches(top + y, &(*rows)[y * kTableW]);
      if (all) {
        shown = kind;
        *foundTop = top;
        break;
      }
    }
  }
  XDestroyImage(img);
  return shown;
}

// A quick look at the table top found at row `top`: a narrow band down its middle, fetched
// in one request, is untinted. A whole picture every poll would take the X server and this
// watcher half a megabyte a time, on a machine whose other core the game needs; the full
// look (LookAtTable) confirms what this one sees.
bool LooksPlain(Display *d, Window w, const Table &t, int top) {
  constexpr int kBandX = kTableW / 2 - 4, kBandW = 8;
  XImage *img = XGetImage(d, w, kBandX, top, kBandW, kTableH, AllPlanes, ZPixmap);
  if (!img) return false;
  bool same = true;
  for (int y = 0; y < kTableH && same; ++y)
    for (int x = 0; x < kBandW && same; ++x)
      same = (XGetPixel(img, x, y) & 0xFFFFFF) == t.plain[y * kTableW + kBandX + x];
  XDestroyImage(img);
  return same;
}

std::string WindowClass(Display *d, Window w) {
  XClassHint hint{};
  if (!XGetClassHint(d, w, &hint)) return "-";
  std::string name = hint.res_class ? hint.res_class : "-";
  if (hint.res_name) XFree(hint.res_name);
  if (hint.res_class) XFree(hint.res_class);
  return name;
}

std::string ReadFile(const std::string &path) {
  std::ifstream in(path);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

long StatusKb(const std::string &status, const char *field) {
  size_t at = status.find(field);
  return at == std::string::npos ? -1 : std::atol(status.c_str() + at + std::strlen(field));
}

std::set<std::string> MappedFiles(pid_t pid) {
  std::set<std::string> files;
  std::ifstream maps("/proc/" + std::to_string(pid) + "/maps");
  std::string line;
  while (std::getline(maps, line)) {
    size_t slash = line.find('/');
    if (slash != std::string::npos && line.find(" (deleted)") == std::string::npos)
      files.insert(line.substr(slash));
  }
  return files;
}

void Evict(const std::string &list) {
  std::ifstream in(list);
  std::string path;
  while (std::getline(in, path)) {
    int fd = open(path.c_str(), O_RDONLY);
    if (fd < 0) continue;
    posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED);
    close(fd);
  }
}

// The voluntary context switches of all the process's threads so far.
long VoluntarySwitches(pid_t pid) {
  std::string tasks = "/proc/" + std::to_string(pid) + "/task";
  long sum = 0;
  if (DIR *dir = opendir(tasks.c_str())) {
    while (dirent *e = readdir(dir)) {
      if (e->d_name[0] == '.') continue;
      long n = StatusKb(ReadFile(tasks + "/" + e->d_name + "/status"), "voluntary_ctxt_switches:");
      if (n > 0) sum += n;
    }
    closedir(dir);
  }
  return sum;
}

int Usage() {
  std::fprintf(stderr,
               "usage: zantpig-startwatch --table table.bmp [--evict FILE] [--maps-out FILE]\n"
               "                          [--settle MS] [--idle MS] [--timeout MS] -- program "
               "[args...]\n");
  return 2;
}

}  // namespace

int main(int argc, char **argv) {
  std::string tablePath, evictList, mapsOut;
  int settleMs = 300, idleMs = 0, timeoutMs = 20000;
  int i = 1;
  for (; i < argc; ++i) {
    std::string arg = argv[i];
    if (arg == "--") break;
    if (i + 1 >= argc) return Usage();
    if (arg == "--table")
      tablePath = argv[++i];
    else if (arg == "--evict")
      evictList = argv[++i];
    else if (arg == "--maps-out")
      mapsOut = argv[++i];
    else if (arg == "--settle")
      settleMs = std::atoi(argv[++i]);
    else if (arg == "--idle")
      idleMs = std::atoi(argv[++i]);
    else if (arg == "--timeout")
      timeoutMs = std::atoi(argv[++i]);
    else
      return Usage();
  }
  if (i + 1 >= argc || tablePath.empty()) return Usage();
  char **command = argv + i + 1;

  std::optional<Table> table = LoadTable(tablePath);
  if (!table) {
    std::fprintf(stderr, "zantpig-startwatch: %s is not the 300 x 400 table top\n",
                 tablePath.c_str());
    return 2;
  }
  Display *d = XOpenDisplay(nullptr);
  if (!d) {
    std::fprintf(stderr, "zantpig-startwatch: cannot open the display\n");
    return 2;
  }
  XSetErrorHandler(IgnoreXErrors);
  Atom netWmPid = XInternAtom(d, "_NET_WM_PID", False);
  if (!evictList.empty()) Evict(evictList);

  double start = NowMs();
  pid_t pid = fork();
  if (pid == 0) {
    execvp(command[0], command);
    std::fprintf(stderr, "zantpig-startwatch: cannot start %s\n", command[0]);
    _exit(127);
  }

  double windowAt = -1, drawnAt = -1, readyAt = -1;
  int tableTop = -1;  // where the table top was first seen
  Window w = 0;
  int status = 0;
  bool exited = false;
  while (NowMs() - start < timeoutMs) {
    if (waitpid(pid, &status, WNOHANG) == pid) {
      exited = true;
      break;
    }
    if (!w) w = FindWindow(d, pid, netWmPid);
    if (w) {
      if (windowAt < 0) windowAt = NowMs() - start;
      // Once the table top has been seen, a few of its rows tell when it may have lost
      // its tint; only then is the whole of it looked at.
      int top = -1;
      if (tableTop < 0 || LooksPlain(d, w, *table, tableTop)) {
        Shown shown = LookAtTable(d, w, *table, &top);
        double lookedAt = NowMs() - start;
        if (shown != Shown::Nothing && drawnAt < 0) {
          drawnAt = lookedAt;
          tableTop = top;
        }
        if (shown == Shown::Plain) {
          readyAt = lookedAt;
          break;
        }
      }
    }
    usleep(2000);  // often enough to time, seldom enough not to slow the game
  }

  std::string windowClass = w ? WindowClass(d, w) : "-";
  long hwm = -1, rss = -1, wakeups = -1;
  bool gl = false, llvm = false;
  if (!exited && readyAt >= 0) {
    usleep(settleMs * 1000);
    std::string procStatus = ReadFile("/proc/" + std::to_string(pid) + "/status");
    hwm = StatusKb(procStatus, "VmHWM:");
    rss = StatusKb(procStatus, "VmRSS:");
    std::set<std::string> files = MappedFiles(pid);
    for (const std::string &f : files) {
      std::string name = f.substr(f.rfind('/') + 1);
      if (name.starts_with("libGL") || name.starts_with("libEGL") || name.find("_dri") != name.npos)
        gl = true;
      if (name.starts_with("libLLVM")) llvm = true;
    }
    if (!mapsOut.empty()) {
      std::ofstream out(mapsOut);
      for (const std::string &f : files) out << f << '\n';
    }
    if (idleMs > 0) {
      long before = VoluntarySwitches(pid);
      usleep(useconds_t(idleMs) * 1000);
      wakeups = VoluntarySwitches(pid) - before;
    }
  }
  if (!exited) {
    kill(pid, SIGTERM);
    waitpid(pid, &status, 0);
  }
  // The processor time the game used in all (it is idle once ready): a figure that a busy
  // machine disturbs far less than the times of day above.
  rusage used{};
  getrusage(RUSAGE_CHILDREN, &used);
  double cpuMs = (used.ru_utime.tv_sec + used.ru_stime.tv_sec) * 1e3 +
                 (used.ru_utime.tv_usec + used.ru_stime.tv_usec) / 1e3;
  XCloseDisplay(d);

  if (readyAt < 0) {
    std::fprintf(stderr, "zantpig-startwatch: %s\n",
                 exited ? "the game ended before it was ready"
                        : "no untinted table top within the time allowed");
    return 1;
  }
  std::printf(
      "ready_ms=%.1f window_ms=%.1f drawn_ms=%.1f hwm_kb=%ld rss_kb=%ld gl=%s llvm=%s class=%s\n",
      readyAt, windowAt, drawnAt, hwm, rss, gl ? "yes" : "no", llvm ? "yes" : "no",
      windowClass.c_str());
  std::printf("cpu_ms=%.1f\n", cpuMs);
  if (idleMs > 0) std::printf("idle_ms=%d idle_wakeups=%ld\n", idleMs, wakeups);
  return 0;
}
