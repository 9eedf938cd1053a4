#pragma once
// The main window of the wizard.
#include "Window.h"

#include <string>

// True for a build whose product name (string-table entry 1) is the alternative brand.
extern bool IsSorvelBrand;

class TFMain : public TWindow {
public:
    TFMain();

    // The fixed client size of the window.
    static constexpr int ClientWidth = 954;
    static constexpr int ClientHeight = 579;

    bool FCanClose = true;
    std::wstring AppNameStr;
    std::wstring Fcopyfrom;

    // Requests a close; granted only when FormCloseQuery allows it.
    void Close();

protected:
    LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;

private:
    void FormCreate();
    void FormCloseQuery(bool& CanClose);
};

extern TFMain* FMain;

// Whether `productName` names the alternative brand, by the user's locale's upper case.
bool IsSorvelBrandName(const std::wstring& productName);
