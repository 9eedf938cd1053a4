#pragma once
// The screen figures the windows place themselves by: the selected monitor and its size, the
// number of monitors, the logical resolution and the scale factor.
#include <windows.h>

#include <cstdint>

// A cursor identifier as the suite's windows name them.
using TCursor = int16_t;
constexpr TCursor crDefault = 0;
constexpr TCursor crHourGlass = -11;

// One entry of the system's monitor list: its full rectangle in desktop coordinates.
struct TMonitor {
    HMONITOR Handle = nullptr;
    int32_t MonitorNum = 0;
    int32_t Left = 0;
    int32_t Top = 0;
    int32_t Width = 0;
    int32_t Height = 0;
};

class TmyScreen {
public:
    // The constructor reads the figures of the whole desktop; SelectMonitor narrows them.
    TmyScreen();

    HWND FScreen = nullptr; // the desktop window the figures come from; not owned
    TCursor FCursor = crDefault;
    int32_t MonitorCount = 0;
    int32_t WorkAreaWidth = 0;
    int32_t WorkAreaHeight = 0;
    int32_t Monitornumber = 0;
    int32_t Width = 0;
    int32_t PixelsPerInch = 96;
    double ScaleKoef = 0;
    int32_t Height = 0;

    // The monitor at Index in the system's enumeration order; EInstallError outside the list.
    TMonitor GetMonitor(int32_t Index) const;

    TCursor GetCursor() const { return FCursor; }
    // Keeps the value even when the screen refuses it; never raises.
    void SetCursor(TCursor value);
};

extern TmyScreen* MyScreen;

// Selects monitor `index` of MyScreen (monitor 0 when there is no such monitor) and takes its
// full size.
void SelectMonitor(uint8_t index);
