#include "app/Main.h"
#include "common/Errors.h"
#include "common/VL_Common_Proc.h"
#include "common/WinUtil.h"
#include "dialogs/MessageForm.h"
#include "install/TargetFolder.h"
#include "resources/resource.h"
#include "system/DisplayFonts.h"

#include <shlobj.h>

#include <memory>

bool IsSorvelBrand = false;
TFMain* FMain = nullptr;

namespace {

const wchar_t* const MainCaption = L"Установка комплекса";
const DWORD MainStyle =
    WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_MAXIMIZEBOX | WS_CLIPCHILDREN;

const COLORREF clNavy = RGB(0, 0, 128);
const COLORREF clBlack = RGB(0, 0, 0);
const COLORREF clMaroon = RGB(128, 0, 0);

// Control ids: unique in the whole window, and clear of IDOK and IDCANCEL, which the dialog
// manager sends for Enter and Esc.
enum ControlId : int {
    idBtnCancel = 101,
    idBtnStartNext,
    idBtnCancel2,
    idBtnInputPathNext,
    idBtnSelectPath,
    idBtnCancel4,
    idBtnInputComponentsBack,
    idBtnInsatall,
    idBtnExit,
    idBtnExitCancel,
    idBtnChangeFont,
    idBtnExitOnChangefont,
    idePath,
    idCbDriverInstal,
    idCBWindows,
    idLogList,
    idMemo,
    idRichEdit1,
};

// Page geometry (pixels inside the page control).
const int PageWidth = 619;
const int PageHeight = 441;
const int Margin = 8;
const int StripHeight = 43;
const int StripTop = PageHeight - StripHeight;
const int ButtonHeight = 27;
const int ButtonWidth = 89;
const int MemoPathHeight = 60;
const int PnlPathHeight = 32;
const int SelectPathWidth = 91;
const int PathStripInset = 3;
const int OptionsStripHeight = 123;
const int MemoCancelHeight = 177;
const int LogItemHeight = 18;

const wchar_t* const BrowseTitle = L"Выберете путь для установки программ";
const UINT BrowseFlags = BIF_RETURNONLYFSDIRS | BIF_NEWDIALOGSTYLE | BIF_NONEWFOLDERBUTTON;
static_assert(BrowseFlags == 0x241);

std::wstring JoinLines(const std::vector<std::wstring>& lines) {
    std::wstring text;
    for (size_t i = 0; i < lines.size(); ++i) {
        if (i) text += L"\r\n";
        text += lines[i];
    }
    return text;
}

std::wstring WindowText(HWND wnd) {
    int length = GetWindowTextLengthW(wnd);
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    text.resize(static_cast<size_t>(GetWindowTextW(wnd, text.data(), length + 1)));
    return text;
}

// Sets a flag for one scope; cleared on every way out, an exception included.
class ScopedFlag {
public:
    explicit ScopedFlag(bool& flag) : flag_(flag) { flag_ = true; }
    ~ScopedFlag() { flag_ = false; }
    ScopedFlag(const ScopedFlag&) = delete;
    ScopedFlag& operator=(const ScopedFlag&) = delete;

private:
    bool& flag_;
};

struct CoTaskMemDeleter {
    void operator()(void* p) const { CoTaskMemFree(p); }
};

} // namespace

TFMain::TFMain() {
    RECT r{0, 0, ClientWidth, ClientHeight};
    AdjustWindowRectEx(&r, MainStyle, FALSE, WS_EX_CONTROLPARENT);
    int w = r.right - r.left, h = r.bottom - r.top;
    int x = (GetSystemMetrics(SM_CXSCREEN) - w) / 2;
    int y = (GetSystemMetrics(SM_CYSCREEN) - h) / 2;
    // No class background: the backdrop covers the whole client area.
    // Owned by the application window, which carries the taskbar entry.
    CreateHandle(L"TFMain", MainCaption, MainStyle, WS_EX_CONTROLPARENT, x, y, w, h,
                 Application.Handle, nullptr);
    // Without it the program would run on with no window to show or close.
    if (!Handle) throw EInstallError(L"Не удалось создать главное окно программы установки");
    CreatePages();
    FormCreate();
}

void TFMain::FormCreate() {
    Backdrop.LoadImages();
    IsSorvelBrand = IsSorvelBrandName(ReadStringTableEntry(IDS_PRODUCT_NAME));
    RichEdit1 = CreateRichEdit1(Handle, idRichEdit1);
    LoadRichEdit1Info(RichEdit1);
    AppNameStr = ReadStringTableEntry(IDS_DEFAULT_FOLDER);
    SetWindowTextW(ePath, (L"C:\\" + AppNameStr).c_str());
    FCanClose = true;
    SetActivePage(*tsStart);
    EnableWindow(BtnExit, FALSE);
    SetPageColor(Backdrop.PageColor());
    // The size message of the window's creation came before the images were there.
    RECT client;
    GetClientRect(Handle, &client);
    BGResize(client.right, client.bottom);
}

void TFMain::BGResize(int width, int height) {
    Backdrop.Compose(width, height);
    PlaceRichEdit1(RichEdit1, SidePanelBounds.left, SidePanelBounds.top,
                   SidePanelBounds.right - SidePanelBounds.left,
                   SidePanelBounds.bottom - SidePanelBounds.top);
    MoveWindow(InsatallPages.Handle, PagesBounds.left, PagesBounds.top,
               PagesBounds.right - PagesBounds.left, PagesBounds.bottom - PagesBounds.top, TRUE);
    InvalidateRect(Handle, nullptr, FALSE);
}

void TFMain::PaintBackdrop() {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(Handle, &ps);
    RECT client;
    GetClientRect(Handle, &client);
    Backdrop.Paint(dc, client);
    EndPaint(Handle, &ps);
}

// ---- Building the pages -------------------------------------------------------------------

void TFMain::CreatePages() {
    pagesFont_ = CreatePixelFont(L"Tahoma", 15);
    timesFont_ = CreatePixelFont(L"Times New Roman", 20);
    InsatallPages.Create(Handle, PagesBounds.left, PagesBounds.top, PageWidth, PageHeight, false);
    InsatallPages.SetVisible(true);
    InsatallPages.OnShow = [this](TPanel& page) {
        if (&page == tsInputComponents) tsInputComponentsShow();
    };
    tsStart = &InsatallPages.AddPage();
    tsInputPath = &InsatallPages.AddPage();
    tsInputComponents = &InsatallPages.AddPage();
    tsProgressInstall = &InsatallPages.AddPage();
    tsCancel = &InsatallPages.AddPage();
    tsChangeFontSize = &InsatallPages.AddPage();
    CreateStartPage();
    CreateInputPathPage();
    CreateInputComponentsPage();
    CreateProgressPage();
    CreateCancelPage();
    CreateChangeFontSizePage();
}

void TFMain::CreateStartPage() {
    AddMemo(*tsStart, 0, StripTop,
            {L"Добро пожаловать в программу установки комплекса ", L"\"VELMORA\"!", L"",
             L"Для продолжения установки, нажмите кнопку \"Далее\".", L"",
             L"Для выхода из программы установки нажмите кнопку \"Отмена\"."},
            timesFont_.get(), clNavy);
    TPanel& strip = AddButtonStrip(*tsStart);
    BtnCancel = AddButton(strip.Handle, Margin, ButtonWidth, L"Отмена", idBtnCancel);
    BtnStartNext = AddButton(strip.Handle, PageWidth - Margin - ButtonWidth, ButtonWidth, L"Далее",
                             idBtnStartNext);
    keys_.push_back({tsStart, BtnStartNext, BtnCancel});
}

void TFMain::CreateInputPathPage() {
    AddMemo(*tsInputPath, 0, MemoPathHeight,
            {L"Пожалуйста, задайте путь куда устанавливать программную часть ",
             L"комплекса \"Velmora\""},
            timesFont_.get(), clBlack);
    PnlPath = &AddStrip(*tsInputPath, MemoPathHeight, PnlPathHeight);
    // One inset inside the strip's frame on every side and between the two controls: the
    // field fills the strip up to the button, which ends where the field begins on the left.
    const int inset = PathStripInset;
    const int controlHeight = PnlPathHeight - 2 * inset;
    const int selectX = PageWidth - inset - SelectPathWidth;
    ePath =
        AddControl(PnlPath->Handle, L"EDIT", L"", WS_VISIBLE | WS_TABSTOP | ES_AUTOHSCROLL, inset,
                   inset, selectX - inset - inset, controlHeight, idePath, pagesFont_.get());
    SetWindowLongPtrW(ePath, GWL_EXSTYLE, WS_EX_CLIENTEDGE);
    SetWindowPos(ePath, nullptr, 0, 0, 0, 0,
                 SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_FRAMECHANGED);
    BtnSelectPath = AddControl(PnlPath->Handle, L"BUTTON", L"Выбрать",
                               WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON, selectX, inset,
                               SelectPathWidth, controlHeight, idBtnSelectPath, pagesFont_.get());
    TPanel& strip = AddButtonStrip(*tsInputPath);
    BtnCancel2 = AddButton(strip.Handle, Margin, ButtonWidth, L"Отмена", idBtnCancel2);
    BtnInputPathNext = AddButton(strip.Handle, PageWidth - Margin - ButtonWidth, ButtonWidth,
                                 L"Далее", idBtnInputPathNext);
    keys_.push_back({tsInputPath, BtnInputPathNext, BtnCancel2});
}

void TFMain::CreateInputComponentsPage() {
    const int optionsTop = StripTop - OptionsStripHeight;
    AddMemo(
        *tsInputComponents, 0, optionsTop,
        {L" - Если у Вас есть 2-х канальный кабель для регистрации детских ЭКГ, поставьте ",
         L"галочку в поле \"Регистрация 2-х канальной ЭКГ\".",
         L" - Если у Вас есть универсальный регистратор, поставьте галочку в поле ",
         L"\"Универсальный регистратор\".",
         L" - Если у Вас установлен монитор АД \"BPLab\", поставьте галочку в поле \"установлен ",
         L"монитор АД \"BPLab\"\".", L"",
         L" - Задайте, пожалуйста, тип ЭКГ, который Вы чаще всего будете регистрировать.", L"",
         L" - Нажмите кнопку \"Начать установку\", для того чтобы установить программное ",
         L"обеспечение на Ваш компъютер.", L"",
         L"Все настройки можно изменить позже, во время работы с программой ",
         L"\"Velmora\" в меню \"Настройки\"."},
        pagesFont_.get(), GetSysColor(COLOR_WINDOWTEXT));
    TPanel& options = AddStrip(*tsInputComponents, optionsTop, OptionsStripHeight);
    CbDriverInstal = AddControl(options.Handle, L"BUTTON", L"Устанавливать драйвер",
                                WS_VISIBLE | WS_TABSTOP | BS_AUTOCHECKBOX, 16, 16, 250, 24,
                                idCbDriverInstal, pagesFont_.get());
    SendMessageW(CbDriverInstal, BM_SETCHECK, BST_CHECKED, 0);
    // Never shown: the database runtime set for the newer systems is always the one installed.
    // A simple combo box keeps its list as a child window; a drop-down one would add a
    // top-level window for its list, which costs the start-up a window of the display server
    // for a list nobody can open.
    CBWindows = AddControl(options.Handle, L"COMBOBOX", L"", CBS_SIMPLE, 16, 48, 250, 120,
                           idCBWindows, pagesFont_.get());
    SendMessageW(CBWindows, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(L"Windows 7, Windows 8"));
    SendMessageW(CBWindows, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(L"Windows XP"));
    SendMessageW(CBWindows, CB_SETCURSEL, 0, 0);
    TPanel& strip = AddButtonStrip(*tsInputComponents);
    BtnCancel4 = AddButton(strip.Handle, Margin, ButtonWidth, L"Отмена", idBtnCancel4);
    const int installWidth = 140;
    const int installX = PageWidth - Margin - installWidth;
    BtnInputComponentsBack = AddButton(strip.Handle, installX - Margin - ButtonWidth, ButtonWidth,
                                       L"Назад", idBtnInputComponentsBack);
    BtnInsatall =
        AddButton(strip.Handle, installX, installWidth, L"Начать установку", idBtnInsatall);
    keys_.push_back({tsInputComponents, BtnInsatall, BtnCancel4});
}

void TFMain::CreateProgressPage() {
    // Not a tab stop: there is nothing to choose in it, and focus belongs to the exit button.
    LogList = AddControl(tsProgressInstall->Handle, L"LISTBOX", L"",
                         LBS_HASSTRINGS | LBS_NOINTEGRALHEIGHT | WS_VSCROLL, 0, 0, PageWidth,
                         StripTop, idLogList, pagesFont_.get());
    SetWindowLongPtrW(LogList, GWL_EXSTYLE, WS_EX_CLIENTEDGE);
    SetWindowPos(LogList, nullptr, 0, 0, 0, 0,
                 SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_FRAMECHANGED);
    SendMessageW(LogList, LB_SETITEMHEIGHT, 0, LogItemHeight);
    TPanel& strip = AddButtonStrip(*tsProgressInstall);
    BtnExit =
        AddButton(strip.Handle, PageWidth - Margin - ButtonWidth, ButtonWidth, L"Выход", idBtnExit);
    keys_.push_back({tsProgressInstall, BtnExit, nullptr});
}

void TFMain::CreateCancelPage() {
    AddMemo(*tsCancel, 0, MemoCancelHeight,
            {L"Установка комплекса \"Velmora\" отменена!", L"",
             L"Нажмите кнопку \"Выход\", для выхода из программы установки."},
            timesFont_.get(), clMaroon);
    TPanel& strip = AddButtonStrip(*tsCancel);
    BtnExitCancel = AddButton(strip.Handle, PageWidth - Margin - ButtonWidth, ButtonWidth, L"Выход",
                              idBtnExitCancel);
    keys_.push_back({tsCancel, BtnExitCancel, nullptr});
}

void TFMain::CreateChangeFontSizePage() {
    AddMemo(*tsChangeFontSize, 0, StripTop,
            {L"В настройках операционной системы Вашего компьютера выбрано использование ",
             L"\"мелкого\" размера шрифта.", L"",
             L"Для корректной работы программы \"Velmora\" требуется использование ",
             L"\"крупного\" размера шрифта.", L"",
             L"Рекомендуется произвести изменения. Для этого надо нажать кнопку \"Изменить ",
             L"настройки\". В появившемся окне надо ответить \"Да\".", L"",
             L"Если Вы считаете, что установка \"крупного\" размера шрифта Вам не нужна, ",
             L"нажмите кнопку \"Выход\"."},
            pagesFont_.get(), GetSysColor(COLOR_WINDOWTEXT));
    TPanel& strip = AddButtonStrip(*tsChangeFontSize);
    const int changeWidth = 150;
    const int exitX = PageWidth - Margin - ButtonWidth;
    BtnChangeFont = AddButton(strip.Handle, exitX - Margin - changeWidth, changeWidth,
                              L"Изменить настройки", idBtnChangeFont);
    BtnExitOnChangefont =
        AddButton(strip.Handle, exitX, ButtonWidth, L"Выход", idBtnExitOnChangefont);
    // Enter leaves rather than changing a system-wide setting by a stray key press.
    keys_.push_back({tsChangeFontSize, BtnExitOnChangefont, nullptr});
}

TPanel& TFMain::AddStrip(TPanel& page, int top, int height) {
    auto strip = std::make_unique<TPanel>();
    strip->SetColor(pageColor_);
    strip->Create(page.Handle, 0, top, PageWidth, height, true);
    strip->SetVisible(true);
    strips_.push_back(std::move(strip));
    return *strips_.back();
}

TPanel& TFMain::AddButtonStrip(TPanel& page) {
    return AddStrip(page, StripTop, StripHeight);
}

HWND TFMain::AddMemo(TPanel& page, int top, int height, const std::vector<std::wstring>& lines,
                     HFONT font, COLORREF color) {
    HWND memo =
        AddControl(page.Handle, L"EDIT", JoinLines(lines), WS_VISIBLE | ES_MULTILINE | ES_READONLY,
                   Margin, top, PageWidth - 2 * Margin, height, idMemo, font);
    memos_.push_back({memo, color});
    return memo;
}

HWND TFMain::AddButton(HWND parent, int x, int width, const wchar_t* caption, int id) {
    return AddControl(parent, L"BUTTON", caption, WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON, x,
                      (StripHeight - ButtonHeight) / 2, width, ButtonHeight, id, pagesFont_.get());
}

HWND TFMain::AddControl(HWND parent, const wchar_t* className, const std::wstring& caption,
                        DWORD style, int x, int y, int width, int height, int id, HFONT font) {
    HWND control = CreateControl(parent, className, caption, style, x, y, width, height, id);
    SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    return control;
}

// ---- Pages, colours, the progress list ------------------------------------------------------

void TFMain::SetActivePage(TPanel& page) {
    HWND focus = GetFocus();
    InsatallPages.SetActivePage(page);
    // A control of a hidden page must not keep the keyboard.
    if (!focus || !IsWindowVisible(focus) || !IsChild(page.Handle, focus)) FocusDefault();
}

void TFMain::SetPageColor(COLORREF color) {
    pageColor_ = color;
    pageBrush_.reset(CreateSolidBrush(color));
    SetRichEdit1Color(RichEdit1, color);
    InsatallPages.SetPagesColor(color);
    for (auto& strip : strips_)
        strip->SetColor(color);
    RedrawWindow(InsatallPages.Handle, nullptr, nullptr,
                 RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
}

std::wstring TFMain::PathText() const {
    return WindowText(ePath);
}

bool TFMain::DriverInstallChecked() const {
    return SendMessageW(CbDriverInstal, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

int TFMain::WindowsIndex() const {
    return static_cast<int>(SendMessageW(CBWindows, CB_GETCURSEL, 0, 0));
}

int TFMain::AddLogLine(const std::wstring& text) {
    LRESULT index = SendMessageW(LogList, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str()));
    if (index < 0) throw EInstallError(L"Недостаточно памяти");
    // The newest step stays in sight: a run has more lines than the page shows.
    SendMessageW(LogList, LB_SETTOPINDEX, static_cast<WPARAM>(index), 0);
    return static_cast<int>(index);
}

void TFMain::SetLogLine(int index, const std::wstring& text) {
    if (index < 0 || index >= SendMessageW(LogList, LB_GETCOUNT, 0, 0)) return;
    SendMessageW(LogList, WM_SETREDRAW, FALSE, 0);
    SendMessageW(LogList, LB_DELETESTRING, static_cast<WPARAM>(index), 0);
    SendMessageW(LogList, LB_INSERTSTRING, static_cast<WPARAM>(index),
                 reinterpret_cast<LPARAM>(text.c_str()));
    SendMessageW(LogList, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(LogList, nullptr, TRUE);
}

void TFMain::ClearLog() {
    SendMessageW(LogList, LB_RESETCONTENT, 0, 0);
}

void TFMain::ShowLog() {
    ShowWindow(LogList, SW_SHOW);
}

// ---- Handlers -------------------------------------------------------------------------------

void TFMain::BtnCancelClick() {
    if (AskMessage(L"Вы уверены, что хотите отменить процесс установки?",
                   MB_ICONQUESTION | MB_YESNO) != IDYES)
        return;
    FCanClose = true;
    SetActivePage(*tsCancel);
}

void TFMain::BtnStartNextClick() {
    SetActivePage(*tsInputPath);
    SetFocus(ePath);
}

void TFMain::BtnSelectPathClick() {
    BROWSEINFOW info{};
    wchar_t displayName[MAX_PATH] = L"";
    info.hwndOwner = Handle;
    info.pidlRoot = nullptr; // the desktop
    info.pszDisplayName = displayName;
    info.lpszTitle = BrowseTitle;
    info.ulFlags = BrowseFlags;
    std::unique_ptr<ITEMIDLIST, CoTaskMemDeleter> folder(SHBrowseForFolderW(&info));
    if (!folder) return;
    wchar_t path[MAX_PATH] = L"";
    if (SHGetPathFromIDListW(folder.get(), path)) SetWindowTextW(ePath, path);
}

void TFMain::BtnInputPathNextClick() {
    // The checks look at the folder that will be used, written back into the field: "C:\.\",
    // "C:\Windows\..\" or "..\.." typed in a distribution two levels deep all name the root of C:.
    std::wstring path;
    const TTargetCheck check = CheckTargetFolder(WindowText(ePath), path);
    if (check == TTargetCheck::Empty) {
        AskMessage(TargetEmptyText, MB_ICONERROR | MB_OK);
        SetFocus(ePath);
        return;
    }
    SetWindowTextW(ePath, path.c_str());
    if (check == TTargetCheck::Root) {
        AskMessage(TargetRootText, MB_ICONWARNING | MB_OK);
        SetFocus(ePath);
        return;
    }
    CreateTargetFolders(path);
    SetActivePage(*tsInputComponents);
}

void TFMain::tsInputComponentsShow() {
    ShowMessageForm(L"Внимание!\r Если на вашем компьютере уже установлен комплекс "
                    L"\"Velmora\",\r снимите галочку установки драйвера!",
                    mtMessage, L"", 0);
}

void TFMain::BtnInputComponentsBackClick() {
    SetActivePage(*tsInputPath);
}

void TFMain::BtnInsatallClick() {
    Fcopyfrom = DistributionFolder();
    TInstallInputs inputs;
    inputs.Target = PathText();
    inputs.Source = Fcopyfrom;
    inputs.InstallDriver = DriverInstallChecked();
    inputs.RuntimeSet = WindowsIndex();
    inputs.SorvelBrand = IsSorvelBrand;
    RunInstallSequence(inputs, *this);
}

void TFMain::BtnChangeFontClick() {
    if (ChangeToLargeFontsAndOfferRestart(Handle, Application.Title)) Close();
}

void TFMain::BtnExitClick() {
    Close();
}

void TFMain::FormCloseQuery(bool& CanClose) {
    // The run lets messages run between its steps, outside its busy state too: a window closed
    // then would be used by the rest of the run after it is gone.
    CanClose = FCanClose && !installRunning_;
}

void TFMain::Close() {
    PostMessageW(Handle, WM_CLOSE, 0, 0);
}

int TFMain::AskMessage(const std::wstring& text, UINT flags) {
    return MessageBoxW(Handle, text.c_str(), Application.Title.c_str(), flags);
}

// ---- The installation run's surroundings -----------------------------------------------------

void TFMain::BeginProgress() {
    ClearLog();
    ShowLog();
    SetActivePage(*tsProgressInstall);
}

void TFMain::AddProgressLine(const std::wstring& text) {
    lastProgressLine_ = AddLogLine(text);
}

void TFMain::ReplaceLastProgressLine(const std::wstring& text) {
    SetLogLine(lastProgressLine_, text);
}

void TFMain::ProcessMessages() {
    Application.ProcessMessages();
}

bool TFMain::Ask(const std::wstring& question) {
    return AskMessage(question, MB_YESNO | MB_ICONQUESTION) == IDYES;
}

void TFMain::ReportError(const std::wstring& text) {
    AskMessage(text, MB_OK | MB_ICONERROR);
}

void TFMain::SetBusy(bool busy) {
    FCanClose = !busy;
    Application.SetBusyCursor(busy);
}

void TFMain::Finish(bool smallFonts) {
    EnableWindow(BtnExit, TRUE);
    if (smallFonts) {
        SetActivePage(*tsChangeFontSize);
        return;
    }
    if (Ask(L"Установка завершена. Выйти из программы установки?")) Close();
}

// ---- Messages -------------------------------------------------------------------------------

void TFMain::OnCommand(int id) {
    switch (id) {
    case idBtnCancel:
    case idBtnCancel2:
    case idBtnCancel4:
        BtnCancelClick();
        break;
    case idBtnStartNext:
        BtnStartNextClick();
        break;
    case idBtnSelectPath:
        BtnSelectPathClick();
        break;
    case idBtnInputPathNext:
        BtnInputPathNextClick();
        break;
    case idBtnInputComponentsBack:
        BtnInputComponentsBackClick();
        break;
    case idBtnInsatall: {
        // Close requests are refused from the press on, before the busy state begins, until the
        // run has returned, whichever way it ends.
        ScopedFlag running(installRunning_);
        BtnInsatallClick();
        break;
    }
    case idBtnExit:
    case idBtnExitCancel:
    case idBtnExitOnChangefont:
        BtnExitClick();
        break;
    case idBtnChangeFont:
        BtnChangeFontClick();
        break;
    case IDOK:
        PressKey(true);
        break;
    case IDCANCEL:
        PressKey(false);
        break;
    }
}

const TFMain::PageKeys* TFMain::CurrentKeys() const {
    for (const PageKeys& k : keys_)
        if (k.page == InsatallPages.ActivePage()) return &k;
    return nullptr;
}

void TFMain::PressKey(bool forward) {
    const PageKeys* keys = CurrentKeys();
    if (!keys) return;
    HWND button = forward ? keys->forward : keys->cancel;
    if (!button || !IsWindowEnabled(button) || !IsWindowVisible(button)) return;
    OnCommand(GetDlgCtrlID(button));
}

void TFMain::FocusDefault() {
    const PageKeys* keys = CurrentKeys();
    if (!keys) return;
    for (HWND button : {keys->forward, keys->cancel}) {
        if (button && IsWindowEnabled(button) && IsWindowVisible(button)) {
            SetFocus(button);
            return;
        }
    }
}

// Enter presses a focused push button of the page, otherwise the page's forward button.
LRESULT TFMain::DefaultButtonId() const {
    HWND focus = GetFocus();
    if (focus && IsChild(Handle, focus) &&
        (SendMessageW(focus, WM_GETDLGCODE, 0, 0) & DLGC_UNDEFPUSHBUTTON))
        return MAKELRESULT(GetDlgCtrlID(focus), DC_HASDEFID);
    // A disabled forward button (the progress page's "Выход" during the run) is no default.
    const PageKeys* keys = CurrentKeys();
    if (!keys || !keys->forward || !IsWindowEnabled(keys->forward)) return 0;
    return MAKELRESULT(GetDlgCtrlID(keys->forward), DC_HASDEFID);
}

LRESULT TFMain::OnCtlColorStatic(HDC dc, HWND control) {
    COLORREF text = GetSysColor(COLOR_WINDOWTEXT);
    for (const Memo& m : memos_)
        if (m.handle == control) text = m.color;
    SetTextColor(dc, text);
    SetBkColor(dc, pageColor_);
    SetBkMode(dc, TRANSPARENT);
    return reinterpret_cast<LRESULT>(pageBrush_.get());
}

LRESULT TFMain::HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_COMMAND:
        if (HIWORD(wParam) == BN_CLICKED) OnCommand(LOWORD(wParam));
        return 0;
    case DM_GETDEFID:
        return DefaultButtonId();
    case WM_CTLCOLORSTATIC:
        return OnCtlColorStatic(reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam));
    case WM_ACTIVATE:
        if (LOWORD(wParam) == WA_INACTIVE) {
            HWND focus = GetFocus();
            if (focus && IsChild(Handle, focus)) lastFocus_ = focus;
        } else if (lastFocus_ && IsWindowVisible(lastFocus_) && IsWindowEnabled(lastFocus_)) {
            SetFocus(lastFocus_);
        } else {
            FocusDefault();
        }
        return 0;
    case WM_SYSCOMMAND:
        // An owned window would shrink to an icon of its own; the program goes to its
        // taskbar entry instead, which hides the window with it.
        if ((wParam & 0xFFF0) == SC_MINIMIZE && Application.Handle) {
            Application.Minimize();
            return 0;
        }
        return Default(msg, wParam, lParam);
    case WM_SIZE:
        BGResize(LOWORD(lParam), HIWORD(lParam));
        return 0;
    case WM_ERASEBKGND:
        return 1;
    case WM_PAINT:
        PaintBackdrop();
        return 0;
    case WM_CLOSE: {
        bool canClose = true;
        FormCloseQuery(canClose);
        if (canClose) DestroyWindow(Handle);
        return 0;
    }
    case WM_QUERYENDSESSION: {
        // Logging off in the middle of a copy would tear the installation: refused just as the
        // close box is.
        bool canClose = true;
        FormCloseQuery(canClose);
        return canClose;
    }
    case WM_ENDSESSION:
        // The session ends now: close as on the close box, so that the program ends normally.
        // A forced end during the run leaves the window to the system, not under the run.
        if (wParam && !installRunning_) DestroyWindow(Handle);
        return 0;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    }
    return Default(msg, wParam, lParam);
}
