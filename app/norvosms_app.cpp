#include "app/norvosms_app.h"

#include "app/login_dlg.h"
#include "app/login_screenshot.h"

#include <QDialog>
#include <QWidget>

#include <vector>

namespace {
CNorvoSMSApp* g_pCurrentApp = nullptr;

const char kSoftwareKey[] = "Software";
}  // namespace

CNorvoSMSApp theApp;

CNorvoSMSApp* AfxGetApp() { return g_pCurrentApp; }

int AfxMessageBox(LPCSTR lpszText, UINT nType) {
  const CNorvoSMSApp* app = AfxGetApp();
  return MessageBoxA(0, lpszText, app ? app->m_pszAppName.c_str() : nullptr, nType);
}

// No application name is given: it is taken from the program file, as the framework does.
CNorvoSMSApp::CNorvoSMSApp() {
  char path[MAX_PATH + 1] = {};
  DWORD length = GetModuleFileNameA(nullptr, path, sizeof path);
  if (length > 0 && length < sizeof path) {
    m_pszExeName = AppNameFromProgramFile(path);
    m_pszAppName = m_pszExeName;
  }
  g_pCurrentApp = this;
}

std::string CNorvoSMSApp::AppNameFromProgramFile(const std::string& path) {
  std::size_t slash = path.find_last_of("\\/");
  std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  std::size_t dot = name.rfind('.');
  if (dot != std::string::npos && dot > 0) name.resize(dot);
  return name;
}

// Common controls, rich edit, control containers and the shell manager have no counterpart
// under Qt: the QApplication made in main() stands for them.
BOOL CNorvoSMSApp::InitInstance() {
  SetRegistryKey("NorvoSMS");
  RunLoginDialog();
  m_pMainWnd = nullptr;
  return FALSE;
}

// The result of the dialog is not examined; the program ends when it closes.
void CNorvoSMSApp::RunLoginDialog() {
  CLogInDlg dlg;
  m_pMainWnd = &dlg;
  ScheduleScreenshotFromEnvironment(dlg);
  dlg.DoModal();
}

void CNorvoSMSApp::OnAppExit() {
  if (auto* dialog = qobject_cast<QDialog*>(m_pMainWnd))
    dialog->reject();
  else if (m_pMainWnd)
    m_pMainWnd->close();
}

void CNorvoSMSApp::OnHelp() {}

void CNorvoSMSApp::SetRegistryKey(LPCSTR lpszRegistryKey) { m_pszRegistryKey = lpszRegistryKey ? lpszRegistryKey : ""; }

std::string CNorvoSMSApp::SectionPath(LPCSTR lpszSection) const {
  if (m_pszRegistryKey.empty() || m_pszAppName.empty()) return std::string();
  std::string path = std::string(kSoftwareKey) + "\\" + m_pszRegistryKey + "\\" + m_pszAppName;
  if (lpszSection && *lpszSection) path += std::string("\\") + lpszSection;
  return path;
}

std::string CNorvoSMSApp::GetProfileString(LPCSTR lpszSection, LPCSTR lpszEntry, LPCSTR lpszDefault) const {
  std::string fallback = lpszDefault ? lpszDefault : "";
  std::string path = SectionPath(lpszSection);
  if (path.empty() || !lpszEntry) return fallback;
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return fallback;
  std::string value = fallback;
  DWORD type = 0, size = 0;
  if (RegQueryValueExA(key, lpszEntry, nullptr, &type, nullptr, &size) == ERROR_SUCCESS && type == REG_SZ) {
    std::vector<BYTE> data(size + 1, 0);
    if (RegQueryValueExA(key, lpszEntry, nullptr, &type, data.data(), &size) == ERROR_SUCCESS && type == REG_SZ)
      value = reinterpret_cast<const char*>(data.data());  // up to the first zero
  }
  RegCloseKey(key);
  return value;
}

BOOL CNorvoSMSApp::WriteProfileString(LPCSTR lpszSection, LPCSTR lpszEntry, LPCSTR lpszValue) {
  std::string path = SectionPath(lpszSection);
  if (path.empty() || !lpszEntry) return FALSE;
  HKEY key = nullptr;
  if (RegCreateKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_WRITE | KEY_READ,
                      nullptr, &key, nullptr) != ERROR_SUCCESS)
    return FALSE;
  LSTATUS result;
  if (lpszValue) {
    std::string value(lpszValue);
    result = RegSetValueExA(key, lpszEntry, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                            static_cast<DWORD>(value.size() + 1));
  } else {
    result = RegDeleteValueA(key, lpszEntry);
  }
  RegCloseKey(key);
  return result == ERROR_SUCCESS;
}

BOOL CNorvoSMSApp::GetProfileBinary(LPCSTR lpszSection, LPCSTR lpszEntry, LPBYTE* ppData, UINT* pBytes) const {
  if (!ppData || !pBytes) return FALSE;
  *ppData = nullptr;
  *pBytes = 0;
  std::string path = SectionPath(lpszSection);
  if (path.empty() || !lpszEntry) return FALSE;
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return FALSE;
  BOOL found = FALSE;
  DWORD type = 0, size = 0;
  if (RegQueryValueExA(key, lpszEntry, nullptr, &type, nullptr, &size) == ERROR_SUCCESS && type == REG_BINARY) {
    auto* data = new BYTE[size ? size : 1];
    DWORD got = size;
    // The value may have grown in between (another process): then it counts as unreadable.
    if (RegQueryValueExA(key, lpszEntry, nullptr, &type, data, &got) == ERROR_SUCCESS && type == REG_BINARY) {
      *ppData = data;
      *pBytes = got;
      found = TRUE;
    } else {
      delete[] data;
    }
  }
  RegCloseKey(key);
  return found;
}

BOOL CNorvoSMSApp::WriteProfileBinary(LPCSTR lpszSection, LPCSTR lpszEntry, LPBYTE pData, UINT nBytes) {
  std::string path = SectionPath(lpszSection);
  if (path.empty() || !lpszEntry || (nBytes && !pData)) return FALSE;
  HKEY key = nullptr;
  if (RegCreateKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_WRITE | KEY_READ,
                      nullptr, &key, nullptr) != ERROR_SUCCESS)
    return FALSE;
  LSTATUS result = RegSetValueExA(key, lpszEntry, 0, REG_BINARY, pData, nBytes);
  RegCloseKey(key);
  return result == ERROR_SUCCESS;
}
