// The real-window back end, run on SDL's "dummy" video driver: windows, their framebuffers
// and the event queue all work without a display, so what the back end makes of SDL's
// events and what it puts into a window can be checked anywhere.
#include <gtest/gtest.h>

#include <csignal>
#include <algorithm>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "backend.h"
#include "sdl_backend.h"

namespace {

using zp::Backend;
using zp::Image;
using zp::InputEvent;
using zp::SurfaceInfo;

TEST(SdlKeys, VirtualKeysFollowWindows) {
  struct Case {
    SDL_Keycode key;
    UINT vk;
  };
  const Case cases[] = {
      {SDLK_a, 'A'},
      {SDLK_n, 'N'},
      {SDLK_z, 'Z'},
      {SDLK_0, '0'},
      {SDLK_9, '9'},
      {SDLK_RETURN, VK_RETURN},
      {SDLK_KP_ENTER, VK_RETURN},
      {SDLK_ESCAPE, VK_ESCAPE},
      {SDLK_SPACE, VK_SPACE},
      {SDLK_TAB, VK_TAB},
      {SDLK_BACKSPACE, VK_BACK},
      {SDLK_LEFT, VK_LEFT},
      {SDLK_UP, VK_UP},
      {SDLK_RIGHT, VK_RIGHT},
      {SDLK_DOWN, VK_DOWN},
      {SDLK_LSHIFT, VK_SHIFT},
      {SDLK_RSHIFT, VK_SHIFT},
      {SDLK_LCTRL, VK_CONTROL},
      {SDLK_RCTRL, VK_CONTROL},
      {SDLK_LALT, VK_MENU},
      {SDLK_RALT, VK_MENU},
      {SDLK_F1, VK_F1},
      {SDLK_F10, VK_F10},
      {SDLK_HOME, VK_HOME},
      {SDLK_END, VK_END},
      {SDLK_KP_0, 0x60},
      {SDLK_KP_9, 0x69},
      {SDLK_LGUI, 0},
      {SDLK_MUTE, 0},
  };
  for (const Case &c : cases) {
    EXPECT_EQ(zp::sdl::VirtualKeyFromSdl(c.key), c.vk) << "SDL key " << SDL_GetKeyName(c.key);
  }
}

TEST(SdlKeys, ControlCharactersOnlyWithoutCtrlOrAlt) {
  struct Case {
    UINT vk;
    Uint16 mod;
    char ch;
  };
  const Case cases[] = {
      {VK_RETURN, KMOD_NONE, '\r'},   {VK_ESCAPE, KMOD_NONE, '\x1b'},
      {VK_TAB, KMOD_NONE, '\t'},      {VK_BACK, KMOD_NONE, '\b'},
      {VK_RETURN, KMOD_LSHIFT, '\r'}, {VK_RETURN, KMOD_LCTRL, 0},
      {VK_ESCAPE, KMOD_RALT, 0},      {'A', KMOD_NONE, 0},
      {VK_SPACE, KMOD_NONE, 0},
  };
  for (const Case &c : cases) {
    EXPECT_EQ(zp::sdl::ControlCharForKey(c.vk, c.mod), c.ch)
        << "vk " << c.vk << " with modifiers " << c.mod;
  }
}

TEST(SdlText, AnsiAndUtf8) {
  struct Case {
    const char *ansi;
    const char *utf8;
  };
  // Each pair converts both ways.
  const Case both[] = {
      {"Zant Pig", "Zant Pig"},       {"caf\xe9", "caf\xc3\xa9"},
      {"\xa9 1999", "\xc2\xa9 1999"}, {"a \x96 b", "a \xe2\x80\x93 b"},  // en dash
      {"\x80", "\xe2\x82\xac"},                                          // euro sign
      {"\xff", "\xc3\xbf"},
  };
  for (const Case &c : both) {
    EXPECT_EQ(zp::sdl::Utf8FromAnsi(c.ansi), c.utf8) << "from ANSI " << c.ansi;
    EXPECT_EQ(zp::sdl::AnsiFromUtf8(c.utf8), c.ansi) << "from UTF-8 " << c.utf8;
  }
  // What Windows-1252 cannot hold is left out, as is malformed UTF-8.
  const Case oneWay[] = {
      {"ab",
       "a\xe2\x86\x92"
       "b"},  // an arrow
      {"ab",
       "a\xf0\x9f\x90\xb7"
       "b"},  // a pig face
      {"ab",
       "a\xc3"
       "b"},  // a lead byte without its continuation
      {"ab",
       "a\xbf"
       "b"},             // a stray continuation byte
      {"", "\xc2\x85"},  // a C1 control code
  };
  for (const Case &c : oneWay) {
    EXPECT_EQ(zp::sdl::AnsiFromUtf8(c.utf8), c.ansi) << "from UTF-8 " << c.utf8;
  }
  EXPECT_EQ(zp::sdl::Utf8FromAnsi("a\x81"
                                  "b"),
            "ab");  // a code 1252 leaves undefined
  EXPECT_EQ(zp::sdl::Utf8FromAnsi(nullptr), "");
}

class SdlBackendTest : public ::testing::Test {
 protected:
  void TearDown() override { Backend().Reset(); }

  void *Open(const char *title, RECT where, bool decorated) {
    SurfaceInfo info;
    info.title = title;
    info.screenRect = where;
    info.decorated = decorated;
    void *surface = Backend().CreateSurface(info);
    EXPECT_NE(surface, nullptr) << SDL_GetError();
    return surface;
  }

  static Uint32 IdOf(void *surface) { return SDL_GetWindowID(zp::sdl::WindowOf(surface)); }

  static std::vector<InputEvent> Drain() {
    std::vector<InputEvent> out;
    InputEvent ev;
    while (Backend().PollEvent(ev)) out.push_back(ev);
    return out;
  }

  // What the window shows, read back from its framebuffer as 0xRRGGBB.
  static uint32_t ShownAt(void *surface, int x, int y) {
    SDL_Surface *fb = SDL_GetWindowSurface(zp::sdl::WindowOf(surface));
    EXPECT_NE(fb, nullptr) << SDL_GetError();
    if (!fb || x >= fb->w || y >= fb->h) return 0xDEADBEEF;
    uint32_t px = 0;
    const uint8_t *at = static_cast<const uint8_t *>(fb->pixels) + size_t(y) * fb->pitch +
                        size_t(x) * fb->format->BytesPerPixel;
    EXPECT_EQ(
        SDL_ConvertPixels(1, 1, fb->format->format, at, fb->pitch, SDL_PIXELFORMAT_RGB888, &px, 4),
        0)
        << SDL_GetError();
    return px & 0xFFFFFF;
  }

  static void PushMouse(Uint32 type, Uint32 window, int x, int y, Uint8 button) {
    SDL_Event e{};
    e.type = type;
    if (type == SDL_MOUSEMOTION) {
      e.motion.windowID = window;
      e.motion.x = x;
      e.motion.y = y;
    } else {
      e.button.windowID = window;
      e.button.button = button;
      e.button.x = x;
      e.button.y = y;
    }
    SDL_PushEvent(&e);
  }

  static void PushKey(Uint32 type, Uint32 window, SDL_Keycode key, Uint16 mod = KMOD_NONE) {
    SDL_Event e{};
    e.type = type;
    e.key.windowID = window;
    e.key.keysym.sym = key;
    e.key.keysym.mod = mod;
    SDL_PushEvent(&e);
  }

  static void PushWindowEvent(Uint32 window, Uint8 what, Sint32 data1 = 0, Sint32 data2 = 0) {
    SDL_Event e{};
    e.type = SDL_WINDOWEVENT;
    e.window.windowID = window;
    e.window.event = what;
    e.window.data1 = data1;
    e.window.data2 = data2;
    SDL_PushEvent(&e);
  }
};

TEST_F(SdlBackendTest, SurfaceIsAWindowWhereAsked) {
  void *main = Open("Zant \x96 main", RECT{40, 30, 440, 330}, true);
  void *splash = Open("splash", RECT{100, 100, 200, 150}, false);
  SDL_Window *w = zp::sdl::WindowOf(main);
  ASSERT_NE(w, nullptr);

  EXPECT_STREQ(SDL_GetWindowTitle(w), "Zant \xe2\x80\x93 main");
  int x = 0, y = 0, cw = 0, ch = 0;
  SDL_GetWindowPosition(w, &x, &y);
  SDL_GetWindowSize(w, &cw, &ch);
  EXPECT_EQ(x, 40);
  EXPECT_EQ(y, 30);
  EXPECT_EQ(cw, 400);
  EXPECT_EQ(ch, 300);
  EXPECT_FALSE(SDL_GetWindowFlags(w) & SDL_WINDOW_BORDERLESS);
  EXPECT_TRUE(SDL_GetWindowFlags(zp::sdl::WindowOf(splash)) & SDL_WINDOW_BORDERLESS);
  // No text input, which an input method would take the program's keys for.
  EXPECT_FALSE(SDL_IsTextInputActive());

  // Hidden until shown.
  EXPECT_TRUE(SDL_GetWindowFlags(w) & SDL_WINDOW_HIDDEN);
  Backend().ShowSurface(main, true);
  EXPECT_TRUE(SDL_GetWindowFlags(w) & SDL_WINDOW_SHOWN);
  Backend().ShowSurface(main, false);
  EXPECT_TRUE(SDL_GetWindowFlags(w) & SDL_WINDOW_HIDDEN);

  Backend().MoveSurface(main, RECT{10, 20, 330, 260});
  SDL_GetWindowPosition(w, &x, &y);
  SDL_GetWindowSize(w, &cw, &ch);
  EXPECT_EQ(x, 10);
  EXPECT_EQ(y, 20);
  EXPECT_EQ(cw, 320);
  EXPECT_EQ(ch, 240);

  // An owned window (a dialog) has no taskbar button of its own.
  SurfaceInfo dialog;
  dialog.title = "dialog";
  dialog.screenRect = RECT{50, 50, 150, 100};
  dialog.decorated = true;
  dialog.ownerSurface = main;
  void *owned = Backend().CreateSurface(dialog);
  ASSERT_NE(owned, nullptr);
  EXPECT_TRUE(SDL_GetWindowFlags(zp::sdl::WindowOf(owned)) & SDL_WINDOW_SKIP_TASKBAR);
  EXPECT_FALSE(SDL_GetWindowFlags(w) & SDL_WINDOW_SKIP_TASKBAR);

  Backend().SetTitle(main, "Zant Pig");
  EXPECT_STREQ(SDL_GetWindowTitle(w), "Zant Pig");

  Backend().DestroySurface(main);
  EXPECT_EQ(zp::sdl::WindowOf(main), nullptr);
  EXPECT_NE(zp::sdl::WindowOf(splash), nullptr);
}

TEST_F(SdlBackendTest, PresentShowsTheChangedPartAtOnce) {
  void *s = Open("present", RECT{0, 0, 64, 48}, true);
  Backend().ShowSurface(s, true);
  Image first(64, 48, 0x102030);
  Backend().Present(s, first, RECT{0, 0, 64, 48});
  EXPECT_EQ(ShownAt(s, 0, 0), 0x102030u);
  EXPECT_EQ(ShownAt(s, 63, 47), 0x102030u);

  // Only the changed rectangle is taken from the new image: the rest keeps what was shown.
  Image second(64, 48, 0xC0C0C0);
  Backend().Present(s, second, RECT{10, 5, 20, 15});
  EXPECT_EQ(ShownAt(s, 10, 5), 0xC0C0C0u);
  EXPECT_EQ(ShownAt(s, 19, 14), 0xC0C0C0u);
  EXPECT_EQ(ShownAt(s, 20, 14), 0x102030u);
  EXPECT_EQ(ShownAt(s, 9, 5), 0x102030u);
  EXPECT_EQ(ShownAt(s, 10, 15), 0x102030u);

  // A rectangle reaching past the image is cut to it.
  Image third(64, 48, 0xFF0000);
  Backend().Present(s, third, RECT{60, 40, 200, 200});
  EXPECT_EQ(ShownAt(s, 63, 47), 0xFF0000u);
  EXPECT_EQ(ShownAt(s, 59, 47), 0x102030u);
}

TEST_F(SdlBackendTest, FirstPresentAndNewSizeShowTheWholeImage) {
  void *s = Open("sizes", RECT{0, 0, 32, 32}, true);
  Backend().ShowSurface(s, true);
  Image img(32, 32, 0x00FF00);
  // The first image is shown whole, however small the changed part.
  Backend().Present(s, img, RECT{0, 0, 1, 1});
  EXPECT_EQ(ShownAt(s, 31, 31), 0x00FF00u);

  Backend().MoveSurface(s, RECT{0, 0, 48, 40});
  Image bigger(48, 40, 0x0000FF);
  Backend().Present(s, bigger, RECT{0, 0, 1, 1});
  EXPECT_EQ(ShownAt(s, 47, 39), 0x0000FFu);
  EXPECT_EQ(ShownAt(s, 20, 20), 0x0000FFu);

  // A hidden window keeps what it was given, and shows it when it is shown again.
  Backend().ShowSurface(s, false);
  Image hidden(48, 40, 0x808000);
  Backend().Present(s, hidden, RECT{0, 0, 48, 40});
  Backend().ShowSurface(s, true);
  EXPECT_EQ(ShownAt(s, 0, 0), 0x808000u);

  // An image larger than the window is cut to the window.
  Image larger(64, 64, 0x00FFFF);
  Backend().Present(s, larger, RECT{0, 0, 64, 64});
  EXPECT_EQ(ShownAt(s, 47, 39), 0x00FFFFu);
}

TEST_F(SdlBackendTest, MouseEventsFindTheirSurface) {
  void *a = Open("a", RECT{0, 0, 100, 100}, true);
  void *b = Open("b", RECT{200, 0, 300, 100}, false);
  Drain();  // whatever SDL said about the new windows

  PushMouse(SDL_MOUSEMOTION, IdOf(b), 5, 6, 0);
  PushMouse(SDL_MOUSEBUTTONDOWN, IdOf(a), 7, 8, SDL_BUTTON_LEFT);
  PushMouse(SDL_MOUSEBUTTONUP, IdOf(a), 9, 10, SDL_BUTTON_LEFT);
  PushMouse(SDL_MOUSEBUTTONDOWN, IdOf(b), 1, 2, SDL_BUTTON_RIGHT);
  PushMouse(SDL_MOUSEBUTTONDOWN, IdOf(b), 1, 2, SDL_BUTTON_MIDDLE);
  PushMouse(SDL_MOUSEBUTTONDOWN, IdOf(b), 1, 2, SDL_BUTTON_X1);  // not a Windows button
  PushMouse(SDL_MOUSEBUTTONDOWN, 9999, 1, 2, SDL_BUTTON_LEFT);   // no such window

  struct Want {
    InputEvent::Type type;
    void *surface;
    int x, y, button;
  };
  const Want want[] = {
      {InputEvent::MouseMove, b, 5, 6, 0}, {InputEvent::MouseDown, a, 7, 8, 0},
      {InputEvent::MouseUp, a, 9, 10, 0},  {InputEvent::MouseDown, b, 1, 2, 1},
      {InputEvent::MouseDown, b, 1, 2, 2},
  };
  std::vector<InputEvent> got = Drain();
  ASSERT_EQ(got.size(), std::size(want));
  for (size_t i = 0; i < got.size(); ++i) {
    EXPECT_EQ(got[i].type, want[i].type) << "event " << i;
    EXPECT_EQ(got[i].surface, want[i].surface) << "event " << i;
    EXPECT_EQ(got[i].x, want[i].x) << "event " << i;
    EXPECT_EQ(got[i].y, want[i].y) << "event " << i;
    EXPECT_EQ(got[i].button, want[i].button) << "event " << i;
  }
}

TEST_F(SdlBackendTest, KeysTextAndWindowEvents) {
  void *s = Open("keys", RECT{0, 0, 100, 100}, true);
  Drain();
  Uint32 id = IdOf(s);

  PushKey(SDL_KEYDOWN, id, SDLK_r);
  SDL_Event text{};
  text.type = SDL_TEXTINPUT;
  text.text.windowID = id;
  SDL_strlcpy(text.text.text, "r\xc3\xa9", sizeof text.text.text);
  SDL_PushEvent(&text);
  PushKey(SDL_KEYUP, id, SDLK_r);
  PushKey(SDL_KEYDOWN, id, SDLK_RETURN);
  PushKey(SDL_KEYDOWN, id, SDLK_RETURN, KMOD_LCTRL);
  PushKey(SDL_KEYDOWN, id, SDLK_LGUI);  // unknown to the layer: nothing
  PushWindowEvent(id, SDL_WINDOWEVENT_MOVED, 250, 120);
  PushWindowEvent(id, SDL_WINDOWEVENT_FOCUS_GAINED);  // chosen through the window manager
  PushWindowEvent(id, SDL_WINDOWEVENT_FOCUS_LOST);    // nothing the layer needs
  PushWindowEvent(id, SDL_WINDOWEVENT_CLOSE);
  SDL_Event quit{};
  quit.type = SDL_QUIT;  // closing goes through the window's Close only
  SDL_PushEvent(&quit);

  struct Want {
    InputEvent::Type type;
    UINT vk;
    char ch;
  };
  const Want want[] = {
      {InputEvent::KeyDown, 'R', 0},       {InputEvent::Char, 0, 'r'},
      {InputEvent::Char, 0, '\xe9'},       {InputEvent::KeyUp, 'R', 0},
      {InputEvent::KeyDown, VK_RETURN, 0}, {InputEvent::Char, 0, '\r'},
      {InputEvent::KeyDown, VK_RETURN, 0}, {InputEvent::Moved, 0, 0},
      {InputEvent::Activate, 0, 0},        {InputEvent::Close, 0, 0},
  };
  std::vector<InputEvent> got = Drain();
  ASSERT_EQ(got.size(), std::size(want));
  for (size_t i = 0; i < got.size(); ++i) {
    EXPECT_EQ(got[i].type, want[i].type) << "event " << i;
    EXPECT_EQ(got[i].vk, want[i].vk) << "event " << i;
    EXPECT_EQ(got[i].ch, want[i].ch) << "event " << i;
    EXPECT_EQ(got[i].surface, s) << "event " << i;
  }
  EXPECT_EQ(got[7].x, 250);
  EXPECT_EQ(got[7].y, 120);
}

TEST_F(SdlBackendTest, ExposeAsksForTheWholeSurface) {
  // Nothing presented yet: the layer is still asked for the whole surface.
  void *s = Open("expose", RECT{0, 0, 80, 60}, true);
  Drain();
  PushWindowEvent(IdOf(s), SDL_WINDOWEVENT_EXPOSED);
  std::vector<InputEvent> got = Drain();
  ASSERT_EQ(got.size(), 1u);
  EXPECT_EQ(got[0].type, InputEvent::Expose);
  EXPECT_EQ(got[0].surface, s);
  EXPECT_EQ(got[0].rect.right - got[0].rect.left, 80);
  EXPECT_EQ(got[0].rect.bottom - got[0].rect.top, 60);
}

TEST_F(SdlBackendTest, WaitEventWakesForInputAndEventsOfAClosedSurfaceAreDropped) {
  void *s = Open("wait", RECT{0, 0, 50, 50}, true);
  Drain();
  PushKey(SDL_KEYDOWN, IdOf(s), SDLK_ESCAPE);  // KeyDown and its Char
  Backend().WaitEvent();
  InputEvent ev;
  ASSERT_TRUE(Backend().PollEvent(ev));
  EXPECT_EQ(ev.type, InputEvent::KeyDown);
  EXPECT_EQ(ev.vk, UINT(VK_ESCAPE));

  // The Char is still waiting; once the surface is gone it must not come out.
  Backend().DestroySurface(s);
  EXPECT_FALSE(Backend().PollEvent(ev));

  // With nothing to come, a wait sleeps until something comes, however long that takes
  // (an idle program does not wake): here input that another thread gives after 300 ms.
  void *other = Open("later", RECT{0, 0, 50, 50}, true);
  Drain();
  Uint32 before = SDL_GetTicks();
  std::thread later([id = IdOf(other)] {
    SDL_Delay(300);
    PushKey(SDL_KEYUP, id, SDLK_a);
  });
  Backend().WaitEvent();
  Uint32 waited = SDL_GetTicks() - before;
  later.join();
  EXPECT_GE(waited, 290u) << "the wait ended before any input came";
  ASSERT_TRUE(Backend().PollEvent(ev));
  EXPECT_EQ(ev.type, InputEvent::KeyUp);
  EXPECT_EQ(ev.surface, other);
}

// GetTickCount and the time of input messages are one clock, which a sleep advances.
TEST_F(SdlBackendTest, InputTimesAndTicksShareOneClock) {
  void *s = Open("clock", RECT{0, 0, 20, 20}, true);
  Drain();
  DWORD before = Backend().Ticks();
  Backend().SleepMs(60);
  DWORD slept = Backend().Ticks() - before;
  EXPECT_GE(slept, 50u) << "a sleep of 60 ms";
  EXPECT_LT(slept, 1000u) << "a sleep of 60 ms";

  PushKey(SDL_KEYDOWN, IdOf(s), SDLK_a);
  std::vector<InputEvent> got = Drain();
  DWORD after = Backend().Ticks();
  ASSERT_EQ(got.size(), 1u);
  EXPECT_LE(got[0].time - before, after - before) << "a key pressed between two readings";
  // (less the event's age when it was read, a millisecond at most here)
  EXPECT_GE(got[0].time - before + 2, slept) << "a key pressed after the sleep";
}

TEST_F(SdlBackendTest, SignalHandlersAreLeftAlone) {
  struct sigaction before[2] = {}, after[2] = {};
  const int signals[2] = {SIGINT, SIGTERM};
  for (int i = 0; i < 2; ++i) sigaction(signals[i], nullptr, &before[i]);
  Open("signals", RECT{0, 0, 10, 10}, true);
  for (int i = 0; i < 2; ++i) {
    sigaction(signals[i], nullptr, &after[i]);
    EXPECT_EQ(after[i].sa_handler, before[i].sa_handler) << "signal " << signals[i];
  }
}

// Without any display SDL would fall back to a driver that shows nothing; the back end
// refuses it, so that a program fails to open its window instead of running unseen.
TEST_F(SdlBackendTest, NoDisplayMeansNoSurface) {
  Backend().Reset();
  std::string display = getenv("DISPLAY") ? getenv("DISPLAY") : "";
  std::string wayland = getenv("WAYLAND_DISPLAY") ? getenv("WAYLAND_DISPLAY") : "";
  unsetenv("DISPLAY");
  unsetenv("WAYLAND_DISPLAY");
  setenv("SDL_VIDEODRIVER", "", 1);  // let SDL choose

  SurfaceInfo info;
  info.screenRect = RECT{0, 0, 20, 20};
  void *surface = Backend().CreateSurface(info);
  if (surface) ADD_FAILURE() << "a surface on driver " << SDL_GetCurrentVideoDriver();

  Backend().Reset();
  setenv("SDL_VIDEODRIVER", "dummy", 1);
  unsetenv("GDK_SCALE");  // the sizes here are the layer's own
  if (!display.empty()) setenv("DISPLAY", display.c_str(), 1);
  if (!wayland.empty()) setenv("WAYLAND_DISPLAY", wayland.c_str(), 1);
  EXPECT_NE(Backend().CreateSurface(info), nullptr) << "the dummy driver, asked for by name";
}

}  // namespace

// Xlib's names (None, Window, ...) clash with the layer's, so X comes in only here.
#include <X11/Xlib.h>

#include "x11_display.h"

namespace {

int g_forwarded = 0;

int CountingHandler(Display *, XErrorEvent *) {
  ++g_forwarded;
  return 0;
}

// The X error handler the back end installs: an error about a window the program has
// already destroyed (a request that raced with the window's end on the server) is logged
// once and ignored, where Xlib's default handler would end the program; every other error
// reaches the handler that was there before, which SDL installs and which ends the program.
TEST(SdlX11Errors, OnlyErrorsAboutClosedWindowsAreIgnored) {
  XErrorHandler before = XSetErrorHandler(CountingHandler);
  zp::x11::Start();
  XErrorHandler guard = XSetErrorHandler(nullptr);
  XSetErrorHandler(guard);
  ASSERT_NE(guard, CountingHandler) << "no handler of the back end's own";

  const unsigned long closed = 0x400123, open = 0x400127;
  zp::x11::NoteDestroyed(closed);
  struct Case {
    unsigned char code;
    unsigned long window;
    bool forwarded;
  };
  const Case cases[] = {
      {BadWindow, closed, false},    // a wake-up sent to a dialog just closed
      {BadDrawable, closed, false},  // a picture put into it
      {BadWindow, closed, false},    // again: not logged again
      {BadWindow, open, true},       // not one we destroyed
      {BadValue, closed, true},      // not about the window being gone
      {BadMatch, closed, true},
  };
  testing::internal::CaptureStderr();
  for (const Case &c : cases) {
    XErrorEvent e{};
    e.type = 0;
    e.resourceid = c.window;
    e.error_code = c.code;
    e.request_code = 25;  // X_SendEvent
    g_forwarded = 0;
    EXPECT_EQ(guard(nullptr, &e), 0);
    EXPECT_EQ(g_forwarded, c.forwarded ? 1 : 0)
        << "error " << int(c.code) << " about window " << std::hex << c.window;
  }
  std::string log = testing::internal::GetCapturedStderr();
  EXPECT_EQ(std::count(log.begin(), log.end(), '\n'), 1) << log;
  EXPECT_NE(log.find("0x400123"), std::string::npos) << log;

  zp::x11::Stop();
  EXPECT_EQ(XSetErrorHandler(before), CountingHandler) << "the handler before is back";
}

}  // namespace

int main(int argc, char **argv) {
  // Never open real windows here, whatever display the test runs on.
  setenv("SDL_VIDEODRIVER", "dummy", 1);
  unsetenv("GDK_SCALE");  // the sizes here are the layer's own
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
