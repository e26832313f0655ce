#pragma once
#define IDD_RELAY_LINK_TEST 100
