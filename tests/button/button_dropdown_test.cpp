// The drop-down menu of a real styled button in Xvfb. While the button's thread is inside
// the menu's tracking loop, a second thread looks at the screen and types or clicks with
// real X input.
#include "ButtonFixture.h"
#include "WaitFor.h"
#include "dropdown_test_ids.h"

#include <atomic>
#include <functional>
#include <string>
#include <thread>

namespace {

// Shows the drop-down menu it holds.
class DropDownButton : public CStyledButton {
  public:
    GlyphMenu& DropMenu() { return m_dropMenu; }
};

class DropDownDialog : public CDialog {
  public:
    DropDownDialog() : CDialog(IDD_DROPDOWN) {}

    DropDownButton m_menuButton;
    CStyledButton m_plainButton;
    // "click <id>" when the dialog's own handler ran, "command <id> <code>" for a
    // WM_COMMAND without a control.
    std::vector<std::string> log;

    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override {
        if (message == WM_COMMAND && lParam == 0)
            log.push_back("command " + std::to_string(LOWORD(wParam)) + " " +
                          std::to_string(HIWORD(wParam)));
        return CDialog::WindowProc(message, wParam, lParam);
    }

  protected:
    void DoDataExchange(CDataExchange* dx) override {
        DDX_Control(dx, IDC_DD_MENU, m_menuButton);
        DDX_Control(dx, IDC_DD_PLAIN, m_plainButton);
    }
    void OnOK() override {}
    void OnCancel() override {}
    void OnClicked(UINT id) { log.push_back("click " + std::to_string(id)); }

    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(DropDownDialog, CDialog)
ON_CONTROL_RANGE(BN_CLICKED, IDC_DD_MENU, IDC_DD_PLAIN, &DropDownDialog::OnClicked)
END_MESSAGE_MAP()

HWND VisiblePopup() {
    HWND popup = ::FindWindowA("#32768", nullptr);
    return popup != nullptr && ::IsWindowVisible(popup) ? popup : nullptr;
}

// What the driver thread saw while the menu was open.
struct Seen {
    bool popupOpened = false;
    RECT popup{};
    bool pressedWhileOpen = false;
    bool screenshot = false;
    bool inputSent = false;
    bool popupClosed = false;
};

// The pressed 3-D look is a one-pixel shadow frame, inside the black focus frame when the
// button has the focus; the raised look starts with the highlight bevel there instead.
bool PaintsPressed(HWND button) {
    HDC dc = ::GetDC(button);
    const COLORREF outer = ::GetPixel(dc, 0, 0), inner = ::GetPixel(dc, 1, 1);
    ::ReleaseDC(button, dc);
    const COLORREF shadow = ::GetSysColor(COLOR_BTNSHADOW);
    return outer == shadow || (outer == RGB(0, 0, 0) && inner == shadow);
}

class DropDown : public DialogTest<DropDownDialog> {
  protected:
    void SetUp() override {
        DialogTest::SetUp();
        ASSERT_FALSE(HasFatalFailure());
        ASSERT_TRUE(m_dlg->m_menuButton.SetDropDownMenu(IDM_DROPDOWN, m_dlg->m_hWnd));
    }
    void TearDown() override {
        GlyphMenu::s_osKind = m_osKind;
        DialogTest::TearDown();
    }

    // Clicks the button, waits for the popup, checks the pressed look, optionally takes a
    // screenshot, then runs input (xdotool arguments built from the popup's rectangle).
    // This thread keeps pumping messages, and so runs the menu, until it is all done.
    Seen OpenAndDrive(HWND button, const std::function<std::string(const RECT&)>& input,
                      const std::string& screenshot = "") {
        Seen seen;
        std::atomic<bool> done{false};
        const std::string click = "mousemove 0 0 " + MoveToCentre(button) + " click 1";
        std::thread driver([&] {
            if (XdoTool(click)) {
                seen.popupOpened = WaitFor([] { return VisiblePopup() != nullptr; });
                if (HWND popup = VisiblePopup())
                    ::GetWindowRect(popup, &seen.popup);
                seen.pressedWhileOpen = WaitFor([&] { return PaintsPressed(button); });
                if (!screenshot.empty())
                    seen.screenshot =
                        HostCommand("/usr/bin/import -window root '" +
                                    std::string(KESTREL_TEST_BINARY_DIR) + "/" + screenshot + "'");
                seen.inputSent = XdoTool(input(seen.popup));
                seen.popupClosed = WaitFor([] { return VisiblePopup() == nullptr; });
            }
            done = true;
        });
        const bool finished = WaitFor([&] { return done.load(); }, 120000);
        driver.join();
        EXPECT_TRUE(finished);
        return seen;
    }

    INT32 m_osKind = GlyphMenu::s_osKind;
};

std::string Command(int id, int code = 0) {
    return "command " + std::to_string(id) + " " + std::to_string(code);
}

// Opens the menu in each style and chooses by mnemonic, by a click on an item, or nothing.
// A marker posted afterwards arrives after anything the menu posted, so the log shows all.
TEST_F(DropDown, MenuOpensUnderTheButtonAndPostsTheChoice) {
    struct Case {
        const char* name;
        INT32 osKind;
        const char* screenshot;
        int itemHeight, separatorHeight;
        std::function<std::string(const RECT&)> input;
        std::vector<std::string> posted;
    };
    auto key = [](const char* name) { return [name](const RECT&) { return std::string(name); }; };
    // The middle of the first item, right of the glyph column.
    auto firstItem = [](const RECT& popup) {
        return "mousemove --sync " + std::to_string(popup.left + 60) + " " +
               std::to_string(popup.top + 3 + 11) + " click 1";
    };
    // "&Save" answers "s" through HandleMenuChar.
    const Case cases[] = {
        {"classic, mnemonic",
         OS_NT_OTHER,
         "dropdown-classic.png",
         19,
         9,
         key("key s"),
         {Command(ID_DD_SAVE)}},
        {"flat, mnemonic",
         OS_WINXP,
         "dropdown-flat.png",
         22,
         11,
         key("key s"),
         {Command(ID_DD_SAVE)}},
        {"flat, click", OS_WINXP, "", 22, 11, firstItem, {Command(ID_DD_OPEN)}},
        {"flat, escape", OS_WINXP, "", 22, 11, key("key Escape"), {}},
    };
    const HWND button = m_dlg->m_menuButton.m_hWnd;
    RECT rcButton{};
    ::GetWindowRect(button, &rcButton);
    int classicHeight = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        GlyphMenu::s_osKind = c.osKind;
        m_dlg->log.clear();
        const Seen seen = OpenAndDrive(button, c.input, c.screenshot);
        ASSERT_TRUE(seen.popupOpened);
        EXPECT_EQ(seen.popup.left, rcButton.left) << Describe(seen.popup);
        EXPECT_EQ(seen.popup.top, rcButton.bottom) << Describe(seen.popup);
        EXPECT_TRUE(seen.pressedWhileOpen);
        EXPECT_EQ(seen.screenshot, *c.screenshot != '\0');
        EXPECT_TRUE(seen.inputSent);
        EXPECT_TRUE(seen.popupClosed);

        ASSERT_TRUE(WaitFor([this] { return !m_dlg->log.empty(); }));
        m_dlg->PostMessage(WM_COMMAND, MAKEWPARAM(1, 7), 0);
        std::vector<std::string> expected = {"click " + std::to_string(IDC_DD_MENU)};
        expected.insert(expected.end(), c.posted.begin(), c.posted.end());
        expected.push_back(Command(1, 7));
        ASSERT_TRUE(WaitFor([&] { return m_dlg->log.size() >= expected.size(); }));
        EXPECT_EQ(m_dlg->log, expected);
        EXPECT_TRUE(WaitFor([&] { return !PaintsPressed(button); }))
            << "paints as before once the menu is closed";

        // The items were measured by the menu in its style: three items and a separator.
        const int height = seen.popup.bottom - seen.popup.top;
        if (c.osKind == OS_NT_OTHER)
            classicHeight = height;
        else
            EXPECT_EQ(height - classicHeight, 3 * (c.itemHeight - 19) + (c.separatorHeight - 9));
        EXPECT_GE(height, 3 * c.itemHeight + c.separatorHeight);
    }
}

TEST_F(DropDown, ButtonWithoutAMenuOnlyClicks) {
    ASSERT_TRUE(XdoTool("mousemove 0 0 " + MoveToCentre(m_dlg->m_plainButton.m_hWnd) + " click 1"));
    ASSERT_TRUE(WaitFor([this] { return !m_dlg->log.empty(); }));
    EXPECT_EQ(VisiblePopup(), nullptr);
    m_dlg->PostMessage(WM_COMMAND, MAKEWPARAM(1, 7), 0);
    ASSERT_TRUE(WaitFor([this] { return m_dlg->log.size() >= 2; }));
    EXPECT_EQ(m_dlg->log,
              (std::vector<std::string>{"click " + std::to_string(IDC_DD_PLAIN), Command(1, 7)}));
}

// The popup item's id is its sub-menu's handle; the button measures it with its own menu
// when no menu lists the record (the window's own route declined it).
TEST_F(DropDown, ButtonMeasuresRegisteredPopupItems) {
    GlyphMenu::s_osKind = OS_NT_OTHER;
    CMenu* drop = m_dlg->m_menuButton.DropMenu().GetSubMenu(0);
    ASSERT_NE(drop, nullptr);
    CMenu* more = drop->GetSubMenu(3);
    ASSERT_NE(more, nullptr);
    ASSERT_TRUE(GlyphMenu::IsRegisteredMenu(more->GetSafeHmenu()));
    GlyphMenuItem unlisted;
    unlisted.SetTextWide(L"More");
    MEASUREITEMSTRUCT mis{};
    mis.CtlType = ODT_MENU;
    mis.itemID = static_cast<UINT>(reinterpret_cast<UINT_PTR>(more->GetSafeHmenu()));
    mis.itemData = reinterpret_cast<ULONG_PTR>(&unlisted);
    m_dlg->m_menuButton.SendMessage(WM_MEASUREITEM, 0, reinterpret_cast<LPARAM>(&mis));
    EXPECT_EQ(mis.itemHeight, 19u);
    EXPECT_GT(mis.itemWidth, 33u);

    MEASUREITEMSTRUCT plain{};
    plain.CtlType = ODT_MENU;
    plain.itemID = ID_DD_OPEN;
    plain.itemData = reinterpret_cast<ULONG_PTR>(&unlisted);
    m_dlg->m_menuButton.SendMessage(WM_MEASUREITEM, 0, reinterpret_cast<LPARAM>(&plain));
    EXPECT_EQ(plain.itemHeight, 0u) << "not a popup handle: left to the default";
}

} // namespace
