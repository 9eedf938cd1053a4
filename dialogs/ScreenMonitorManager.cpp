#include "dialogs/ScreenMonitorManager.h"
#include "ui/Application.h"
#include "common/Errors.h"

#include <string>
#include <vector>

TmyScreen* MyScreen = nullptr;

namespace {

BOOL CALLBACK CollectMonitor(HMONITOR monitor, HDC, LPRECT, LPARAM data) {
    // Called by the system: nothing may escape from here.
    try {
        reinterpret_cast<std::vector<HMONITOR>*>(data)->push_back(monitor);
        return TRUE;
    } catch (...) {
        return FALSE;
    }
}

// The monitors in the order the system enumerates them, counted anew on every call.
std::vector<HMONITOR> MonitorList() {
    std::vector<HMONITOR> list;
    EnumDisplayMonitors(nullptr, nullptr, CollectMonitor, reinterpret_cast<LPARAM>(&list));
    return list;
}

int32_t ScreenPixelsPerInch() {
    HDC dc = GetDC(nullptr);
    if (!dc) return 96;
    int32_t ppi = GetDeviceCaps(dc, LOGPIXELSY);
    ReleaseDC(nullptr, dc);
    return ppi;
}

} // namespace

TmyScreen::TmyScreen() {
    FScreen = GetDesktopWindow();
    FCursor = Application.BusyCursor() ? crHourGlass : crDefault;
    MonitorCount = static_cast<int32_t>(MonitorList().size());
    if (MonitorCount == 0) MonitorCount = GetSystemMetrics(SM_CMONITORS);
    RECT work{};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    WorkAreaWidth = work.right - work.left;
    WorkAreaHeight = work.bottom - work.top;
    Width = GetSystemMetrics(SM_CXSCREEN);
    Height = GetSystemMetrics(SM_CYSCREEN);
    PixelsPerInch = ScreenPixelsPerInch();
}

TMonitor TmyScreen::GetMonitor(int32_t Index) const {
    std::vector<HMONITOR> list = MonitorList();
    if (Index < 0 || static_cast<size_t>(Index) >= list.size())
        throw EInstallError(L"Индекс списка вне границ (" + std::to_wstring(Index) + L")");
    MONITORINFO info{};
    info.cbSize = sizeof info;
    GetMonitorInfoW(list[Index], &info);
    TMonitor m;
    m.Handle = list[Index];
    m.MonitorNum = Index;
    m.Left = info.rcMonitor.left;
    m.Top = info.rcMonitor.top;
    m.Width = info.rcMonitor.right - info.rcMonitor.left;
    m.Height = info.rcMonitor.bottom - info.rcMonitor.top;
    return m;
}

void TmyScreen::SetCursor(TCursor value) {
    FCursor = value;
    try {
        Application.SetBusyCursor(value == crHourGlass);
    } catch (...) {
        // The pointer shape is cosmetic; the value is kept for the next reader.
    }
}

void SelectMonitor(uint8_t index) {
    if (!MyScreen) return; // nothing to select on before start-up has created it
    int32_t last = static_cast<int32_t>(MonitorList().size()) - 1;
    MyScreen->Monitornumber = index <= last ? index : 0;
    MyScreen->ScaleKoef = MyScreen->PixelsPerInch / 96.0;
    // A session that lists no monitor keeps the whole-desktop figures of the constructor
    // rather than stopping the program at start-up.
    if (last < 0) return;
    TMonitor m = MyScreen->GetMonitor(MyScreen->Monitornumber);
    MyScreen->WorkAreaWidth = m.Width;
    MyScreen->WorkAreaHeight = m.Height;
    MyScreen->Width = m.Width;
    MyScreen->Height = m.Height;
}
