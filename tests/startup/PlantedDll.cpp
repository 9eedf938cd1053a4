// A DLL planted beside a program: it only has to load for the probe to notice.
#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID) {
    return TRUE;
}
