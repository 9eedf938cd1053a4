#pragma once
// The launch-progress window the suite's programs share: a caption, a line of text and a bar
// that moves one step per Next. The installer keeps one hidden instance.
#include "ui/Window.h"

#include <cstdint>
#include <memory>
#include <string>

class TFWaitRun : public TWindow {
public:
    static constexpr const wchar_t* ClassName = L"TFWaitRun";
    static constexpr int BarMax = 25;

    TFWaitRun();
    ~TFWaitRun() override;

    // Selects the caption: 2 recording, 3 conversion, 4 none, anything else "Launching ".
    uint8_t typemessage = 0;

    HWND LblProgress = nullptr;
    HWND ProgressBar = nullptr;

    // Advances the bar one step (past the end it starts again), shows msg and lets pending
    // window messages run. Never raises.
    void Next(const std::wstring& msg);

    void FormCreate();
    void FormShow();

    // Shows the window centred on the screen, with its caption taken anew from typemessage.
    void Show();
    void Hide();

protected:
    LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;

private:
    struct Resources;
    std::unique_ptr<Resources> res_;

    void CreateControls();
    void SetCaptionFromType();
};

extern TFWaitRun* FWaitRun;
