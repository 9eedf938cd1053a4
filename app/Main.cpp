#include "Main.h"
#include "../common/VL_Common_Proc.h"
#include "../common/WinUtil.h"
#include "../resources/resource.h"

bool IsSorvelBrand = false;
TFMain* FMain = nullptr;

namespace {
const wchar_t* const MainCaption = L"Установка комплекса";
const DWORD MainStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX |
                        WS_MAXIMIZEBOX | WS_CLIPCHILDREN;
} // namespace

bool IsSorvelBrandName(const std::wstring& productName) {
    return SameTextLocale(productName, L"Sorvel");
}

TFMain::TFMain() {
    RECT r{0, 0, ClientWidth, ClientHeight};
    AdjustWindowRectEx(&r, MainStyle, FALSE, WS_EX_CONTROLPARENT);
    int w = r.right - r.left, h = r.bottom - r.top;
    RECT work;
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    int x = work.left + (work.right - work.left - w) / 2;
    int y = work.top + (work.bottom - work.top - h) / 2;
    CreateHandle(L"TFMain", MainCaption, MainStyle, WS_EX_CONTROLPARENT, x, y, w, h, nullptr,
                 reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1));
    FormCreate();
}

void TFMain::FormCreate() {
    IsSorvelBrand = IsSorvelBrandName(ReadStringTableEntry(IDS_PRODUCT_NAME));
    AppNameStr = ReadStringTableEntry(IDS_DEFAULT_FOLDER);
    FCanClose = true;
}

void TFMain::FormCloseQuery(bool& CanClose) { CanClose = FCanClose; }

void TFMain::Close() { PostMessageW(Handle, WM_CLOSE, 0, 0); }

LRESULT TFMain::HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_CLOSE: {
        bool canClose = true;
        FormCloseQuery(canClose);
        if (canClose) DestroyWindow(Handle);
        return 0;
    }
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    }
    return Default(msg, wParam, lParam);
}
