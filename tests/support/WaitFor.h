#pragma once
// Waits for a condition with a generous deadline, pumping this thread's
// messages meanwhile so windows of the test thread stay alive.

#include <functional>

bool WaitFor(const std::function<bool()>& condition, unsigned timeoutMs = 20000);
