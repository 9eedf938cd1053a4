#pragma once
// The application object: COM for the UI thread, the title, the message loop and the
// top-level error handler.
#include <windows.h>

#include <string>

class TApplication {
public:
    // Initialises COM for this thread as a single-threaded apartment and creates the
    // application window, which carries the program's taskbar entry under Title.
    void Initialize();
    void Finalize();

    // Text of the program's taskbar entry and the caption of its error boxes.
    std::wstring Title;
    // The application window: never seen itself (it has no size), it owns the main window,
    // so that the taskbar shows Title while the main window keeps a caption of its own.
    HWND Handle = nullptr;
    // Minimises the whole program to its taskbar entry.
    void Minimize();
    // The window whose closing ends the message loop; dialog keys go to it.
    HWND MainForm = nullptr;

    // Runs the message loop until the main window is gone.
    void Run();
    // Lets every pending window message run (so that the window repaints between steps).
    void ProcessMessages();
    // Shows the message of the exception being handled in the standard error box.
    // Must be called inside a catch block.
    void HandleException();
    void ShowException(const std::wstring& message);
    // The busy (hourglass) pointer for the whole application, or the normal one.
    void SetBusyCursor(bool busy);
    bool BusyCursor() const { return busy_; }

private:
    bool comInitialized_ = false;
    bool busy_ = false;
    bool DispatchOne(MSG& msg);
    bool HandleDialogKey(const MSG& msg);
    static LRESULT CALLBACK WndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
};

extern TApplication Application;
