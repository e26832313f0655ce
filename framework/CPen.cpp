#include "CPen.h"

CPen CPen::FromHandle(HPEN hPen) {
    CPen view;
    view.AttachView(hPen);
    return view;
}
