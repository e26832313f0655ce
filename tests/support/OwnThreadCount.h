#pragma once
// Threads of this process alive now that started in its own executable: the
// program's and the test's, not helpers the platform starts on its own schedule.
int OwnThreadCount();
