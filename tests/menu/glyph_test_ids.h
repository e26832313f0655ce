// Resource ids of the glyph and drawing tests.
#pragma once

#define IDR_GLYPHS 201      // toolbar and its 16-colour bitmap
#define IDB_GLYPH256 202    // a 256-colour bitmap
#define IDR_BAD_VERSION 203 // toolbar resource of an unknown version
#define IDR_TRUNCATED 204   // toolbar resource shorter than its count
#define IDR_NO_SUCH_GLYPHS 299

#define ID_GLYPH_A 4001
#define ID_GLYPH_B 4002
#define ID_GLYPH_C 4003
#define ID_NOT_ON_TOOLBAR 4009
