#include "CWinApp.h"

namespace {

CWinApp* g_app = nullptr;

CString TitleFromExecutable() {
    char path[MAX_PATH] = {};
    ::GetModuleFileNameA(nullptr, path, MAX_PATH);
    const char* name = path;
    for (const char* p = path; *p; p = ::CharNextA(p))
        if (*p == '\\' || *p == '/')
            name = p + 1;
    CString title(name);
    for (int i = title.GetLength() - 1; i >= 0; --i)
        if (title.GetAt(i) == '.')
            return title.Left(i);
    return title;
}

} // namespace

CWinApp::CWinApp(const char* appName) : m_strAppName(appName) {
    g_app = this;
    if (m_strAppName.IsEmpty())
        m_strAppName = TitleFromExecutable();
}

CWinApp::~CWinApp() {
    if (g_app == this)
        g_app = nullptr;
}

CWinApp* AfxGetApp() {
    return g_app;
}

CWnd* AfxGetMainWnd() {
    return g_app ? g_app->m_pMainWnd : nullptr;
}

const char* AfxGetAppName() {
    if (g_app)
        return g_app->m_strAppName;
    static const CString title = TitleFromExecutable();
    return title;
}
