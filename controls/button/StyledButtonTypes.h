#pragma once
// Colour slots, image placement, image slots and result codes of CStyledButton.

#include "CGdiObject.h"
#include "CIcon.h"

#include <windows.h>

// Indices of the colour slots (a BYTE on the interface).
enum StyledButtonColor : BYTE {
    SBC_FACE_HOT = 0,    // face while hovered or pressed
    SBC_TEXT_HOT = 1,    // caption while hovered or pressed
    SBC_FACE_NORMAL = 2, // face otherwise
    SBC_TEXT_NORMAL = 3, // caption otherwise, focused too
    SBC_FACE_FOCUS = 4,  // face while focused, neither hovered nor pressed
    SBC_TEXT_FOCUS = 5,  // stored, never painted
    SBC_COUNT = 6,
};

// Where an icon or bitmap goes relative to the caption.
enum StyledButtonImageAlign : BYTE {
    SBA_BESIDE = 0,     // left of the caption
    SBA_ABOVE = 1,      // above the caption
    SBA_RIGHT_EDGE = 2, // at the right edge, caption at the left
};

// Results of the setters.
constexpr DWORD SB_OK = 0;
constexpr DWORD SB_BAD_SLOT = 3;

// Index 0 of the slot arrays is the hot image (hovered or pressed), index 1 the normal one.
struct ButtonIconSlot {
    CIcon hIcon;
    DWORD cx = 0;
    DWORD cy = 0;
};

struct ButtonBitmapSlot {
    CBitmap hImage; // black where the mask is set
    DWORD cx = 0;
    DWORD cy = 0;
    CBitmap hMask; // monochrome, set bits are transparent
};
