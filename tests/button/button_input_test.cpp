// The button under input as the user gives it, through the system's queue: clicks and
// double clicks, the pointer leaving, the tooltip shown through the framework's modal loop,
// the drop-down menu, and the link opened through the shell.

#include "ButtonFixture.h"

#include "MessageBoxWatcher.h"
#include "WaitFor.h"

#include <algorithm>
#include <atomic>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

namespace {

// A document of a test type that the shell opens with the probe, which notes its verb
// and show command in "<document>.out". The type's default verb is not "open".
std::string MakeDocument(const char* name) {
    std::string probe = "Z:" KESTREL_LINK_PROBE;
    std::replace(probe.begin(), probe.end(), '/', '\\');
    auto set = [](const std::string& key, const std::string& value) {
        ::RegSetKeyValueA(HKEY_CLASSES_ROOT, key.c_str(), nullptr, REG_SZ, value.c_str(),
                          static_cast<DWORD>(value.size() + 1));
    };
    set(".kestreltest", "Kestrel.TestDocument");
    set("Kestrel.TestDocument\\shell", "other");
    for (const std::string verb : {"open", "other"})
        set("Kestrel.TestDocument\\shell\\" + verb + "\\command",
            "\"" + probe + "\" \"%1\" " + verb);
    char dir[MAX_PATH] = {};
    ::GetTempPathA(MAX_PATH, dir);
    const std::string path = std::string(dir) + name + ".kestreltest";
    std::ofstream{path};
    ::DeleteFileA((path + ".out").c_str());
    return path;
}

std::string ReadFile(const std::string& path) {
    std::ostringstream text;
    text << std::ifstream(path).rdbuf();
    return text.str();
}

using ButtonInput = ButtonDialogTest;

// A click toggles the check box and still reaches the parent; a double click counts as two.
TEST_F(ButtonInput, ClicksToggleAndDoubleClickCountsAsTwo) {
    for (CountingButton* b : {&m_dlg->m_check, &m_dlg->m_plain}) {
        const UINT id = static_cast<UINT>(b->GetDlgCtrlID());
        m_dlg->log.clear();
        MovePointerTo(b->m_hWnd);
        ClickLeft(2);
        EXPECT_TRUE(WaitFor([&] { return m_dlg->log.size() >= 2; }));
        EXPECT_EQ((std::vector<UINT>{id, id}), m_dlg->log);
        EXPECT_EQ(1, b->doubleClicks) << "the system saw a double click";
    }
    EXPECT_EQ(0, m_dlg->m_check.GetCheckState()) << "toggled twice";
}

// When the pointer moves on to another window, only the platform's leave notice can end
// the hovering.
TEST_F(ButtonInput, HoverEndsWhenThePointerLeaves) {
    auto hovering = [&] { return StyledButtonProbe::Hovering(m_dlg->m_flat) != FALSE; };
    MovePointerTo(m_dlg->m_flat.m_hWnd);
    ASSERT_TRUE(WaitFor(hovering));
    MovePointerTo(::GetDlgItem(m_dlg->m_hWnd, IDC_SB_EDIT));
    EXPECT_TRUE(WaitFor([&] { return !hovering(); }));
}

// The framework's modal loop hands the pointer's messages to the button, which relays them
// to its tooltip: the tip shows.
TEST(ButtonModal, TipShowsThroughTheModalLoop) {
    ButtonDialog dlg;
    std::atomic<HWND> button{nullptr}, tip{nullptr};
    dlg.onInit = [&] {
        dlg.m_plain.SetTipText("tip");
        tip = StyledButtonProbe::Tip(dlg.m_plain);
        button = dlg.m_plain.m_hWnd;
    };
    std::atomic<bool> shown{false};
    std::thread driver([&] {
        if (WaitFor([&] { return button && ::IsWindowVisible(button); })) {
            MovePointerTo(button);
            shown = WaitFor([&] { return ::IsWindowVisible(tip) != FALSE; });
        }
        ::PostMessageA(::GetParent(button), WM_COMMAND, IDCANCEL, 0);
    });
    dlg.DoModal();
    driver.join();
    EXPECT_TRUE(shown);
}

// A click serves check-box mode first, then the drop-down menu, then the link. The menu
// opens under the button, which looks pressed meanwhile, and the chosen command reaches the
// target after the click has reached the parent. The link is opened with "open", maximized,
// and fails without a word when it cannot be.
TEST_F(ButtonInput, ClickServesCheckBoxThenDropDownThenLink) {
    const std::string document = MakeDocument("precedence");
    ButtonDialog& d = *m_dlg;
    for (CStyledButton* b : {&d.m_check, &d.m_next, &d.m_link})
        b->SetLink(document.c_str());
    ASSERT_TRUE(d.m_check.SetDropDownMenu(IDM_DROPDOWN, d.m_hWnd));
    ASSERT_TRUE(d.m_next.SetDropDownMenu(IDM_DROPDOWN, d.m_hWnd));
    auto pressed = [&] {
        HDC dc = ::GetDC(d.m_next.m_hWnd);
        const COLORREF corner = ::GetPixel(dc, 0, 0);
        ::ReleaseDC(d.m_next.m_hWnd, dc);
        return corner == ::GetSysColor(COLOR_BTNSHADOW); // the flat look's sunken edge
    };
    // Chooses "&Save" by its mnemonic in every popup that opens, noting where and how.
    std::atomic<bool> stop{false};
    std::atomic<int> popups{0};
    RECT popupRect{};
    bool pressedWhileOpen = false;
    std::thread chooser([&] {
        while (!stop) {
            HWND popup = ::FindWindowA("#32768", nullptr);
            if (popup != nullptr && ::IsWindowVisible(popup)) {
                ::GetWindowRect(popup, &popupRect);
                pressedWhileOpen = WaitFor(pressed);
                ++popups;
                PressKey('S');
                WaitFor([&] { return !::IsWindowVisible(popup); });
            }
            ::Sleep(10);
        }
    });
    d.m_check.SendMessage(BM_CLICK);
    EXPECT_EQ(0, popups.load()) << "check-box mode comes first";
    EXPECT_EQ(1, d.m_check.GetCheckState());
    d.m_next.SendMessage(BM_CLICK);
    EXPECT_EQ(1, popups.load());
    d.m_link.SendMessage(BM_CLICK);
    stop = true;
    chooser.join();

    RECT button;
    ::GetWindowRect(d.m_next.m_hWnd, &button);
    EXPECT_EQ(button.left, popupRect.left);
    EXPECT_EQ(button.bottom, popupRect.top);
    EXPECT_TRUE(pressedWhileOpen);
    EXPECT_TRUE(WaitFor([&] { return !pressed(); }));
    ASSERT_TRUE(WaitFor([&] { return d.log.size() >= 4; }));
    EXPECT_EQ((std::vector<UINT>{IDC_SB_CHECK, IDC_SB_NEXT, IDC_SB_LINK, ID_DD_SAVE}), d.log);
    EXPECT_TRUE(WaitFor([&] { return !ReadFile(document + ".out").empty(); }));
    EXPECT_EQ("open 3\n", ReadFile(document + ".out")) << "opened once, by the link button";

    MessageBoxWatcher watcher;
    d.m_link.SetLink((document + ".missing").c_str());
    d.m_link.SendMessage(BM_CLICK);
    EXPECT_TRUE(watcher.Seen().empty()) << "a link that cannot be opened says nothing";
}

} // namespace
