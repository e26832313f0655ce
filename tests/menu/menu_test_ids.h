// Resource ids shared by the test resources (menus.rc, glyphs.rc) and the tests.
#pragma once

#define IDM_TEST_NESTED 102
#define IDM_TEST_UNCLOSED 110

#define ID_OLD_A 2004
#define ID_OLD_B 2005

#define IDR_GLYPHS 201         // toolbar and its 16-colour bitmap
#define IDB_GLYPH256 202       // a 256-colour bitmap
#define IDB_V4_HEADER 203      // 16 colours behind a 108-byte header
#define IDB_8BIT_16COLORS 204  // 8 bits per pixel, a 16-entry colour table
#define IDB_SHORT 205          // 16 colours, one byte of pixels missing
#define IDB_HEADER_ONLY 206    // a header and nothing else
#define IDR_NO_SUCH_GLYPHS 299

#define ID_GLYPH_A 4001
#define ID_GLYPH_B 4002
#define ID_GLYPH_C 4003
#define ID_NOT_ON_TOOLBAR 4009
