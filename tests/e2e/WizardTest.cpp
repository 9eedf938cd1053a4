// The wizard's pages and navigation, driven through the real Install.exe.
#include "E2eDriver.h"
#include "support/Distribution.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <set>

using namespace e2e;

namespace {

const std::wstring AppTitle = L"Установка комплекса \"Velmora\"";
const std::wstring WarningTail = L"снимите галочку установки драйвера!";
const std::wstring CancelQuestion = L"Вы уверены, что хотите отменить процесс установки?";
const std::wstring EmptyPathError = L"Не выбран путь для установки программы!";
const std::wstring RootFolderWarning = L"Программу нелзя устанавливать в корневой каталог!";

enum class Page { Unknown, Start, Path, Options, Progress, Cancel, ChangeFont, Warning };

const char* PageName(Page page) {
    switch (page) {
    case Page::Start:
        return "start";
    case Page::Path:
        return "path";
    case Page::Options:
        return "options";
    case Page::Progress:
        return "progress";
    case Page::Cancel:
        return "cancel";
    case Page::ChangeFont:
        return "large-font";
    case Page::Warning:
        return "options warning";
    default:
        return "unknown";
    }
}

bool IsPathField(HWND wnd) {
    return lstrcmpiW(ClassNameOf(wnd).c_str(), L"Edit") == 0 &&
           !(GetWindowLongW(wnd, GWL_STYLE) & ES_READONLY);
}

class Wizard : public ::testing::Test {
protected:
    TempDir dist;
    std::unique_ptr<InstallerProcess> app;
    HWND main = nullptr;

    void Start(const std::wstring& workingFolder = L"", const std::wstring& distribution = L"") {
        app = std::make_unique<InstallerProcess>(distribution.empty() ? dist.Path() : distribution,
                                                 workingFolder);
        ASSERT_TRUE(app->Started()) << "cannot start " << U8(BuiltInstallerPath());
        main = app->WaitForMainWindow();
        ASSERT_NE(main, nullptr) << "the main window did not appear";
        ASSERT_TRUE(WaitForPage(Page::Start));
    }

    // Each page is told apart by a button only it has (hidden pages' controls are not found).
    Page CurrentPage() const {
        if (FindControl(main, L"Начать установку", L"Button")) return Page::Options;
        if (FindControl(main, L"Выбрать", L"Button")) return Page::Path;
        if (FindControl(main, L"Далее", L"Button")) return Page::Start;
        if (FindControl(main, L"Изменить настройки", L"Button")) return Page::ChangeFont;
        if (FindControl(main, L"Выход", L"Button") && FindControlIf(main, [](HWND w) {
                return GetText(w).find(L"отменена!") != std::wstring::npos;
            }))
            return Page::Cancel;
        if (FindControl(main, L"Выход", L"Button")) return Page::Progress;
        return Page::Unknown;
    }

    ::testing::AssertionResult WaitForPage(Page page) const {
        if (WaitFor([&] { return CurrentPage() == page; })) return ::testing::AssertionSuccess();
        return ::testing::AssertionFailure()
               << "expected the " << PageName(page) << " page, shown: " << PageName(CurrentPage());
    }

    void ClickButton(const std::wstring& caption) {
        HWND button = WaitForControl(main, caption, L"Button");
        ASSERT_NE(button, nullptr) << "no visible button " << U8(caption);
        ASSERT_TRUE(Click(button)) << "cannot click " << U8(caption);
    }

    HWND PathField() const { return FindControlIf(main, IsPathField, true); }

    void GoToPathPage() {
        ClickButton(L"Далее");
        ASSERT_TRUE(WaitForPage(Page::Path));
    }

    void AnswerOptionsWarning() {
        HWND warning = app->WaitForTimedMessage();
        ASSERT_NE(warning, nullptr) << "the options warning did not appear";
        EXPECT_NE(TimedMessageText(warning).find(WarningTail), std::wstring::npos)
            << U8(TimedMessageText(warning));
        ASSERT_TRUE(AnswerTimedMessage(warning, L"OK"));
    }

    void SubmitPath(const std::wstring& text) {
        ASSERT_TRUE(SetText(PathField(), text));
        ClickButton(L"Далее");
    }

    void GoToOptionsPage(const std::wstring& target) {
        ASSERT_NO_FATAL_FAILURE(GoToPathPage());
        ASSERT_NO_FATAL_FAILURE(SubmitPath(target));
        ASSERT_NO_FATAL_FAILURE(AnswerOptionsWarning());
        ASSERT_TRUE(WaitForPage(Page::Options));
    }

    // Waits for a standard box and returns what it says (the box stays open).
    MessageBoxInfo ExpectBox(HWND& box) {
        box = app->WaitForMessageBox();
        EXPECT_NE(box, nullptr) << "no message box";
        if (!box) return {};
        MessageBoxInfo info = ReadMessageBox(box);
        EXPECT_EQ(U8(info.caption), U8(AppTitle));
        return info;
    }

    void ExpectProgramEnds() {
        DWORD code = 1;
        ASSERT_TRUE(app->WaitForExit(DefaultTimeoutMs, &code)) << "the installer did not end";
        EXPECT_EQ(code, 0u);
    }
};

// The last name of a folder path ending in "\\".
std::wstring ExtractLeaf(const std::wstring& folder) {
    std::wstring path = folder.substr(0, folder.size() - 1);
    return path.substr(path.find_last_of(L'\\') + 1);
}

std::wstring ScreenshotPath(const char* name) {
    return TestExeFolder() + L"screenshots\\wizard_" + std::wstring(name, name + strlen(name)) +
           L".bmp";
}

// The screenshot goes beside the test for a person to look at; it must be the window's design
// size and show more than a blank surface.
void CheckScreenshot(HWND main, const char* name) {
    Screenshot shot = CaptureClient(main);
    ASSERT_EQ(shot.width, 954);
    ASSERT_EQ(shot.height, 579);
    std::set<uint32_t> colors(shot.pixels.begin(), shot.pixels.end());
    EXPECT_GT(colors.size(), 4u) << "the " << name << " page looks blank";
    EXPECT_TRUE(SaveBmp(shot, ScreenshotPath(name)));
}

TEST_F(Wizard, WindowOpensOnWelcomePageWithDefaults) {
    ASSERT_NO_FATAL_FAILURE(Start());
    RECT client;
    ASSERT_TRUE(GetClientRect(main, &client));
    EXPECT_EQ(client.right, 954);
    EXPECT_EQ(client.bottom, 579);
    LONG style = GetWindowLongW(main, GWL_STYLE);
    EXPECT_TRUE(style & WS_MINIMIZEBOX);
    EXPECT_TRUE(style & WS_MAXIMIZEBOX);
    EXPECT_FALSE(style & WS_THICKFRAME) << "the border must be fixed";
    EXPECT_NE(FindControl(main,
                          L"Добро пожаловать в программу установки комплекса \r\n"
                          L"\"VELMORA\"!\r\n\r\n"
                          L"Для продолжения установки, нажмите кнопку \"Далее\".\r\n\r\n"
                          L"Для выхода из программы установки нажмите кнопку \"Отмена\".",
                          L"Edit"),
              nullptr);
    EXPECT_NE(FindControl(main, L"Отмена", L"Button"), nullptr);
    EXPECT_EQ(U8(GetText(PathField())), U8(L"C:\\Holter"));
    CheckScreenshot(main, "start");
}

TEST_F(Wizard, WalkBackAndForwardShowsWarningAgainAndKeepsDriverOption) {
    ASSERT_NO_FATAL_FAILURE(Start());
    ASSERT_NO_FATAL_FAILURE(GoToPathPage());
    CheckScreenshot(main, "path");
    EXPECT_EQ(FocusedControl(main), PathField()) << "the focus belongs in the path field";
    std::wstring target = dist / L"Target";
    ASSERT_NO_FATAL_FAILURE(SubmitPath(target));
    ASSERT_NO_FATAL_FAILURE(AnswerOptionsWarning());
    ASSERT_TRUE(WaitForPage(Page::Options));
    CheckScreenshot(main, "options");
    EXPECT_TRUE(PathExists(target + L"\\Settings"));

    HWND driver = WaitForControl(main, L"Устанавливать драйвер", L"Button");
    ASSERT_NE(driver, nullptr);
    EXPECT_TRUE(IsChecked(driver)) << "the driver option starts ticked";
    ASSERT_TRUE(Click(driver));
    ASSERT_TRUE(WaitFor([&] { return !IsChecked(driver); }));

    ClickButton(L"Назад");
    ASSERT_TRUE(WaitForPage(Page::Path));
    EXPECT_EQ(U8(GetText(PathField())), U8(target + L"\\"));
    ClickButton(L"Далее");
    ASSERT_NO_FATAL_FAILURE(AnswerOptionsWarning());
    ASSERT_TRUE(WaitForPage(Page::Options));
    EXPECT_FALSE(IsChecked(driver)) << "the driver option must survive going back";
}

// What the path page does with what was typed: refused with which box, or accepted; the field's
// text afterwards; a folder that must exist or must not exist afterwards (relative to the
// distribution folder when it does not start with a drive).
struct PathCase {
    const wchar_t* typed;
    const wchar_t* refusal; // nullptr: accepted
    const wchar_t* fieldAfter;
    const wchar_t* mustExist;
    const wchar_t* mustNotExist;
};

TEST_F(Wizard, PathPageValidatesAndNormalisesTarget) {
    RemoveTree(L"C:\\a");
    const std::wstring missing = dist / L"New\\Sub";
    const std::wstring missingAfter = missing + L"\\";
    const std::wstring holterAfter = dist / L"Holter\\";
    const PathCase cases[] = {
        {L"   ", EmptyPathError.c_str(), L"   ", nullptr, nullptr},
        {L"C:", RootFolderWarning.c_str(), L"C:\\", nullptr, nullptr},
        {L"C:\\", RootFolderWarning.c_str(), L"C:\\", nullptr, nullptr},
        {L"C:\\a", nullptr, L"C:\\a\\", L"C:\\a\\Settings", nullptr},
        {L"  D:\\Data\\Holter  ", nullptr, L"D:\\Data\\Holter\\", nullptr, nullptr},
        {L"Holter", nullptr, holterAfter.c_str(), L"Holter\\Settings", nullptr},
        {missing.c_str(), nullptr, missingAfter.c_str(), nullptr, L"New"},
    };
    // Start elsewhere: relative names must still land in the installer's own folder.
    TempDir elsewhere;
    ASSERT_NO_FATAL_FAILURE(Start(elsewhere.Path()));
    ASSERT_NO_FATAL_FAILURE(GoToPathPage());
    for (const PathCase& c : cases) {
        SCOPED_TRACE(U8(std::wstring(L"typed \"") + c.typed + L"\""));
        ASSERT_NO_FATAL_FAILURE(SubmitPath(c.typed));
        if (c.refusal) {
            HWND box = nullptr;
            MessageBoxInfo info = ExpectBox(box);
            ASSERT_NE(box, nullptr);
            EXPECT_EQ(U8(info.text), U8(c.refusal));
            EXPECT_TRUE(info.hasOk && !info.hasYes && !info.hasNo);
            ASSERT_TRUE(AnswerMessageBox(box, IDOK));
            EXPECT_TRUE(WaitForPage(Page::Path));
            EXPECT_TRUE(WaitFor([&] { return FocusedControl(main) == PathField(); }, 3000))
                << "the focus belongs in the path field after a refusal";
        } else {
            ASSERT_NO_FATAL_FAILURE(AnswerOptionsWarning());
            ASSERT_TRUE(WaitForPage(Page::Options));
            ClickButton(L"Назад");
            ASSERT_TRUE(WaitForPage(Page::Path));
        }
        if (c.fieldAfter) {
            EXPECT_EQ(U8(GetText(PathField())), U8(c.fieldAfter));
        }
        if (c.mustExist) {
            std::wstring folder = c.mustExist;
            if (folder.size() < 2 || folder[1] != L':') folder = dist / folder;
            EXPECT_TRUE(PathExists(folder)) << U8(folder);
        }
        if (c.mustNotExist) {
            EXPECT_FALSE(PathExists(dist / c.mustNotExist));
        }
    }
    EXPECT_FALSE(PathExists(elsewhere / L"Holter"));
    PressCloseBox(main);
    ExpectProgramEnds();
    RemoveTree(L"C:\\a");
}

// The root-folder check looks at the folder that would be used, not at the typed text; the
// field then shows that folder. The distribution lies two levels below the root of C:, so that
// "..\.." from the installer's folder is that root.
TEST_F(Wizard, PathPageChecksTheFolderThatWillBeUsed) {
    const std::wstring top = L"C:\\" + ExtractLeaf(dist.Path());
    struct Cleanup {
        std::wstring folder;
        ~Cleanup() { RemoveTree(folder); }
    } cleanup{top};
    const std::wstring distribution = top + L"\\dist\\";
    MakeDirs(distribution);
    RemoveTree(L"C:\\Settings");
    const std::wstring holter = distribution + L"Holter\\";
    const struct {
        const wchar_t* typed;
        bool refused;
        std::wstring fieldAfter;
    } cases[] = {
        {L"..\\..", true, L"C:\\"},
        {L"C:\\.\\", true, L"C:\\"},
        {L"  C:\\Windows\\..\\ ", true, L"C:\\"},
        {L"Holter", false, holter},
    };
    ASSERT_NO_FATAL_FAILURE(Start(L"", distribution));
    ASSERT_NO_FATAL_FAILURE(GoToPathPage());
    for (const auto& c : cases) {
        SCOPED_TRACE(U8(std::wstring(L"typed \"") + c.typed + L"\""));
        ASSERT_NO_FATAL_FAILURE(SubmitPath(c.typed));
        if (c.refused) {
            HWND box = nullptr;
            EXPECT_EQ(U8(ExpectBox(box).text), U8(RootFolderWarning));
            ASSERT_NE(box, nullptr);
            ASSERT_TRUE(AnswerMessageBox(box, IDOK));
            EXPECT_TRUE(WaitForPage(Page::Path));
        } else {
            ASSERT_NO_FATAL_FAILURE(AnswerOptionsWarning());
            ASSERT_TRUE(WaitForPage(Page::Options));
            ClickButton(L"Назад");
            ASSERT_TRUE(WaitForPage(Page::Path));
        }
        EXPECT_EQ(U8(GetText(PathField())), U8(c.fieldAfter));
    }
    EXPECT_FALSE(PathExists(L"C:\\Settings")) << "the root folder got a Settings folder";
    EXPECT_TRUE(PathExists(holter + L"Settings"));
    PressCloseBox(main);
    ExpectProgramEnds();
}

BOOL CALLBACK AddControlPlace(HWND control, LPARAM layout) {
    if (!IsWindowVisible(control)) return TRUE;
    RECT r;
    GetWindowRect(control, &r);
    MapWindowPoints(nullptr, GetAncestor(control, GA_ROOT), reinterpret_cast<POINT*>(&r), 2);
    reinterpret_cast<std::vector<std::string>*>(layout)->push_back(
        U8(ClassNameOf(control) + L" \"" + GetText(control).substr(0, 24) + L"\" ") +
        std::to_string(r.left) + "," + std::to_string(r.top) + " " +
        std::to_string(r.right - r.left) + "x" + std::to_string(r.bottom - r.top));
    return TRUE;
}

// Every visible control of the window with its place in the window's client area.
std::vector<std::string> Layout(HWND main) {
    std::vector<std::string> layout;
    EnumChildWindows(main, AddControlPlace, reinterpret_cast<LPARAM>(&layout));
    return layout;
}

// The program declares itself DPI aware, so at 120 pixels per inch it sees the real resolution
// and is not stretched; its layout stays in pixels: every control of every page has the same
// place and size at 96 and at 120. Pictures of the pages (the side panel on each) and of the
// options warning at both resolutions go beside the test for a person to compare.
TEST_F(Wizard, LayoutStaysInPixelsAt96And120Dpi) {
    std::map<DWORD, std::vector<std::string>> layouts;
    std::map<DWORD, Screenshot> welcome;
    for (DWORD dpi : {96u, 120u}) {
        SCOPED_TRACE(dpi);
        LogPixelsOverride resolution(dpi);
        const std::string tag = "dpi" + std::to_string(dpi) + "_";
        std::vector<std::string>& layout = layouts[dpi];
        auto record = [&](const char* page) {
            for (const std::string& control : Layout(main))
                layout.push_back(std::string(page) + ": " + control);
            CheckScreenshot(main, (tag + page).c_str());
        };
        ASSERT_NO_FATAL_FAILURE(Start());
        record("start");
        welcome[dpi] = CaptureClient(main);
        ASSERT_NO_FATAL_FAILURE(GoToPathPage());
        record("path");
        ASSERT_NO_FATAL_FAILURE(SubmitPath(dist / L"Target"));
        HWND warning = app->WaitForTimedMessage();
        ASSERT_NE(warning, nullptr);
        WaitFor([&] { return !TimedMessageText(warning).empty(); }, 3000);
        Screenshot shot = CaptureClient(warning);
        EXPECT_TRUE(SaveBmp(shot, ScreenshotPath((tag + "warning").c_str())));
        ASSERT_TRUE(AnswerTimedMessage(warning, L"OK"));
        ASSERT_TRUE(WaitForPage(Page::Options));
        record("options");
        ClickButton(L"Отмена");
        HWND box = app->WaitForMessageBox();
        ASSERT_NE(box, nullptr);
        ASSERT_TRUE(AnswerMessageBox(box, IDYES));
        ASSERT_TRUE(WaitForPage(Page::Cancel));
        record("cancel");
        ClickButton(L"Выход");
        ExpectProgramEnds();
        app.reset();
    }
    EXPECT_EQ(layouts[96], layouts[120]);
    // The welcome page has no caret: pixel for pixel the same, the side panel's document (sized
    // in points) included.
    ASSERT_EQ(welcome[96].pixels.size(), welcome[120].pixels.size());
    size_t differing = 0;
    for (size_t i = 0; i < welcome[96].pixels.size(); ++i)
        differing += welcome[96].pixels[i] != welcome[120].pixels[i];
    EXPECT_EQ(differing, 0u) << "pixels of the welcome page that differ between 96 and 120 dpi";
}

// Cancel from each of the three pages that offer it: No changes nothing, Yes leads to the
// cancel page, whose "Выход" ends the program and leaves what the path page created.
class WizardCancel : public Wizard, public ::testing::WithParamInterface<Page> {};

TEST_P(WizardCancel, NoStaysYesLeadsToCancelPage) {
    ASSERT_NO_FATAL_FAILURE(Start());
    const Page page = GetParam();
    const std::wstring target = dist / L"Target";
    if (page == Page::Path) {
        ASSERT_NO_FATAL_FAILURE(GoToPathPage());
    } else if (page == Page::Options) {
        ASSERT_NO_FATAL_FAILURE(GoToOptionsPage(target));
    }

    for (int answer : {IDNO, IDYES}) {
        SCOPED_TRACE(answer == IDYES ? "answered Yes" : "answered No");
        ClickButton(L"Отмена");
        HWND box = nullptr;
        MessageBoxInfo info = ExpectBox(box);
        ASSERT_NE(box, nullptr);
        EXPECT_EQ(U8(info.text), U8(CancelQuestion));
        EXPECT_TRUE(info.hasYes && info.hasNo);
        ASSERT_TRUE(AnswerMessageBox(box, answer));
        ASSERT_TRUE(WaitForPage(answer == IDYES ? Page::Cancel : page));
    }
    EXPECT_NE(FindControl(main,
                          L"Установка комплекса \"Velmora\" отменена!\r\n\r\n"
                          L"Нажмите кнопку \"Выход\", для выхода из программы установки.",
                          L"Edit"),
              nullptr);
    if (page == Page::Options) CheckScreenshot(main, "cancel");
    ClickButton(L"Выход");
    ExpectProgramEnds();
    if (page == Page::Options) {
        EXPECT_TRUE(PathExists(target + L"\\Settings"));
    }
}

INSTANTIATE_TEST_SUITE_P(FromEachPage, WizardCancel,
                         ::testing::Values(Page::Start, Page::Path, Page::Options),
                         [](const auto& info) { return std::string(PageName(info.param)); });

TEST_F(Wizard, CloseBoxOnWelcomePageEndsAtOnce) {
    ASSERT_NO_FATAL_FAILURE(Start());
    PressCloseBox(main);
    ExpectProgramEnds();
}

TEST_F(Wizard, EnterPressesForwardButtonAndEscapeAsksToCancel) {
    ASSERT_NO_FATAL_FAILURE(Start());
    ASSERT_NO_FATAL_FAILURE(GoToPathPage());
    HWND field = PathField();
    ASSERT_TRUE(SetText(field, L"   "));
    PressKey(field, VK_RETURN);
    HWND box = nullptr;
    EXPECT_EQ(U8(ExpectBox(box).text), U8(EmptyPathError));
    ASSERT_NE(box, nullptr);
    ASSERT_TRUE(AnswerMessageBox(box, IDOK));

    PressKey(field, VK_ESCAPE);
    EXPECT_EQ(U8(ExpectBox(box).text), U8(CancelQuestion));
    ASSERT_NE(box, nullptr);
    ASSERT_TRUE(AnswerMessageBox(box, IDNO));
    EXPECT_TRUE(WaitForPage(Page::Path));
}

// The read-only texts (a page's text, the side panel) would close their window on Esc by
// themselves; in the wizard Esc there is "Отмена" with its question, like anywhere else.
TEST_F(Wizard, EscapeInAReadOnlyTextAsksToCancelToo) {
    ASSERT_NO_FATAL_FAILURE(Start());
    HWND memo = FindControlIf(
        main, [](HWND w) { return GetText(w).find(L"Добро пожаловать") != std::wstring::npos; });
    HWND side = FindControlIf(main, [](HWND w) {
        return ClassNameOf(w).find(L"RICHEDIT") == 0 || ClassNameOf(w).find(L"RichEdit") == 0;
    });
    ASSERT_NE(memo, nullptr);
    ASSERT_NE(side, nullptr) << "no side panel";
    for (HWND text : {memo, side}) {
        PressKey(text, VK_ESCAPE);
        HWND box = nullptr;
        EXPECT_EQ(U8(ExpectBox(box).text), U8(CancelQuestion)) << U8(ClassNameOf(text));
        ASSERT_NE(box, nullptr);
        ASSERT_TRUE(AnswerMessageBox(box, IDNO));
        EXPECT_TRUE(WaitForPage(Page::Start)) << "the page is still there";
        EXPECT_TRUE(IsWindow(main));
    }
}

// The path strip is laid out from one inset: the field starts as far from the strip's left edge
// as "Выбрать" ends from its right edge, both keep it from the top and the bottom, and the field
// fills the strip up to the button.
TEST_F(Wizard, PathStripIsEvenOnEverySide) {
    ASSERT_NO_FATAL_FAILURE(Start());
    ASSERT_NO_FATAL_FAILURE(GoToPathPage());
    HWND field = PathField();
    HWND select = FindControl(main, L"Выбрать", L"Button");
    ASSERT_NE(field, nullptr);
    ASSERT_NE(select, nullptr);
    HWND strip = GetParent(field);
    ASSERT_EQ(GetParent(select), strip);
    RECT client, f, b;
    ASSERT_TRUE(GetClientRect(strip, &client));
    ASSERT_TRUE(GetWindowRect(field, &f));
    ASSERT_TRUE(GetWindowRect(select, &b));
    MapWindowPoints(nullptr, strip, reinterpret_cast<POINT*>(&f), 2);
    MapWindowPoints(nullptr, strip, reinterpret_cast<POINT*>(&b), 2);
    const int inset = f.left;
    EXPECT_GT(inset, 0) << "the field touches the strip's frame";
    EXPECT_EQ(client.right - b.right, inset) << "\"Выбрать\" must end at the strip's right end";
    EXPECT_EQ(b.left - f.right, inset) << "the field must fill the strip up to the button";
    for (const RECT& r : {f, b}) {
        EXPECT_EQ(r.top, inset);
        EXPECT_EQ(client.bottom - r.bottom, inset);
    }
    EXPECT_EQ(b.right - b.left, 91);
    EXPECT_EQ(client.right, 619) << "the strip spans the page";
    CheckScreenshot(main, "path_strip");
}

// The options warning is owned by the application window like the main window, so it shows no
// taskbar button of its own; a picture of it goes beside the test.
TEST_F(Wizard, OptionsWarningBelongsToTheApplicationWindow) {
    ASSERT_NO_FATAL_FAILURE(Start());
    ASSERT_NO_FATAL_FAILURE(GoToPathPage());
    ASSERT_NO_FATAL_FAILURE(SubmitPath(dist / L"Target"));
    HWND warning = app->WaitForTimedMessage();
    ASSERT_NE(warning, nullptr);
    HWND application = GetWindow(main, GW_OWNER);
    ASSERT_NE(application, nullptr) << "the main window has no application window";
    EXPECT_EQ(GetWindow(warning, GW_OWNER), application);
    EXPECT_FALSE(GetWindowLongW(warning, GWL_EXSTYLE) & WS_EX_APPWINDOW);
    HWND ok = FindControl(warning, L"OK", L"Button");
    ASSERT_NE(ok, nullptr);
    // The picture shows the focus on "OK" and no default-button frame.
    ASSERT_TRUE(WaitFor([&] { return FocusedControl(warning) == ok; }, 3000));
    // Taken once the window has painted itself (right after it shows it can still be blank).
    Screenshot shot;
    EXPECT_TRUE(WaitFor([&] {
        shot = CaptureClient(warning);
        return std::set<uint32_t>(shot.pixels.begin(), shot.pixels.end()).size() > 4;
    })) << "the warning looks blank";
    EXPECT_TRUE(SaveBmp(shot, ScreenshotPath("options_warning")));
    ASSERT_TRUE(AnswerTimedMessage(warning, L"OK"));
    EXPECT_TRUE(WaitForPage(Page::Options));
}

#ifndef REFUSE_MAIN_WINDOW_DLL
#error "REFUSE_MAIN_WINDOW_DLL must name the hook library"
#endif

// Removes a window hook on every path.
class WindowHook {
public:
    WindowHook(int id, HOOKPROC proc, HMODULE module, DWORD thread)
        : hook_(SetWindowsHookExW(id, proc, module, thread)) {}
    ~WindowHook() {
        if (hook_) UnhookWindowsHookEx(hook_);
    }
    WindowHook(const WindowHook&) = delete;
    WindowHook& operator=(const WindowHook&) = delete;
    explicit operator bool() const { return hook_ != nullptr; }

private:
    HHOOK hook_;
};

// A main window that cannot be created (a hook on the installer's thread refuses it) must not
// leave an invisible process behind: the start-up error box says so, and its OK ends the program.
TEST_F(Wizard, MainWindowThatCannotBeCreatedIsReportedAndEnds) {
    HMODULE library = LoadLibraryW(WinePathFromUnix(REFUSE_MAIN_WINDOW_DLL).c_str());
    ASSERT_NE(library, nullptr);
    auto refuse = reinterpret_cast<HOOKPROC>(
        reinterpret_cast<void*>(GetProcAddress(library, "RefuseMainWindow")));
    ASSERT_NE(refuse, nullptr);
    app = std::make_unique<InstallerProcess>(dist.Path(), L"", L"", L"", true);
    ASSERT_TRUE(app->Started());
    {
        WindowHook hook(WH_CBT, refuse, library, app->ThreadId());
        ASSERT_TRUE(hook) << "cannot hook the installer's thread: " << GetLastError();
        ASSERT_TRUE(app->Resume());
        HWND box = nullptr;
        MessageBoxInfo info = ExpectBox(box);
        ASSERT_NE(box, nullptr) << "no error box";
        EXPECT_EQ(U8(info.text), U8(L"Не удалось создать главное окно программы установки"));
        EXPECT_TRUE(info.hasOk);
        EXPECT_EQ(app->WaitForMainWindow(0), nullptr);
        ASSERT_TRUE(AnswerMessageBox(box, IDOK));
        DWORD code = 0;
        EXPECT_TRUE(app->WaitForExit(DefaultTimeoutMs, &code)) << "the installer did not end";
        EXPECT_EQ(code, 1u);
    }
    app.reset();
    FreeLibrary(library);
}

// ---- The wizard by keyboard -------------------------------------------------------------------

// Where a key is typed: a page's read-only text, the path field, a button of the page (by its
// caption) or the side panel.
enum class From { Text, Field, Button, Side };

// What the key must do: press a button that leads to another page (or, from the options page,
// runs the installation to its closing question), ask the cancel question, do nothing, move the
// focus, end the program, or close the options warning.
enum class Effect { Moves, Asks, Nothing, Focus, Ends, Closes };

struct KeyCase {
    Page page;
    From from;
    const wchar_t* button; // for From::Button
    UINT key;
    Effect effect;
    Page after = Page::Unknown; // for Effect::Moves
    const wchar_t* focus =
        nullptr; // for Effect::Focus: the caption that gets it; L"" the path field
};

const char* KeyName(UINT key) {
    switch (key) {
    case VK_RETURN:
        return "Enter";
    case VK_ESCAPE:
        return "Esc";
    case VK_TAB:
        return "Tab";
    case VK_SPACE:
        return "Space";
    default:
        return "?";
    }
}

const char* FromName(From from) {
    switch (from) {
    case From::Text:
        return "page text";
    case From::Field:
        return "path field";
    case From::Button:
        return "button";
    default:
        return "side panel";
    }
}

bool IsPageText(HWND wnd) {
    return lstrcmpiW(ClassNameOf(wnd).c_str(), L"Edit") == 0 &&
           (GetWindowLongW(wnd, GWL_STYLE) & ES_READONLY);
}

bool IsSidePanel(HWND wnd) {
    return _wcsnicmp(ClassNameOf(wnd).c_str(), L"RichEdit", 8) == 0;
}

const wchar_t* const DriverQuestion = L"Подключите интерфейсный блок и нажмите \"Yes\"?";
const wchar_t* const ExitQuestion = L"Установка завершена. Выйти из программы установки?";
const wchar_t* const DriverOption = L"Устанавливать драйвер";

// Runs through the rows in their order, reusing the running installer while it can reach the
// next row's page by going forward (or back from the options page), and starting it again
// otherwise. The installation runs at 120 pixels per inch to end on the progress page with its
// closing question, at 96 to end on the large-font page.
class WizardKeyboard : public Wizard {
protected:
    LogPixelsOverride dpi;
    DWORD runDpi = 0;
    int runs = 0;

    void SetUp() override {
        DistributionOptions options;
        options.Omit = {L"fonts"}; // the tests leave the prefix's fonts alone
        ASSERT_NO_THROW(MakeDistribution(dist.Path(), options));
    }
    void TearDown() override {
        app.reset();
        DeleteFileW((DesktopFolder() + L"\\Velmora.lnk").c_str());
    }

    bool WarningShown() const { return app && app->WaitForTimedMessage(0) != nullptr; }

    Page Where() const {
        if (!app || !app->Running()) return Page::Unknown;
        return WarningShown() ? Page::Warning : CurrentPage();
    }

    void Restart(DWORD pixelsPerInch) {
        app.reset();
        dpi.Set(pixelsPerInch);
        runDpi = pixelsPerInch;
        ASSERT_NO_FATAL_FAILURE(Start());
    }

    // The run behind "Начать установку" (driver box cleared) up to where it leaves the wizard:
    // the large-font page, or the progress page once its closing question is answered No.
    void Install() {
        HWND driver = WaitForControl(main, DriverOption, L"Button");
        ASSERT_NE(driver, nullptr);
        if (IsChecked(driver)) {
            ASSERT_TRUE(Click(driver));
            ASSERT_TRUE(WaitFor([&] { return !IsChecked(driver); }));
        }
        ClickButton(L"Начать установку");
        ASSERT_NO_FATAL_FAILURE(FinishRun());
    }

    // The driver question, when the box was left ticked, is answered No.
    void FinishRun() {
        const DWORD runTimeoutMs = 180000;
        const Page end = runDpi == 96 ? Page::ChangeFont : Page::Progress;
        for (;;) {
            HWND box = nullptr;
            ASSERT_TRUE(WaitFor(
                [&] {
                    box = app->WaitForMessageBox(0);
                    return box || (end == Page::ChangeFont && CurrentPage() == end);
                },
                runTimeoutMs))
                << "the run did not come to its end";
            if (!box) return;
            std::wstring text = ReadMessageBox(box).text;
            if (text == DriverQuestion) {
                ASSERT_TRUE(AnswerMessageBox(box, IDNO));
                continue;
            }
            ASSERT_EQ(U8(text), U8(ExitQuestion));
            ASSERT_TRUE(AnswerMessageBox(box, IDNO));
            ASSERT_TRUE(WaitForPage(Page::Progress));
            return;
        }
    }

    // One step from the current page toward `target`; false when only a new start gets there.
    bool Step(Page target) {
        switch (Where()) {
        case Page::Start:
            if (target == Page::Cancel) {
                ClickButton(L"Отмена");
                HWND box = app->WaitForMessageBox();
                return box && AnswerMessageBox(box, IDYES) && WaitForPage(Page::Cancel);
            }
            ClickButton(L"Далее");
            return WaitForPage(Page::Path);
        case Page::Path:
            if (target == Page::Start || target == Page::Cancel) return false;
            EXPECT_TRUE(SetText(PathField(), dist / (L"Target" + std::to_wstring(++runs))));
            ClickButton(L"Далее");
            return app->WaitForTimedMessage() != nullptr;
        case Page::Warning:
            if (target == Page::Warning) return true;
            AnswerOptionsWarning();
            return WaitForPage(Page::Options);
        case Page::Options:
            if (target == Page::Path || target == Page::Warning) {
                ClickButton(L"Назад");
                return WaitForPage(Page::Path);
            }
            if (target != Page::Progress && target != Page::ChangeFont) return false;
            Install();
            return !HasFatalFailure();
        default:
            return false;
        }
    }

    void Reach(Page target) {
        const DWORD wanted = target == Page::ChangeFont ? 96 : 120;
        if (runDpi != wanted) {
            ASSERT_NO_FATAL_FAILURE(Restart(wanted));
        }
        for (int steps = 0; Where() != target; ++steps) {
            ASSERT_LT(steps, 8) << "cannot reach the " << PageName(target) << " page";
            if (!Step(target)) {
                ASSERT_NO_FATAL_FAILURE(Restart(wanted));
            }
            ASSERT_FALSE(HasFatalFailure());
        }
    }

    HWND Source(const KeyCase& c) const {
        switch (c.from) {
        case From::Text:
            return FindControlIf(main, IsPageText);
        case From::Field:
            return PathField();
        case From::Button:
            return FindControl(main, c.button, L"Button");
        default:
            return FindControlIf(main, IsSidePanel);
        }
    }

    void Check(const KeyCase& c) {
        ASSERT_NO_FATAL_FAILURE(Reach(c.page));
        HWND target = main;
        if (c.page == Page::Warning) {
            // Nobody gives the focus here: the window must have put it on "OK" itself.
            target = app->WaitForTimedMessage();
            ASSERT_NE(target, nullptr);
            HWND ok = FindControl(target, L"OK", L"Button");
            ASSERT_NE(ok, nullptr);
            EXPECT_TRUE(WaitFor([&] { return FocusedControl(target) == ok; }, 3000))
                << "the options warning opens with the focus on no button";
            EXPECT_EQ(GetWindowLongW(ok, GWL_STYLE) & BS_TYPEMASK, BS_PUSHBUTTON)
                << "\"OK\" is framed as the default button";
        } else {
            HWND source = Source(c);
            ASSERT_NE(source, nullptr) << "no " << FromName(c.from) << " on the page";
            ASSERT_TRUE(FocusControl(source));
        }
        ASSERT_NE(TypeKey(target, c.key), nullptr);
        switch (c.effect) {
        case Effect::Moves:
            if (c.after == Page::Options) {
                ASSERT_NO_FATAL_FAILURE(AnswerOptionsWarning());
            } else if (c.after == Page::Progress || c.after == Page::ChangeFont) {
                ASSERT_NO_FATAL_FAILURE(FinishRun());
            }
            EXPECT_TRUE(WaitForPage(c.after));
            break;
        case Effect::Asks: {
            HWND box = nullptr;
            EXPECT_EQ(U8(ExpectBox(box).text), U8(CancelQuestion));
            ASSERT_NE(box, nullptr);
            ASSERT_TRUE(AnswerMessageBox(box, IDNO));
            EXPECT_TRUE(WaitForPage(c.page));
            break;
        }
        case Effect::Nothing:
            EXPECT_EQ(app->WaitForMessageBox(700), nullptr);
            EXPECT_EQ(Where(), c.page);
            break;
        case Effect::Focus: {
            HWND expected = *c.focus ? FindControl(main, c.focus, L"Button") : PathField();
            ASSERT_NE(expected, nullptr);
            EXPECT_TRUE(WaitFor([&] { return FocusedControl(main) == expected; }, 3000))
                << "the focus is on " << U8(ClassNameOf(FocusedControl(main))) << " \""
                << U8(GetText(FocusedControl(main))) << "\"";
            break;
        }
        case Effect::Ends: {
            DWORD code = 1;
            ASSERT_TRUE(app->WaitForExit(DefaultTimeoutMs, &code)) << "the installer did not end";
            EXPECT_EQ(code, 0u);
            break;
        }
        case Effect::Closes:
            EXPECT_TRUE(WaitFor([&] { return !IsWindow(target) || !IsWindowVisible(target); }));
            EXPECT_TRUE(WaitForPage(Page::Options));
            break;
        }
    }
};

KeyCase Goes(Page page, From from, UINT key, Page after, const wchar_t* button = nullptr) {
    return {page, from, button, key, Effect::Moves, after};
}
KeyCase Does(Page page, From from, UINT key, Effect effect, const wchar_t* button = nullptr) {
    return {page, from, button, key, effect};
}
KeyCase Tabs(Page page, From from, const wchar_t* to, const wchar_t* button = nullptr) {
    return {page, from, button, VK_TAB, Effect::Focus, Page::Unknown, to};
}

TEST_F(WizardKeyboard, EnterEscAndTabFromEveryKindOfControlOnEveryPage) {
    using enum Page;
    using enum From;
    using enum Effect;
    const wchar_t* const exit = L"Выход";
    const wchar_t* const cancel = L"Отмена";
    const wchar_t* const change = L"Изменить настройки";
    // In the order they run: rows that leave the page where it is come before the one that
    // leaves it, so that one start of the installer serves as many rows as it can.
    const KeyCase cases[] = {
        Tabs(Start, Text, cancel),
        Tabs(Start, Side, cancel),
        Tabs(Start, Button, L"Далее", cancel),
        Does(Start, Text, VK_ESCAPE, Asks),
        Does(Start, Side, VK_ESCAPE, Asks),
        Does(Start, Button, VK_ESCAPE, Asks, cancel),
        Does(Start, Button, VK_RETURN, Asks, cancel), // Enter presses the focused button
        Goes(Start, Text, VK_RETURN, Path),

        Tabs(Path, Text, L""),
        Tabs(Path, Side, L""),
        Tabs(Path, Field, L"Выбрать"),
        Tabs(Path, Button, L"Далее", cancel),
        Does(Path, Text, VK_ESCAPE, Asks),
        Does(Path, Side, VK_ESCAPE, Asks),
        Does(Path, Field, VK_ESCAPE, Asks),
        Does(Path, Button, VK_ESCAPE, Asks, cancel),
        Does(Path, Button, VK_RETURN, Asks, cancel),
        Goes(Path, Text, VK_RETURN, Options),

        Tabs(Options, Text, DriverOption),
        Tabs(Options, Side, DriverOption),
        Tabs(Options, Button, L"Начать установку", L"Назад"),
        Does(Options, Text, VK_ESCAPE, Asks),
        Does(Options, Side, VK_ESCAPE, Asks),
        Does(Options, Button, VK_ESCAPE, Asks, L"Назад"),
        Goes(Options, Button, VK_RETURN, Path, L"Назад"),
        Goes(Options, Text, VK_RETURN, Progress),

        Tabs(Progress, Side, exit),
        Tabs(Progress, Button, exit, exit),
        Does(Progress, Side, VK_ESCAPE, Nothing),
        Does(Progress, Button, VK_ESCAPE, Nothing, exit),
        Does(Progress, Side, VK_RETURN, Ends),

        Goes(Start, Side, VK_RETURN, Path),
        Goes(Path, Field, VK_RETURN, Options),
        Goes(Options, Side, VK_RETURN, Progress),
        Does(Progress, Button, VK_RETURN, Ends, exit),
        Goes(Start, Button, VK_RETURN, Path, L"Далее"),
        Goes(Path, Side, VK_RETURN, Options),
        Goes(Options, Button, VK_RETURN, Progress, L"Начать установку"),

        // The options warning, its focus on "OK" from the start.
        Does(Warning, Button, VK_RETURN, Closes),
        Does(Warning, Button, VK_SPACE, Closes),
        Does(Warning, Button, VK_ESCAPE, Closes),

        Tabs(Cancel, Text, exit),
        Tabs(Cancel, Side, exit),
        Tabs(Cancel, Button, exit, exit),
        Does(Cancel, Text, VK_ESCAPE, Nothing),
        Does(Cancel, Side, VK_ESCAPE, Nothing),
        Does(Cancel, Button, VK_ESCAPE, Nothing, exit),
        Does(Cancel, Text, VK_RETURN, Ends),
        Does(Cancel, Side, VK_RETURN, Ends),
        Does(Cancel, Button, VK_RETURN, Ends, exit),

        Tabs(ChangeFont, Text, change),
        Tabs(ChangeFont, Side, change),
        Tabs(ChangeFont, Button, change, exit),
        Does(ChangeFont, Text, VK_ESCAPE, Nothing),
        Does(ChangeFont, Side, VK_ESCAPE, Nothing),
        Does(ChangeFont, Button, VK_ESCAPE, Nothing, exit),
        // Enter leaves rather than changing a system-wide setting.
        Does(ChangeFont, Text, VK_RETURN, Ends),
        Does(ChangeFont, Side, VK_RETURN, Ends),
        Does(ChangeFont, Button, VK_RETURN, Ends, exit),
    };
    for (const KeyCase& c : cases) {
        SCOPED_TRACE(c.page == Warning
                         ? std::string(KeyName(c.key)) + " on the options warning"
                         : std::string(KeyName(c.key)) + " from the " + FromName(c.from) +
                               (c.button ? " \"" + U8(c.button) + "\"" : std::string()) +
                               " on the " + PageName(c.page) + " page");
        ASSERT_NO_FATAL_FAILURE(Check(c));
    }
}

} // namespace
