// Resource ids shared by the test menu templates and the tests.
#pragma once

#define IDM_TEST_ONE 101
#define IDM_TEST_NESTED 102
#define IDM_TEST_DUPLICATES 103
#define IDM_TEST_CHINESE 104
#define IDM_TEST_UNCLOSED 110
#define IDM_TEST_TRUNCATED 111

#define ID_ONLY 1001
#define ID_OPEN 2001
#define ID_SAVE_ALL 2002
#define ID_EXIT 2003
#define ID_OLD_A 2004
#define ID_OLD_B 2005
#define ID_ABOUT 2006
#define ID_DIRECT 2007
#define ID_SHARED 500
#define ID_SECOND 501
#define ID_CN_OPEN 3001
#define ID_CN_CLOSE 3002
