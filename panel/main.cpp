// The one application object; the framework's WinMain starts it.
#include "CRelayApp.h"

CRelayApp theApp;
