#pragma once
// A thin base for the program's top-level windows: binds the C++ object to its HWND at
// WM_NCCREATE, dispatches to HandleMessage, and keeps exceptions from crossing into the
// system's frames (they go to the application's top-level handler instead).
#include <windows.h>

#include <string>

class TWindow {
public:
    TWindow() = default;
    virtual ~TWindow();
    TWindow(const TWindow&) = delete;
    TWindow& operator=(const TWindow&) = delete;

    HWND Handle = nullptr;

protected:
    // Registers the class once (per process) and creates the window with this object bound.
    void CreateHandle(const wchar_t* className, const std::wstring& caption, DWORD style,
                      DWORD exStyle, int x, int y, int width, int height, HWND parent,
                      HBRUSH background);
    virtual LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam);
    LRESULT Default(UINT msg, WPARAM wParam, LPARAM lParam) {
        return DefWindowProcW(Handle, msg, wParam, lParam);
    }

private:
    static LRESULT CALLBACK WndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
};

// Runs f; any exception goes to the application's top-level handler. For callbacks that
// Windows calls outside a TWindow (timers, enumeration procedures, dialog procedures).
template <class F> void GuardCallback(F&& f);

// Creates a standard child control with its caption (so automation finds it by text).
HWND CreateControl(HWND parent, const wchar_t* className, const std::wstring& caption, DWORD style,
                   int x, int y, int width, int height, int id, DWORD exStyle = 0);

#include "Application.h"

template <class F> void GuardCallback(F&& f) {
    try {
        f();
    } catch (...) {
        Application.HandleException();
    }
}
