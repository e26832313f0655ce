#pragma once
// A dialog's window made from its template and bound to the object, with the
// dialog's own initialisation run, but no modal loop: for tests that drive a
// dialog from outside while they pump its messages themselves.

#include "CDialog.h"

bool CreateModeless(CDialog& dialog, UINT templateId);
