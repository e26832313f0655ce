// Strings, run-time classes, the application title, worker threads and the
// socket library start.
#include "CButton.h"
#include "CDialog.h"
#include "CWinApp.h"
#include "SocketStart.h"
#include "WorkerThread.h"
#include "framework_test_ids.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>

namespace {

TEST(CString, EditingAndFormatting) {
    CString s("第1路");
    EXPECT_EQ(s.GetLength(), 5); // GBK: two bytes per Chinese character
    s += "x";
    EXPECT_TRUE(s == "第1路x");
    EXPECT_TRUE(s.Left(2) == "第");
    EXPECT_TRUE(s.Mid(2, 1) == "1");
    EXPECT_TRUE(s.Mid(99).IsEmpty());
    EXPECT_EQ(s.Find('x'), 5);
    EXPECT_EQ(s.Find('q'), -1);

    CString f;
    f.Format("%u-%s", 4294967295u, "ok");
    EXPECT_TRUE(f == "4294967295-ok");

    char* buffer = f.GetBuffer(64);
    std::strcpy(buffer, "abc");
    f.ReleaseBuffer();
    EXPECT_EQ(f.GetLength(), 3);

    CString loaded;
    EXPECT_TRUE(loaded.LoadString(IDS_TEST_TEXT));
    EXPECT_TRUE(loaded == "关于 Kestrel(&A)...");
    EXPECT_FALSE(loaded.LoadString(9999));
    EXPECT_TRUE(loaded.IsEmpty());
}

TEST(RuntimeClass, KindOf) {
    CButton button;
    CDialog dialog(IDD_TEST_PORT);
    EXPECT_TRUE(button.IsKindOf(RUNTIME_CLASS(CWnd)));
    EXPECT_TRUE(button.IsKindOf(RUNTIME_CLASS(CObject)));
    EXPECT_FALSE(button.IsKindOf(RUNTIME_CLASS(CDialog)));
    EXPECT_TRUE(dialog.IsKindOf(RUNTIME_CLASS(CWnd)));
    EXPECT_STREQ(dialog.GetRuntimeClass()->m_lpszClassName, "CDialog");
}

TEST(Application, TitleComesFromExecutableName) {
    EXPECT_STREQ(AfxGetAppName(), "framework_test");
    {
        CWinApp app;
        EXPECT_EQ(AfxGetApp(), &app);
        EXPECT_STREQ(AfxGetAppName(), "framework_test");
    }
    CWinApp named("Named");
    EXPECT_STREQ(AfxGetAppName(), "Named");
}

TEST(WorkerThread, RunsItsFunctionWithTheParameter) {
    static std::atomic<int> seen{0};
    static std::atomic<DWORD> thread{0};
    static int parameter = 7;
    ASSERT_TRUE(AfxBeginThread(
        [](LPVOID p) -> UINT {
            thread = ::GetCurrentThreadId();
            seen = *static_cast<int*>(p);
            return 0;
        },
        &parameter));
    DWORD start = ::GetTickCount();
    while (seen == 0 && ::GetTickCount() - start < 20000)
        ::Sleep(5);
    EXPECT_EQ(seen.load(), 7);
    EXPECT_NE(thread.load(), ::GetCurrentThreadId());
}

TEST(SocketStart, AsksForAndGetsVersionOneOne) {
    WSADATA data{};
    ASSERT_TRUE(AfxSocketInit(&data));
    EXPECT_EQ(data.wVersion, MAKEWORD(1, 1));
    SOCKET s = ::socket(AF_INET, SOCK_STREAM, 0);
    EXPECT_NE(s, INVALID_SOCKET);
    ::closesocket(s);
}

} // namespace
