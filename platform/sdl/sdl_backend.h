// The real-window back end (SDL2): one SDL window per top-level surface. The window
// manager draws the title bar and frame of a decorated surface; every pixel inside comes
// from the layer. Besides Backend(), this header names the translations between SDL's
// world and Windows' (keys, text) so that they can be checked on their own.
#pragma once

#include <SDL.h>
#include <windows.h>

#include <string>

namespace zp::sdl {

// The Windows virtual-key code of an SDL key, or 0 for a key the layer does not pass on.
// Both Shift keys give VK_SHIFT, both Ctrl keys VK_CONTROL, both Alt keys VK_MENU.
UINT VirtualKeyFromSdl(SDL_Keycode key);

// The character Windows sends (WM_CHAR) for a key that types no text: Enter, Escape,
// Tab and Backspace. 0 for every other key, and when Ctrl or Alt is held.
char ControlCharForKey(UINT vk, Uint16 modifiers);

// Window titles and typed text cross between the game's ANSI strings (Windows-1252) and
// SDL's UTF-8. Characters that Windows-1252 cannot hold are left out.
std::string Utf8FromAnsi(const char *ansi);
std::string AnsiFromUtf8(const char *utf8);

// The SDL window behind a surface (null for anything else), for tests and diagnostics.
SDL_Window *WindowOf(void *surface);

}  // namespace zp::sdl
