// One test of the link half: a fresh current directory, the test dialog
// created modeless, a watcher that answers its message boxes, and on teardown
// the check that every receive thread has ended.
#pragma once

#include "LinkTestSupport.h"
#include "LoopbackListener.h"
#include "MessageBoxWatcher.h"
#include "OwnThreadCount.h"
#include "TestLinkDlg.h"
#include "WaitFor.h"

#include <gtest/gtest.h>

#include <memory>

inline const Bytes kQuery = {0x55, 0x01, 0x10, 0x00, 0x00, 0x00, 0x00, 0x66};

class RelayLinkTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(SocketsStarted());
        ASSERT_TRUE(directory.IsCurrent()) << "cannot enter " << directory.Path();
        ASSERT_TRUE(dialog.Create()) << "test dialog template missing";
        uiThread = ::GetCurrentThreadId();
        threadsBefore = OwnThreadCount();
        ASSERT_GT(threadsBefore, 0);
    }

    void TearDown() override {
        listener.reset();
        EXPECT_TRUE(WaitFor([&] { return OwnThreadCount() <= threadsBefore; }))
            << "a receive thread outlived every connection";
    }

    // The listener of this test, which the connection points at.
    LoopbackListener& Listen(u_short port = 0) {
        listener = std::make_unique<LoopbackListener>(port);
        dialog.m_strIp = "127.0.0.1";
        dialog.m_nPort = listener->Port();
        return *listener;
    }

    std::vector<std::string> BoxTexts() const {
        std::vector<std::string> texts;
        for (const SeenMessageBox& box : watcher.Seen())
            texts.push_back(box.text);
        return texts;
    }

    TempDirectory directory;
    MessageBoxWatcher watcher;
    TestLinkDlg dialog;
    std::unique_ptr<LoopbackListener> listener;
    DWORD uiThread = 0;
    int threadsBefore = 0;
};
