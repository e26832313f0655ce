#pragma once
// Message boxes of this process as a person would meet them: read, then
// answered with their first button.

#include <functional>
#include <future>
#include <string>

struct SeenMessageBox {
    std::string caption;
    std::string text; // empty when no box came
    bool hasIcon = false;
};

// Waits for a box opened by another thread, reads it, runs beforeAnswer while
// it is still open, and answers it.
SeenMessageBox AnswerMessageBox(unsigned timeoutMs = 20000,
                                const std::function<void()>& beforeAnswer = {});

// Answers the next box from a thread of its own, for a box the caller's own
// thread opens (and so waits on): the future holds what was seen.
std::future<SeenMessageBox> AnswerMessageBoxLater(unsigned timeoutMs = 20000);
