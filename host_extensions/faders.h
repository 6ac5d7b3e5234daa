// The host's fader controls, window classes "ZENTARhfader" and
// "ZENTARvfader" (Windows). A fader runs over positions 0..1000 (fader_law.h;
// vertical faders have 1000 at the top), follows the mouse, the wheel and the
// arrow, page, Home and End keys (Ctrl for single steps), and tells its
// parent with WM_HSCROLL or WM_VSCROLL: SB_THUMBTRACK with the position for
// every move, SB_ENDSCROLL when the gesture ends; lParam is the fader.
// A double click returns it to its default position.
#pragma once

#include <string>

namespace host {

constexpr const char* kHorizontalFaderClass = "ZENTARhfader";
constexpr const char* kVerticalFaderClass = "ZENTARvfader";

// Messages a fader answers.
constexpr unsigned kFaderGetPosition = 0x400;  // WM_USER: returns the position
// WM_USER + 4: lParam = default position, or -1 for a dB fader (0 dB).
constexpr unsigned kFaderSetDefault = 0x404;
constexpr unsigned kFaderSetPosition = 0x405;  // WM_USER + 5: lParam = position; no notification
// lParam = text; wParam kFaderTextName or kFaderTextNameWithUnit makes it the
// fader's name (its window text, which accessibility tools read),
// kFaderTextValue its value text. Returns 1, or 0 for another wParam.
constexpr unsigned kFaderSetText = 0x2B0F;
constexpr int kFaderTextName = 1;
constexpr int kFaderTextValue = 2;
constexpr int kFaderTextNameWithUnit = 11;

#if defined(_WIN32)
// The host's registration: both classes for every module of the process
// (CS_GLOBALCLASS), once; true when they are registered.
bool registerFaderClasses();
// A plug-in's registration in a host without them: both classes, local to
// `module` (an HINSTANCE), so they never clash with another module's.
bool registerFaderClassesIn(void* module);
void unregisterFaderClassesIn(void* module);
// The value text last given to a fader, empty for any other window.
std::string faderValueText(void* fader);
#endif

}  // namespace host
