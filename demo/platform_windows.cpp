// What the programs do differently on Windows, in one place.  main below
// takes the place of SDL 1.2's SDLmain: it runs first, readies the process
// and calls the program's own main, which SDL_main.h renamed SDL_main.
// Readying the process: the console, the data folder, the window's scale
// and what the desktop compositor tells of the display.  The quit from
// outside (demo/signals.h) comes from the console's Ctrl-C and Ctrl-Break,
// as SIGINT and SIGTERM do it on Linux.
#include <SDL_main.h>
#include <dwmapi.h>
#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <string>
#include <vector>

#include "demo/demo.h"
#include "demo/signals.h"
#include "video/screen.h"

namespace {

volatile LONG quit_asked = 0;  // written by the console's handler thread
volatile LONG taking = 0;      // 1 while the next Ctrl-C asks for the quit

// The first Ctrl-C (or Ctrl-Break) after demo_signals_install asks for the
// quit; any later one ends the process at once, as Windows' own handler
// would.
void on_interrupt() {
  if (InterlockedExchange(&taking, 0) == 0) ExitProcess(STATUS_CONTROL_C_EXIT);
  InterlockedExchange(&quit_asked, 1);
}

BOOL WINAPI on_console_event(DWORD event) {
  if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT) return FALSE;
  on_interrupt();
  return TRUE;
}

// The C library delivers SIGINT from a console handler of its own; while
// SIGINT has no handler, SDL sets one that turns it into its quit event,
// which the screen discards.  Whichever of the two handlers Windows calls
// first, the Ctrl-C ends up in on_interrupt.
void on_sigint(int) {
  on_interrupt();
}

// A stream that goes to a file, a pipe or a console.
bool stream_open(DWORD which) {
  const HANDLE handle = GetStdHandle(which);
  return handle != nullptr && handle != INVALID_HANDLE_VALUE && GetFileType(handle) != FILE_TYPE_UNKNOWN;
}

// A GUI program has no console of its own, so none flashes up on a
// double-click.  Started from a console, it writes the scroll text and its
// messages there; a standard output or error redirected to a file or pipe
// stays where it goes.
void attach_console() {
  const bool out_open = stream_open(STD_OUTPUT_HANDLE);
  const bool err_open = stream_open(STD_ERROR_HANDLE);
  if ((out_open && err_open) || !AttachConsole(ATTACH_PARENT_PROCESS)) return;
  if (!out_open) std::freopen("CONOUT$", "w", stdout);
  if (!err_open) std::freopen("CONOUT$", "w", stderr);
}

// Line ends as the program writes them, "\n", which consoles show as on
// Linux: a file or pipe gets the same bytes as there.
void write_as_is() {
  _setmode(_fileno(stdout), _O_BINARY);
  _setmode(_fileno(stderr), _O_BINARY);
}

// The program reads its files from the working directory: the folder data
// beside the .exe, wherever it was started from.  Without that folder the
// working directory stays as it is.
void enter_data_folder() {
  std::vector<wchar_t> path(32768);
  const DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
  if (length == 0 || length >= path.size()) return;
  std::wstring folder(path.data(), length);
  folder.resize(folder.find_last_of(L"\\/") + 1);
  SetCurrentDirectoryW((folder + L"data").c_str());
}

// The largest whole factor whose window fits in two thirds of the
// desktop's height, at least 1, as the Linux launcher chooses it.
int32_t fitting_scale() {
  const int height = GetSystemMetrics(SM_CYSCREEN);
  return std::max(1, height * 2 / 3 / demo_height);
}

// The desktop compositor (DWM), from dwmapi.dll loaded at run time: the
// program starts where it is missing.  While composition is on, a picture
// reaches the display with the next composition, once a refresh.
struct Compositor {
  HRESULT(WINAPI* is_enabled)(BOOL*);
  HRESULT(WINAPI* timing)(HWND, DWM_TIMING_INFO*);
  HRESULT(WINAPI* flush)();
};
Compositor compositor{};

template <typename Function>
void look_up(HMODULE dll, const char* name, Function* function) {
  *function = reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(dll, name)));
}

void load_compositor() {
  const HMODULE dll = LoadLibraryW(L"dwmapi.dll");
  if (dll == nullptr) return;
  look_up(dll, "DwmIsCompositionEnabled", &compositor.is_enabled);
  look_up(dll, "DwmGetCompositionTimingInfo", &compositor.timing);
  look_up(dll, "DwmFlush", &compositor.flush);
}

bool composing() {
  BOOL on = FALSE;
  return compositor.is_enabled != nullptr && compositor.is_enabled(&on) == S_OK && on;
}

// The display's refreshes a second: the compositor's rate, else the
// desktop mode's frequency (0 and 1 there stand for the hardware's
// default), else 0, unknown.
double refresh_rate() {
  DWM_TIMING_INFO timing{};
  timing.cbSize = sizeof timing;
  if (compositor.timing != nullptr && compositor.timing(nullptr, &timing) == S_OK &&
      timing.rateRefresh.uiNumerator > 0 && timing.rateRefresh.uiDenominator > 0)
    return static_cast<double>(timing.rateRefresh.uiNumerator) / timing.rateRefresh.uiDenominator;
  DEVMODEW mode{};
  mode.dmSize = sizeof mode;
  if (EnumDisplaySettingsW(nullptr, ENUM_CURRENT_SETTINGS, &mode) && mode.dmDisplayFrequency > 1)
    return mode.dmDisplayFrequency;
  return 0;
}

// After each show, where composition is on: the wait for the next
// composition, so that the pace finds a show that waits for the display.
// (Wine returns from DwmFlush at once; the pace then keeps to the clock.)
void after_show() {
  if (compositor.flush != nullptr && composing()) compositor.flush();
}

}  // namespace

void demo_signals_install() {
  InterlockedExchange(&taking, 1);
  std::signal(SIGINT, on_sigint);
  std::signal(SIGBREAK, on_sigint);
  SetConsoleCtrlHandler(on_console_event, TRUE);
}

int demo_signal_received() {
  return InterlockedCompareExchange(&quit_asked, 0, 0) != 0 ? 1 : 0;
}

void demo_signals_release() {
  InterlockedExchange(&taking, 0);
}

#undef main
int main(int argc, char** argv) {
  attach_console();
  write_as_is();
  enter_data_folder();
  screen_set_window_scale(fitting_scale());
  load_compositor();
  screen_set_display_hook(ScreenDisplayHook{refresh_rate, after_show});
  // What SDLmain would say about the program: its instance, and the name
  // of its window class, which is also the window's title.
  static char name[] = "vorndemo";
  SDL_RegisterApp(name, CS_BYTEALIGNCLIENT | CS_OWNDC, GetModuleHandle(nullptr));
  return SDL_main(argc, argv);
}
