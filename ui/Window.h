#pragma once
// A thin base for the program's top-level windows: binds the C++ object to its HWND at
// WM_NCCREATE, dispatches to HandleMessage, and keeps exceptions from crossing into the
// system's frames (they go to the application's top-level handler instead).
#include <windows.h>

#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

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

// Owns a GDI object (font, brush, bitmap) and deletes it on every path.
template <class T> class UniqueGdiObject {
public:
    UniqueGdiObject() = default;
    explicit UniqueGdiObject(T h) : h_(h) {}
    UniqueGdiObject(UniqueGdiObject&& o) noexcept : h_(std::exchange(o.h_, nullptr)) {}
    UniqueGdiObject& operator=(UniqueGdiObject&& o) noexcept {
        if (this != &o) reset(std::exchange(o.h_, nullptr));
        return *this;
    }
    ~UniqueGdiObject() { reset(); }
    UniqueGdiObject(const UniqueGdiObject&) = delete;
    UniqueGdiObject& operator=(const UniqueGdiObject&) = delete;
    T get() const { return h_; }
    void reset(T h = nullptr) {
        if (h_) DeleteObject(h_);
        h_ = h;
    }

private:
    T h_ = nullptr;
};
using UniqueFont = UniqueGdiObject<HFONT>;
using UniqueBrush = UniqueGdiObject<HBRUSH>;

// A font by face name and pixel height (the height of the characters, as a negative lfHeight).
UniqueFont CreatePixelFont(const wchar_t* face, int pixelHeight);

// A plain child window in one colour, optionally framed by a raised one-pixel edge, that holds
// other controls. Notifications and colour requests of its controls go up to its parent, so the
// top-level window handles every control wherever it sits.
class TPanel : public TWindow {
public:
    void Create(HWND parent, int x, int y, int width, int height, bool framed);
    void SetColor(COLORREF color);
    COLORREF Color() const { return color_; }
    void SetVisible(bool visible);

protected:
    LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;

private:
    COLORREF color_ = GetSysColor(COLOR_BTNFACE);
    UniqueBrush brush_;
    bool framed_ = false;
    void Fill(HDC dc);
};

// A page control without tabs: a panel holding pages of which exactly one is visible.
class TPageControl : public TPanel {
public:
    // Adds a page filling the control; pages keep the order of adding.
    TPanel& AddPage();
    TPanel* ActivePage() const { return active_; }
    // Shows `page` and hides the others; OnShow runs when a page other than the current one
    // becomes current, after it is visible.
    void SetActivePage(TPanel& page);
    void SetPagesColor(COLORREF color);
    std::function<void(TPanel&)> OnShow;

private:
    std::vector<std::unique_ptr<TPanel>> pages_;
    TPanel* active_ = nullptr;
};

#include "ui/Application.h"

template <class F> void GuardCallback(F&& f) {
    try {
        f();
    } catch (...) {
        Application.HandleException();
    }
}
