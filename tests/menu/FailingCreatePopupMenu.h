#pragma once
// Makes a later CreatePopupMenu of this test program fail: the program's own import
// slot stands in for user32's, so the menu code's call reaches it. A real failure
// would need the system's handle table exhausted, which other processes share.

// The next `successes` calls succeed, the one after fails, and later ones succeed again.
void FailCreatePopupMenuAfter(int successes);
