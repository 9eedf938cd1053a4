// The program's entry: the common library's start-up, the main window and the message loop.
#include "ui/Application.h"
#include "app/Main.h"
#include "common/VL_Common_Proc.h"
#include "common/VL_Common_Var.h"
#include "common/WinUtil.h"
#include "common/unitMyLog.h"
#include "dialogs/ScreenMonitorManager.h"
#include "dialogs/WaitRun.h"

namespace {

// The common library's units: initialised in this order, finalised in reverse.
struct CommonUnits {
    CommonUnits() {
        unitMyLog::Initialization();
        VL_Common_Var::Initialization();
        VL_Common_Proc::Initialization();
    }
    ~CommonUnits() {
        VL_Common_Proc::Finalization();
        VL_Common_Var::Finalization();
        unitMyLog::Finalization();
    }
};

} // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    RestrictDllSearchPath();
    CommonUnits units;

    SetCurrentDirectoryW(ExtractFilePath(ModuleFileName()).c_str());
    // Also the caption of the error box, should the windows not come up.
    Application.Title = L"Установка комплекса \"Velmora\"";
    int exitCode = 0;
    try {
        // Lives until the process ends; windows place themselves by it from the first one on.
        TmyScreen screen;
        MyScreen = &screen;
        SelectMonitor(0);
        Application.Initialize();
        TFMain mainForm;
        FMain = &mainForm;
        Application.MainForm = mainForm.Handle;
        TFWaitRun waitRun; // stays hidden; the suite's programs share the window
        FWaitRun = &waitRun;
        ShowWindow(mainForm.Handle, SW_SHOWNORMAL);
        UpdateWindow(mainForm.Handle);
        Application.Run();
    } catch (...) {
        // The windows could not be created: say why rather than vanish.
        Application.MainForm = nullptr;
        Application.HandleException();
        exitCode = 1;
    }
    FWaitRun = nullptr;
    Application.MainForm = nullptr;
    FMain = nullptr;
    MyScreen = nullptr;
    Application.Finalize();
    return exitCode;
}
