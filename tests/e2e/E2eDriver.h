#pragma once
// Drives the real Install.exe from outside, as a person would: starts it in a distribution
// folder, finds windows and controls by caption, clicks, types, answers message boxes and the
// timed message window, reads the progress list and takes screenshots.
//
// Everything here works across processes under Wine: clicks are posted (a click that opens a
// modal box must not block the driver), texts travel by WM_GETTEXT / WM_SETTEXT / LB_GETTEXT, and
// every "wait" polls for the effect with a time limit instead of trusting a message to arrive.
#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace e2e {

// Generous limit for anything the installer should do promptly.
constexpr DWORD DefaultTimeoutMs = 15000;

// Polls `done` until it returns true or `timeoutMs` passes; returns the last result.
bool WaitFor(const std::function<bool()>& done, DWORD timeoutMs = DefaultTimeoutMs);

// The Install.exe built by this build folder, as a Windows path.
std::wstring BuiltInstallerPath();

// One run of the installer. The destructor ends a run that is still going.
class InstallerProcess {
public:
    // Copies the built installer into `distributionFolder` and starts it from there, with
    // `workingFolder` (default: the distribution folder) as its current directory.
    // `installer` replaces the built Install.exe (another build of it, say); `arguments`
    // follow the program's quoted path on its command line. With `suspended`, nothing of it
    // runs until Resume (a test can prepare its thread first).
    explicit InstallerProcess(const std::wstring& distributionFolder,
                              const std::wstring& workingFolder = L"",
                              const std::wstring& installer = L"",
                              const std::wstring& arguments = L"", bool suspended = false);
    ~InstallerProcess();
    InstallerProcess(const InstallerProcess&) = delete;
    InstallerProcess& operator=(const InstallerProcess&) = delete;

    bool Started() const { return process_ != nullptr; }
    DWORD Id() const { return id_; }
    // The program's main (user-interface) thread.
    DWORD ThreadId() const { return threadId_; }
    bool Resume();
    bool Running() const;
    // True when the process ended within the time; `exitCode` receives its exit code.
    bool WaitForExit(DWORD timeoutMs = DefaultTimeoutMs, DWORD* exitCode = nullptr);

    // The visible main window "Установка комплекса", or nullptr after the time.
    HWND WaitForMainWindow(DWORD timeoutMs = DefaultTimeoutMs) const;
    // A visible top-level window of this process with the class name, or nullptr after the time.
    HWND WaitForWindow(const wchar_t* className, DWORD timeoutMs = DefaultTimeoutMs) const;
    // The visible standard message box (#32770) of this process, or nullptr after the time.
    HWND WaitForMessageBox(DWORD timeoutMs = DefaultTimeoutMs) const;
    // The visible timed message window (TFMessageform), or nullptr after the time.
    HWND WaitForTimedMessage(DWORD timeoutMs = DefaultTimeoutMs) const;
    // Visible top-level windows of this process.
    std::vector<HWND> TopWindows() const;

private:
    HANDLE process_ = nullptr;
    HANDLE thread_ = nullptr;
    DWORD id_ = 0;
    DWORD threadId_ = 0;
};

// Controls, searched among the visible descendants of `root` (so the controls of hidden wizard
// pages, which share captions with the visible ones, are never found). An empty class name
// matches any class; class names compare without regard to case.
HWND FindControl(HWND root, const std::wstring& caption, const std::wstring& className = L"");
// With `includeHidden`, controls of hidden pages are searched too.
HWND FindControlIf(HWND root, const std::function<bool(HWND)>& match, bool includeHidden = false);
HWND WaitForControl(HWND root, const std::wstring& caption, const std::wstring& className = L"",
                    DWORD timeoutMs = DefaultTimeoutMs);
// The path page's field: the visible edit control that is not read-only.
HWND FindPathField(HWND root);
// Texts of all visible descendants, in window order.
std::vector<std::wstring> ControlTexts(HWND root);
std::wstring ClassNameOf(HWND wnd);

std::wstring GetText(HWND wnd);
// Replaces the text of an edit field; true when the field then holds it.
bool SetText(HWND edit, const std::wstring& text);
// Posts a click once the button and its top-level window take input; false when they did not
// within the time.
bool Click(HWND button, DWORD timeoutMs = DefaultTimeoutMs);
// Posts a key press (down and up) to a control, as the message loop would receive it.
void PressKey(HWND control, UINT virtualKey);
// Gives the keyboard focus to a control of another process as a click would: attached to the
// control's input thread for the moment of SetFocus (nothing becomes active by itself without a
// window manager). True when the control then has the focus.
bool FocusControl(HWND control, DWORD timeoutMs = DefaultTimeoutMs);
// Types one key (Enter, Esc, Tab, Space) the way the keyboard delivers it: key down and key up,
// posted to whichever control of `window`'s thread has the focus, so that they pass through the
// program's own message loop (which makes the character). Returns that control (null: no focus).
HWND TypeKey(HWND window, UINT virtualKey);
// The close box of a top-level window.
void PressCloseBox(HWND window);
bool IsChecked(HWND checkBox);
// The control that has the keyboard focus in the thread that owns `window`.
HWND FocusedControl(HWND window);

// A standard message box as the user sees it.
struct MessageBoxInfo {
    std::wstring caption;
    std::wstring text;
    bool hasOk = false;
    bool hasYes = false;
    bool hasNo = false;
};
// Reads a message box; its text may still be empty when it appears, so this polls.
MessageBoxInfo ReadMessageBox(HWND box, DWORD timeoutMs = DefaultTimeoutMs);
// Presses IDOK, IDYES or IDNO and waits for the box to go; false when it stayed.
bool AnswerMessageBox(HWND box, int buttonId, DWORD timeoutMs = DefaultTimeoutMs);

// The message text of the timed message window (its texts other than the buttons, joined by
// line breaks).
std::wstring TimedMessageText(HWND window);
// Presses a button of the timed message window by caption ("OK") and waits for it to go.
bool AnswerTimedMessage(HWND window, const std::wstring& buttonCaption = L"OK",
                        DWORD timeoutMs = DefaultTimeoutMs);

// Lines of a list box (LBS_HASSTRINGS).
std::vector<std::wstring> ListBoxLines(HWND listBox);
// How much a line may grow while it is read (between LB_GETTEXTLEN and LB_GETTEXT) without
// overrunning the reader's buffer.
constexpr size_t ListBoxLineSlack = 256;

// The client area of a window as it is on screen, child windows included.
struct Screenshot {
    int width = 0;
    int height = 0;
    std::vector<uint32_t> pixels; // 0x00RRGGBB, rows top to bottom
    uint32_t At(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x]; }
};
Screenshot CaptureClient(HWND window);
// Writes a 24-bit BMP file; false when it cannot be written.
bool SaveBmp(const Screenshot& shot, const std::wstring& path);

} // namespace e2e
