// Runs one display-font operation in a process of its own, for the cases a test process cannot
// host: the screen resolution is read once per process, and a restart request ends every
// process of the Wine session.
//   SystemProbe dpi      exit code 1 when IsSmallFonts, 0 when not; prints LOGPIXELSX
//   SystemProbe restart  answers Yes to the restart question; prints what happened, in order
#include "MessageBoxAnswer.h"
#include "common/WinUtil.h"
#include "system/DisplayFonts.h"

#include <cstdio>
#include <cstring>

namespace {

int ProbeDpi() {
    HDC screen = GetDC(nullptr);
    std::printf("LOGPIXELSX %d\n", GetDeviceCaps(screen, LOGPIXELSX));
    ReleaseDC(nullptr, screen);
    return IsSmallFonts() ? 1 : 0;
}

LRESULT CALLBACK ProbeWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_DESTROY) {
        std::printf("window closed\n");
        std::fflush(stdout);
        PostQuitMessage(0);
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

HWND CreateProbeWindow() {
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = ProbeWindowProc;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = L"VelmoraRestartProbe";
    RegisterClassW(&windowClass);
    return CreateWindowW(windowClass.lpszClassName, L"Restart probe", WS_OVERLAPPEDWINDOW, 0, 0,
                         300, 200, nullptr, nullptr, windowClass.hInstance, nullptr);
}

int ProbeRestart() {
    HWND window = CreateProbeWindow();
    if (!window) return 2;
    bool mustClose = false;
    {
        MessageBoxAnswer yes(IDYES);
        mustClose = ChangeToLargeFontsAndOfferRestart(window, L"Velmora");
        std::printf("question %s\n", ToUtf8(yes.Text()).c_str());
    }
    std::printf("must close %d\n", mustClose ? 1 : 0);
    std::fflush(stdout);
    if (mustClose) DestroyWindow(window);
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0)
        DispatchMessageW(&message);
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    if (argc == 2 && std::strcmp(argv[1], "dpi") == 0) return ProbeDpi();
    if (argc == 2 && std::strcmp(argv[1], "restart") == 0) return ProbeRestart();
    std::fprintf(stderr, "usage: SystemProbe dpi|restart\n");
    return 2;
}
