// A window hook for the end-to-end tests: set on the installer's thread before it runs, it
// refuses the creation of the main window (class TFMain) and lets every other window through,
// so that a test sees what the installer does when its main window cannot be created.
#include <windows.h>

extern "C" __declspec(dllexport) LRESULT CALLBACK
    RefuseMainWindow(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HCBT_CREATEWND) {
        const CREATESTRUCTW* create = reinterpret_cast<CBT_CREATEWNDW*>(lParam)->lpcs;
        const wchar_t* name = create->lpszClass;
        // A class given by its atom has no name to compare here; only TFMain is refused.
        if (!IS_INTRESOURCE(name) && lstrcmpiW(name, L"TFMain") == 0) return 1;
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}
