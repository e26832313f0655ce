#include "COffscreenDC.h"

COffscreenDC::COffscreenDC(CDC* pTarget, const RECT& rect)
    : m_pTarget(pTarget), m_rect(rect),
      m_bOffscreen(pTarget->GetDeviceCaps(TECHNOLOGY) != DT_RASPRINTER) {
    if (!m_bOffscreen) {
        AttachView(pTarget->GetSafeHdc());
        return;
    }
    CreateCompatibleDC(pTarget);
    m_bitmap.CreateCompatibleBitmap(pTarget, m_rect.Width(), m_rect.Height());
    m_hOldBitmap = SelectObject(m_bitmap.GetSafeHandle());
    ::SetWindowOrgEx(GetSafeHdc(), m_rect.left, m_rect.top, nullptr);
}

COffscreenDC::~COffscreenDC() {
    if (!m_bOffscreen) {
        Detach();
        return;
    }
    m_pTarget->BitBlt(m_rect.left, m_rect.top, m_rect.Width(), m_rect.Height(), this, m_rect.left,
                      m_rect.top, SRCCOPY);
    if (m_hOldBitmap != nullptr && m_hOldBitmap != HGDI_ERROR)
        SelectObject(m_hOldBitmap);
}
