#pragma once
// Drives the program's windows from a second thread of the test process, as a person would:
// finds windows and controls by class or caption, posts clicks, reads texts, and waits for
// effects with generous deadlines (never for a fixed time).
#include <windows.h>

#include <functional>
#include <string>

// Generous: Wine under a loaded machine can be slow to show a window.
constexpr DWORD DriverDeadlineMs = 30000;

// Polls `done` every 10 ms until it holds or the deadline passes; returns whether it held.
bool WaitFor(const std::function<bool()>& done, DWORD deadlineMs = DriverDeadlineMs);

// The visible top-level window of `className`, waiting for it to appear; null when it does not.
HWND WaitForVisibleWindow(const wchar_t* className);
// Waits until no window of `className` is visible any more.
bool WaitForNoVisibleWindow(const wchar_t* className);

// A descendant control of `parent` whose text is `caption`; null when there is none.
HWND FindControl(HWND parent, const std::wstring& caption, const wchar_t* className = L"Button");
// The descendant with the dialog id `id`.
HWND FindControlById(HWND parent, int id);

std::wstring WindowText(HWND wnd);

// Posts a click: a synchronous one would block while the window's modal loop runs.
void PostClick(HWND button);
// What the close box does.
void PostCloseBox(HWND wnd);
