#pragma once
// The small stay-on-top message window that closes itself after a countdown unless the user
// answers it or stops the countdown. ShowMessageForm is the only way the program opens it.
#include "ui/Window.h"

#include <cstdint>
#include <memory>
#include <string>

enum TMessageType : uint8_t {
    mtMessage = 0, // a message: only the OK button
    mtDialog = 1,  // a question: OK and Cancel
};

class TFMessageform : public TWindow {
public:
    // Window class name; the window's caption may be empty, so automation finds it by class.
    static constexpr const wchar_t* ClassName = L"TFMessageform";
    // Design sizes, pixels at 96 DPI.
    static constexpr int DesignClientWidth = 446;
    static constexpr int DesignClientHeight = 138;
    static constexpr UINT StayUpInterval = 1000;
    static constexpr UINT DefaultStopInterval = 20000;

    TFMessageform();
    ~TFMessageform() override;

    // Fills the window and shows it, modally when smodal is true (then returns after the window
    // has closed, with true exactly when OK was pressed); a non-modal show returns at once.
    bool Showmes(const std::wstring& Text, TMessageType tip, const std::wstring& CaptionText,
                 bool smodal);

    // The countdown after which the window closes itself as if Cancel had been pressed.
    UINT StopTimerInterval = DefaultStopInterval;

    double tt = 0; // local date-time of the last show, in days; the countdown runs from it
    TMessageType FMessageTtype = mtMessage;
    std::wstring FMessageText;
    std::wstring FCaptionText;
    bool FShowResult = false;
    bool Fsmodal = false;

    // Controls (children of the window or of its two strips).
    HWND lblMessage = nullptr;
    TPanel pnlButtons;
    HWND btnCancel = nullptr;
    HWND btnOK = nullptr;
    TPanel pnlClose;
    HWND btnStop = nullptr;
    HWND lblClose = nullptr;
    HWND lblSec = nullptr;

    // Event handlers.
    void FormShow();
    void FormClose();
    void btnOKClick();
    void btnCancelClick();
    void btnStopClick();
    void StayUpTimerTimer();
    void StopTimerTimer();

protected:
    LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;

private:
    struct Resources;
    std::unique_ptr<Resources> res_;
    bool closed_ = true;

    void CreateControls();
    void Close();
    void ShowModal();
    void RunModalLoop();
    void SetMessageFont();
    void LayOut();
    void BringToFront();
    LRESULT FocusedButtonId() const;
    int MessageLabelHeight() const;
    void PlaceOnSelectedMonitor(int windowHeight);
};

// Shows `text` in a new modal TFMessageform and destroys it before returning. seconds = 0 keeps
// the 20-second countdown; a negative value, or one whose milliseconds do not fit a 32-bit
// signed integer, raises EInstallError before anything is shown. True exactly when OK was pressed.
bool ShowMessageForm(const std::wstring& text, TMessageType type, const std::wstring& caption,
                     int32_t seconds);
