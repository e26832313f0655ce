// The button with the system around it: the real pointer leaving, the tooltip shown through
// the framework's modal loop, and what a click opens: the drop-down menu or the link.

#include "ButtonFixture.h"

#include "MessageBoxWatcher.h"
#include "WaitFor.h"

#include <shellapi.h>

#include <atomic>
#include <string>
#include <thread>

extern "C" BOOL(WINAPI* __imp_ShellExecuteExA)(SHELLEXECUTEINFOA*);

namespace {

// What the button asked the shell to open: record size, mask, verb, file, show command.
std::vector<std::string> g_opened;
BOOL(WINAPI* g_shellExecuteEx)(SHELLEXECUTEINFOA*) = __imp_ShellExecuteExA;
BOOL WINAPI WatchingShellExecuteEx(SHELLEXECUTEINFOA* sei) {
    g_opened.push_back(std::to_string(sei->cbSize) + " " + std::to_string(sei->fMask) + " " +
                       (sei->lpVerb ? sei->lpVerb : "(none)") + " " + sei->lpFile + " " +
                       std::to_string(sei->nShow));
    return g_shellExecuteEx(sei);
}

using ButtonInput = ButtonDialogTest;

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
// target after the click has reached the parent. The link is opened silently, maximized.
TEST_F(ButtonInput, ClickServesCheckBoxThenDropDownThenLink) {
    ButtonDialog& d = *m_dlg;
    const char* link = "Z:\\no\\such\\document.txt";
    for (CStyledButton* b : {&d.m_check, &d.m_next, &d.m_plain})
        b->SetLink(link);
    ASSERT_TRUE(d.m_check.SetDropDownMenu(IDM_DROPDOWN, d.m_hWnd));
    ASSERT_TRUE(d.m_next.SetDropDownMenu(IDM_DROPDOWN, d.m_hWnd));
    auto pressed = [&] { // the flat look's sunken edge
        HDC dc = ::GetDC(d.m_next.m_hWnd);
        const COLORREF corner = ::GetPixel(dc, 0, 0);
        ::ReleaseDC(d.m_next.m_hWnd, dc);
        return corner == ::GetSysColor(COLOR_BTNSHADOW);
    };
    // Chooses "&Save" by its mnemonic in every popup that opens, noting where and how.
    std::atomic<bool> stop{false};
    std::atomic<int> popups{0};
    RECT popupRect{};
    bool pressedWhileOpen = false;
    std::thread chooser([&] {
        for (; !stop; ::Sleep(10))
            if (HWND popup = ::FindWindowA("#32768", nullptr); popup && ::IsWindowVisible(popup)) {
                ::GetWindowRect(popup, &popupRect);
                pressedWhileOpen = WaitFor(pressed);
                ++popups;
                ::PostMessageA(popup, WM_CHAR, 's', 0);
                WaitFor([&] { return !::IsWindowVisible(popup); });
            }
    });
    ReplaceImport(&__imp_ShellExecuteExA, &WatchingShellExecuteEx);
    MessageBoxWatcher watcher; // a failure box would hold the click up
    d.m_check.SendMessage(BM_CLICK);
    EXPECT_EQ(0, popups.load()) << "check-box mode comes first";
    EXPECT_EQ(1, d.m_check.GetCheckState());
    d.m_next.SendMessage(BM_CLICK);
    EXPECT_EQ(1, popups.load());
    d.m_plain.SendMessage(BM_CLICK);
    ReplaceImport(&__imp_ShellExecuteExA, g_shellExecuteEx);
    stop = true;
    chooser.join();

    // 112: the record's size on x64.
    EXPECT_EQ(std::vector<std::string>{std::string("112 1024 open ") + link + " 3"}, g_opened);
    EXPECT_TRUE(watcher.Seen().empty());
    RECT button;
    ::GetWindowRect(d.m_next.m_hWnd, &button);
    EXPECT_EQ(button.left, popupRect.left);
    EXPECT_EQ(button.bottom, popupRect.top);
    EXPECT_TRUE(pressedWhileOpen);
    EXPECT_TRUE(WaitFor([&] { return !pressed(); }));
    ASSERT_TRUE(WaitFor([&] { return d.log.size() >= 4; }));
    EXPECT_EQ((std::vector<UINT>{IDC_SB_CHECK, IDC_SB_NEXT, IDC_SB_PLAIN, ID_DD_SAVE}), d.log);
}

} // namespace
