// The program's entry: the common library's start-up, the main window and the message loop.
#include "ui/Application.h"
#include "app/CommandLine.h"
#include "app/Main.h"
#include "app/Unattended.h"
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
    const TCommandLine commandLine = ParseCommandLine(CommandLineArguments(GetCommandLineW()));
    if (commandLine.Help) {
        MessageBoxW(nullptr, CommandLineUsage, Application.Title.c_str(),
                    MB_OK | MB_ICONINFORMATION);
        return 0;
    }
    if (commandLine.Silent) return RunUnattended(commandLine);
    if (!commandLine.Error.empty()) {
        MessageBoxW(nullptr, (commandLine.Error + L"\r\n\r\n" + CommandLineUsage).c_str(),
                    Application.Title.c_str(), MB_OK | MB_ICONERROR);
        return ecRefused;
    }
    int exitCode = 0;
    try {
        // Lives until the process ends; windows place themselves by it from the first one on.
        TmyScreen screen;
        MyScreen = &screen;
        SelectMonitor(0);
        Application.Initialize();
        TFMain mainForm;
        FMain = &mainForm;
        if (commandLine.Target) SetWindowTextW(mainForm.ePath, commandLine.Target->c_str());
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
