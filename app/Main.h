#pragma once
// The main window of the wizard: its six pages, their controls and the navigation between them.
#include "app/Backdrop.h"
#include "install/InstallSequence.h"
#include "ui/Window.h"

#include <memory>
#include <string>
#include <vector>

// True for a build whose product name (string-table entry 1) is the alternative brand.
extern bool IsSorvelBrand;

// Also the installation run's surroundings: its progress list, questions and busy state.
class TFMain : public TWindow, public TInstallHost {
public:
    TFMain();

    // The fixed client size of the window.
    static constexpr int ClientWidth = 954;
    static constexpr int ClientHeight = 579;
    // Where the page control sits on the backdrop, and where the side panel goes.
    static constexpr RECT PagesBounds{320, 110, 320 + 619, 110 + 441};
    static constexpr RECT SidePanelBounds{16, 110, 16 + 282, 110 + 441};

    // The seven backdrop images and the composition drawn from them.
    TBackdrop Backdrop;
    // The side panel with the suite's description.
    HWND RichEdit1 = nullptr;

    bool FCanClose = true;
    std::wstring AppNameStr;
    std::wstring Fcopyfrom;

    // The pages, in their order.
    TPageControl InsatallPages;
    TPanel* tsStart = nullptr;
    TPanel* tsInputPath = nullptr;
    TPanel* tsInputComponents = nullptr;
    TPanel* tsProgressInstall = nullptr;
    TPanel* tsCancel = nullptr;
    TPanel* tsChangeFontSize = nullptr;

    // Controls the installation sequence reads or drives.
    HWND ePath = nullptr;
    HWND CbDriverInstal = nullptr;
    HWND CBWindows = nullptr;
    HWND LogList = nullptr;
    HWND BtnExit = nullptr;

    // Requests a close; granted only when FormCloseQuery allows it.
    void Close();
    // Makes `page` the current page (its "show" handler runs when it was not current before).
    void SetActivePage(TPanel& page);
    // The colour of the side panel, the page area and the frame around the path field.
    void SetPageColor(COLORREF color);

    // What the installation sequence reads from the pages.
    std::wstring PathText() const;
    bool DriverInstallChecked() const;
    int WindowsIndex() const;

    // The progress list: AddLogLine returns the index of the new last line.
    int AddLogLine(const std::wstring& text);
    void SetLogLine(int index, const std::wstring& text);
    void ClearLog();
    void ShowLog();

    // Handlers.
    void BtnCancelClick();
    void BtnStartNextClick();
    void BtnSelectPathClick();
    void BtnInputPathNextClick();
    void tsInputComponentsShow();
    void BtnInputComponentsBackClick();
    void BtnInsatallClick();
    void BtnExitClick();
    void BtnChangeFontClick();

    // Grants a close request (the close box, "Выход", the end of the session) when FCanClose
    // allows it and no installation run is under way.
    void FormCloseQuery(bool& CanClose);

    // TInstallHost.
    void BeginProgress() override;
    void AddProgressLine(const std::wstring& text) override;
    void ReplaceLastProgressLine(const std::wstring& text) override;
    void ProcessMessages() override;
    bool Ask(const std::wstring& question) override;
    void ReportError(const std::wstring& text) override;
    void SetBusy(bool busy) override;
    void Finish(bool smallFonts) override;

protected:
    LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;

private:
    // Buttons of one page's bottom strip: the one Enter presses and the one Esc presses.
    struct PageKeys {
        TPanel* page;
        HWND forward;
        HWND cancel;
    };
    // A read-only text and the colour it is drawn in.
    struct Memo {
        HWND handle;
        COLORREF color;
    };

    UniqueFont pagesFont_;
    UniqueFont timesFont_;
    UniqueBrush pageBrush_;
    COLORREF pageColor_ = GetSysColor(COLOR_BTNFACE);
    std::vector<std::unique_ptr<TPanel>> strips_;
    std::vector<Memo> memos_;
    std::vector<PageKeys> keys_;

    TPanel* PnlPath = nullptr;
    HWND BtnCancel = nullptr;
    HWND BtnStartNext = nullptr;
    HWND BtnCancel2 = nullptr;
    HWND BtnInputPathNext = nullptr;
    HWND BtnSelectPath = nullptr;
    HWND BtnCancel4 = nullptr;
    HWND BtnInputComponentsBack = nullptr;
    HWND BtnInsatall = nullptr;
    HWND BtnExitCancel = nullptr;
    HWND BtnChangeFont = nullptr;
    HWND BtnExitOnChangefont = nullptr;

    void FormCreate();
    // Composes the backdrop for the new size of the client area and places the side panel and
    // the pages on it.
    void BGResize(int width, int height);
    void PaintBackdrop();
    void CreatePages();
    void CreateStartPage();
    void CreateInputPathPage();
    void CreateInputComponentsPage();
    void CreateProgressPage();
    void CreateCancelPage();
    void CreateChangeFontSizePage();
    TPanel& AddStrip(TPanel& page, int top, int height);
    TPanel& AddButtonStrip(TPanel& page);
    HWND AddMemo(TPanel& page, int top, int height, const std::vector<std::wstring>& lines,
                 HFONT font, COLORREF color);
    HWND AddButton(HWND parent, int x, int width, const wchar_t* caption, int id);
    HWND AddControl(HWND parent, const wchar_t* className, const std::wstring& caption, DWORD style,
                    int x, int y, int width, int height, int id, HFONT font);

    HWND lastFocus_ = nullptr;
    // The progress line the installation run added last.
    int lastProgressLine_ = -1;
    // From the press of "Начать установку" until the run has returned.
    bool installRunning_ = false;

    void OnCommand(int id);
    const PageKeys* CurrentKeys() const;
    void PressKey(bool forward);
    void FocusDefault();
    LRESULT DefaultButtonId() const;
    LRESULT OnCtlColorStatic(HDC dc, HWND control);
    int AskMessage(const std::wstring& text, UINT flags);
};

extern TFMain* FMain;
