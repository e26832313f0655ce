#include "CRelayDlg.h"

#include "CAboutDlg.h"
#include "CDC.h"
#include "SettingsFile.h"
#include "SocketStart.h"
#include "resource.h"

int CRelayDlg::s_nextButtonNumber = 0;
BYTE CRelayDlg::s_pollTicks = 0;

namespace {

const char kButtonTip[] = "点击按钮改变继电器状态";
constexpr BYTE kPollEveryTicks = 20;

} // namespace

// One entry per channel button; the handler reads the channel from the id.
#define ON_CHANNEL_CLICKED(id) ON_CONTROL_RANGE(BN_CLICKED, id, id, &CRelayDlg::OnChannelClicked)

BEGIN_MESSAGE_MAP(CRelayDlg, CDialog)
ON_WM_SYSCOMMAND()
ON_WM_PAINT()
ON_WM_QUERYDRAGICON()
ON_MESSAGE(WM_RELAY_RXBYTE, &CRelayDlg::OnRxByte)
ON_EN_CHANGE(IDC_PORT, &CRelayDlg::OnAddressChange)
ON_EN_CHANGE(IDC_IP, &CRelayDlg::OnAddressChange)
ON_CHANNEL_CLICKED(IDC_CHANNEL1)
ON_BN_CLICKED(IDC_ALL_ON, &CRelayDlg::OnAllOn)
ON_BN_CLICKED(IDC_ALL_OFF, &CRelayDlg::OnAllOff)
ON_CHANNEL_CLICKED(IDC_CHANNEL2)
ON_CHANNEL_CLICKED(IDC_CHANNEL3)
ON_CHANNEL_CLICKED(IDC_CHANNEL4)
ON_CHANNEL_CLICKED(IDC_CHANNEL5)
ON_CHANNEL_CLICKED(IDC_CHANNEL6)
ON_CHANNEL_CLICKED(IDC_CHANNEL7)
ON_CHANNEL_CLICKED(IDC_CHANNEL8)
ON_CHANNEL_CLICKED(IDC_CHANNEL9)
ON_CHANNEL_CLICKED(IDC_CHANNEL10)
ON_CHANNEL_CLICKED(IDC_CHANNEL11)
ON_CHANNEL_CLICKED(IDC_CHANNEL12)
ON_CHANNEL_CLICKED(IDC_CHANNEL13)
ON_CHANNEL_CLICKED(IDC_CHANNEL14)
ON_CHANNEL_CLICKED(IDC_CHANNEL15)
ON_CHANNEL_CLICKED(IDC_CHANNEL16)
ON_WM_TIMER()
ON_WM_CANCELMODE()
ON_BN_CLICKED(IDC_CONNECT, &CRelayDlg::OnConnect)
ON_BN_CLICKED(IDC_REFRESH, &CRelayDlg::OnRefresh)
ON_WM_CTLCOLOR()
END_MESSAGE_MAP()

CRelayDlg::CRelayDlg(CWnd* parent)
    : CDialog(IDD_RELAY_PANEL, parent),
      m_hIcon(::LoadIconA(::GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDR_MAINFRAME))) {}

void CRelayDlg::DoDataExchange(CDataExchange* dx) {
    CDialog::DoDataExchange(dx);
    DDX_Control(dx, IDC_CONNECT, m_btnConnect);
    for (int id = IDC_CHANNEL9; id >= IDC_CHANNEL2; --id)
        DDX_Control(dx, id, m_btnChannel[id - IDC_CHANNEL1]);
    DDX_Control(dx, IDC_ALL_ON, m_btnAllOn);
    DDX_Control(dx, IDC_ALL_OFF, m_btnAllOff);
    for (int id = IDC_CHANNEL16; id >= IDC_CHANNEL10; --id)
        DDX_Control(dx, id, m_btnChannel[id - IDC_CHANNEL1]);
    DDX_Control(dx, IDC_CHANNEL1, m_btnChannel[0]);
    DDX_Text(dx, IDC_IP, m_strIp);
    DDX_Text(dx, IDC_PORT, m_nPort);
    DDV_MinMaxUInt(dx, m_nPort, 0, 10000);
}

BOOL CRelayDlg::OnInitDialog() {
    CDialog::OnInitDialog();

    if (HMENU systemMenu = GetSystemMenu(FALSE)) {
        CString about;
        about.LoadString(IDS_ABOUTBOX);
        if (!about.IsEmpty()) {
            ::AppendMenuA(systemMenu, MF_SEPARATOR, 0, nullptr);
            ::AppendMenuA(systemMenu, MF_STRING, IDM_ABOUTBOX, about);
        }
    }
    SetIcon(m_hIcon, TRUE);
    SetIcon(m_hIcon, FALSE);

    m_bConnected = 0;
    settings::LoadConnectionSettings(m_savedIp, m_savedPort);
    m_strIp = m_savedIp;
    m_nPort = m_savedPort;
    UpdateData(FALSE);

    for (CStyledButton& channel : m_btnChannel)
        InitButtonLook(channel, 255, 255, 0);
    InitButtonLook(m_btnAllOn, 255, 255, 255);
    InitButtonLook(m_btnAllOff, 255, 255, 255);

    AfxSocketInit();
    SetTimer(IDT_POLL, 30);
    m_rx.m_rxTimeout = 0;
    return TRUE;
}

void CRelayDlg::SetButtonColors(CStyledButton& button, BYTE r, BYTE g, BYTE b) {
    // Text in the complement of the face, so it reads on any face colour.
    COLORREF text = RGB(255 - r, 255 - g, 255 - b);
    COLORREF face = RGB(r, g, b);
    // One invalidation covers all six slots: under Wine each costs a server round trip,
    // and a status frame recolours sixteen buttons.
    button.SetSlotColor(SBC_TEXT_FOCUS, text, FALSE);
    button.SetSlotColor(SBC_TEXT_HOT, text, FALSE);
    button.SetSlotColor(SBC_TEXT_NORMAL, text, FALSE);
    button.SetSlotColor(SBC_FACE_HOT, face, FALSE);
    button.SetSlotColor(SBC_FACE_NORMAL, face, FALSE);
    button.SetSlotColor(SBC_FACE_FOCUS, face, TRUE);
}

void CRelayDlg::ShowChannelState(CStyledButton& button, BYTE r, BYTE g, BYTE b, BYTE state) {
    SetButtonColors(button, r, g, b);
    button.m_byOwnerValue = state;
}

void CRelayDlg::InitButtonLook(CStyledButton& button, BYTE r, BYTE g, BYTE b) {
    button.SetFlatLook(FALSE, TRUE);
    button.SetTipText(kButtonTip, TRUE);
    SetButtonColors(button, r, g, b);
    ++s_nextButtonNumber;
    button.SetWindowText(settings::GetButtonCaption(s_nextButtonNumber));
}

int CRelayDlg::SendFrame(BYTE address, BYTE command, BYTE data0, BYTE data1, BYTE data2,
                         BYTE data3) {
    return m_link.SendFrame(BuildRelayFrame(address, command, data0, data1, data2, data3));
}

void CRelayDlg::OnConnect() {
    m_link.Open();
    if (m_strIp.Compare(m_savedIp) != 0 || m_nPort != m_savedPort) {
        m_savedIp = m_strIp;
        m_savedPort = m_nPort;
        settings::SaveConnectionSettings(m_savedIp, m_savedPort);
    }
    if (!m_link.Connect(m_strIp, m_nPort)) {
        MessageBox("建立连接失败");
        m_bConnected = 0;
        return;
    }
    MessageBox("建立连接成功");
    m_bConnected = 1;
    m_link.StartReceiving(m_hWnd);
    SendFrame(RELAY_BOARD_ADDRESS, RELAY_CMD_QUERY, 0, 0, 0, 0);
}

LRESULT CRelayDlg::OnRxByte(WPARAM wParam, LPARAM) {
    if (m_rx.PushRxByte(static_cast<std::uint8_t>(wParam & 0xFF)))
        ApplyStatusFrame();
    return 0;
}

void CRelayDlg::ApplyStatusFrame() {
    for (int channel = 1; channel <= RELAY_CHANNEL_COUNT; ++channel) {
        CStyledButton& button = m_btnChannel[channel - 1];
        if (RelayStatusChannelOn(m_rx.m_rxFrame, channel))
            ShowChannelState(button, 0, 255, 0, CHANNEL_ON);
        else
            ShowChannelState(button, 255, 0, 0, CHANNEL_OFF);
    }
    UpdateData(FALSE);
}

void CRelayDlg::ToggleChannel(int channel) {
    BYTE command = RelayChannelCommand(m_btnChannel[channel - 1].m_byOwnerValue);
    SendFrame(RELAY_BOARD_ADDRESS, command, 0, 0, 0, static_cast<BYTE>(channel));
}

void CRelayDlg::OnChannelClicked(UINT id) {
    ToggleChannel(static_cast<int>(id) - (IDC_CHANNEL1 - 1));
}

void CRelayDlg::OnAllOn() {
    SendFrame(RELAY_BOARD_ADDRESS, RELAY_CMD_SET_ALL, 0xFF, 0xFF, 0xFF, 0xFF);
}

void CRelayDlg::OnAllOff() {
    SendFrame(RELAY_BOARD_ADDRESS, RELAY_CMD_SET_ALL, 0, 0, 0, 0);
}

void CRelayDlg::OnRefresh() {
    SendFrame(RELAY_BOARD_ADDRESS, RELAY_CMD_QUERY, 0, 0, 0, 0);
}

void CRelayDlg::OnAddressChange() {
    UpdateData(TRUE);
}

void CRelayDlg::OnTimer(UINT_PTR id) {
    if (id == IDT_POLL) {
        m_rx.TickRxTimeout();
        if (m_bConnected) {
            if (++s_pollTicks >= kPollEveryTicks) {
                s_pollTicks = 0;
                SendFrame(RELAY_BOARD_ADDRESS, RELAY_CMD_QUERY, 0, 0, 0, 0);
            }
        } else {
            s_pollTicks = 0;
        }
    }
    Default();
}

void CRelayDlg::OnCancelMode() {
    Default();
}

HBRUSH CRelayDlg::OnCtlColor(CDC*, CWnd*, UINT) {
    return reinterpret_cast<HBRUSH>(Default());
}

void CRelayDlg::OnSysCommand(UINT nID, LPARAM) {
    if ((nID & 0xFFF0) == IDM_ABOUTBOX) {
        CAboutDlg about;
        about.DoModal();
    } else {
        Default();
    }
}

void CRelayDlg::OnPaint() {
    if (!IsIconic()) {
        Default();
        return;
    }
    CPaintDC dc(m_hWnd);
    SendMessage(WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc.GetSafeHdc()), 0);
    int iconWidth = ::GetSystemMetrics(SM_CXICON);
    int iconHeight = ::GetSystemMetrics(SM_CYICON);
    CRect client;
    GetClientRect(&client);
    int x = (client.Width() - iconWidth + 1) / 2;
    int y = (client.Height() - iconHeight + 1) / 2;
    dc.DrawIcon(x, y, m_hIcon);
}

HCURSOR CRelayDlg::OnQueryDragIcon() {
    return static_cast<HCURSOR>(m_hIcon);
}
