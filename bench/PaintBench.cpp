// One DrawItem of a channel button into a memory DC, per state: the real CStyledButton
// bound to channel 1 of the panel's own dialog template, coloured as the panel colours it,
// painting into a 32-bit DIB section with the dialog's font selected, as the button's own
// DC holds it. The floor is what any caption on a face costs: one FillRect, one DrawText.
// Prints "paint_<state>_us <median of batch means>" lines.

#include "BenchClock.h"
#include "CDialog.h"
#include "CStyledButton.h"
#include "resource.h"

#include <cstdio>
#include <functional>
#include <vector>

namespace {

constexpr int kCallsPerBatch = 2000;
constexpr int kBatches = 7;

double MicrosecondsPerCall(const std::function<void()>& call) {
    for (int i = 0; i < 200; ++i)
        call();
    std::vector<double> batches;
    for (int b = 0; b < kBatches; ++b) {
        const double start = NowUs();
        for (int i = 0; i < kCallsPerBatch; ++i)
            call();
        batches.push_back((NowUs() - start) / kCallsPerBatch);
    }
    return Percentile(batches, 0.5);
}

int RunBench(CDialog& dialog) {
    CStyledButton button;
    if (!button.SubclassDlgItem(IDC_CHANNEL1, &dialog)) {
        std::fprintf(stderr, "paint_bench: no dialog\n");
        return 1;
    }
    button.SetFlatLook(FALSE, FALSE);
    button.SetWindowText("第1路");
    for (BYTE slot : {SBC_FACE_HOT, SBC_FACE_NORMAL, SBC_FACE_FOCUS})
        button.SetSlotColor(slot, RGB(0, 255, 0), FALSE);
    for (BYTE slot : {SBC_TEXT_HOT, SBC_TEXT_NORMAL, SBC_TEXT_FOCUS})
        button.SetSlotColor(slot, RGB(255, 0, 255), FALSE);

    RECT rect;
    button.GetClientRect(&rect);
    BITMAPINFO info{};
    info.bmiHeader = {
        sizeof(BITMAPINFOHEADER), rect.right, -rect.bottom, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    HDC dc = ::CreateCompatibleDC(nullptr);
    HBITMAP bitmap = ::CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ oldBitmap = ::SelectObject(dc, bitmap);
    auto font = reinterpret_cast<HFONT>(dialog.SendMessage(WM_GETFONT));
    HGDIOBJ oldFont = ::SelectObject(dc, font);

    const struct {
        const char* name;
        UINT state;
    } states[] = {{"normal", 0},
                  {"focus", ODS_FOCUS},
                  {"pressed", ODS_SELECTED | ODS_FOCUS},
                  {"disabled", ODS_DISABLED}};
    for (const auto& s : states) {
        DRAWITEMSTRUCT item{};
        item.CtlType = ODT_BUTTON;
        item.CtlID = IDC_CHANNEL1;
        item.itemAction = ODA_DRAWENTIRE;
        item.itemState = s.state;
        item.hwndItem = button.m_hWnd;
        item.hDC = dc;
        item.rcItem = rect;
        std::printf("paint_%s_us %.2f\n", s.name,
                    MicrosecondsPerCall([&] { button.DrawItem(&item); }));
    }

    HBRUSH face = ::CreateSolidBrush(RGB(0, 255, 0));
    std::printf("paint_floor_us %.2f\n", MicrosecondsPerCall([&] {
                    ::FillRect(dc, &rect, face);
                    RECT text = rect;
                    ::DrawTextA(dc, "第1路", -1, &text, DT_WORDBREAK | DT_CENTER);
                }));
    ::DeleteObject(face);
    ::SelectObject(dc, oldFont);
    ::SelectObject(dc, oldBitmap);
    ::DeleteObject(bitmap);
    ::DeleteDC(dc);
    return 0;
}

// Measures inside the dialog's initialisation, so the dialog is never shown.
class BenchDialog : public CDialog {
  public:
    BenchDialog() : CDialog(IDD_RELAY_PANEL) {}
    int m_nResult = 1;

  protected:
    BOOL OnInitDialog() override {
        CDialog::OnInitDialog();
        m_nResult = RunBench(*this);
        EndDialog(IDOK);
        return TRUE;
    }
};

} // namespace

int main() {
    BenchDialog dialog;
    dialog.DoModal();
    return dialog.m_nResult;
}
