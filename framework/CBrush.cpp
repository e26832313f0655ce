#include "CBrush.h"

CBrush CBrush::FromHandle(HBRUSH hBrush) {
    CBrush view;
    view.AttachView(hBrush);
    return view;
}
