#pragma once
// The large-font display setting (120 logical pixels per inch) the suite's programs need, and
// the restart that makes a change of it take effect.
#include <windows.h>

#include <string>

// True when the screen's horizontal logical resolution is below 100 pixels per inch.
bool IsSmallFonts();

// Asks Windows to switch the display to large fonts. Does nothing where the system has no
// means for it (no syssetup.dll or no SetupChangeFontSize in it).
void SwitchToLargeFonts();

// Enables the shutdown privilege where it can and asks Windows to end the session as `flags`
// (ExitWindowsEx flags) say. Returns whether Windows accepted the request.
bool RestartWindows(UINT flags);

// The text of the restart question asked after the switch.
extern const wchar_t RestartQuestion[];

// `caption` titles the question box, as the program titles its other boxes.
// The action of the large-font page's "Изменить настройки" button: switch, ask whether to restart
// now and, on Yes, request a forced reboot. Returns true when the owner window must close (the
// user chose Yes), whether or not Windows accepted the reboot.
bool ChangeToLargeFontsAndOfferRestart(HWND owner, const std::wstring& caption);
