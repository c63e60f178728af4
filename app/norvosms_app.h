// The application object: start-up, the settings store (profile functions on the registry)
// and the program's message box.
#pragma once

#include <windows.h>

#include <string>

class QWidget;

// The one restart-manager choice the program makes.
constexpr DWORD AFX_RESTART_MANAGER_SUPPORT_RESTART = 0x01;
constexpr UINT ID_HELP = 0xE146;
constexpr UINT ID_APP_EXIT = 0xE141;  // 57665

class CNorvoSMSApp {
 public:
  CNorvoSMSApp();
  virtual ~CNorvoSMSApp() = default;
  CNorvoSMSApp(const CNorvoSMSApp&) = delete;
  CNorvoSMSApp& operator=(const CNorvoSMSApp&) = delete;

  // Runs the login dialog modally and returns false: the program ends when the dialog closes.
  virtual BOOL InitInstance();

  // From here on the profile functions work under HKCU\Software\<key>\<application name>.
  void SetRegistryKey(LPCSTR lpszRegistryKey);

  // Settings: a section is a subkey of the application key (empty: the application key
  // itself), an entry a value (empty: the key's default value). Keys are opened and closed on
  // every call and created on first write; nothing is cached.
  std::string GetProfileString(LPCSTR lpszSection, LPCSTR lpszEntry, LPCSTR lpszDefault = nullptr) const;
  // A null value deletes the entry.
  BOOL WriteProfileString(LPCSTR lpszSection, LPCSTR lpszEntry, LPCSTR lpszValue);
  // TRUE with a new[]-allocated block (the caller delete[]s it; also for length 0) when the
  // binary value is present; FALSE with null and 0 otherwise.
  BOOL GetProfileBinary(LPCSTR lpszSection, LPCSTR lpszEntry, LPBYTE* ppData, UINT* pBytes) const;
  // Length 0 stores an empty binary value.
  BOOL WriteProfileBinary(LPCSTR lpszSection, LPCSTR lpszEntry, LPBYTE pData, UINT nBytes);

  // ID_APP_EXIT: closes the main window as if cancelled.
  void OnAppExit();
  // ID_HELP: the default help handler; the program has no help file.
  void OnHelp();

  // The program file's name without folder and extension ("NorvoSMS").
  static std::string AppNameFromProgramFile(const std::string& path);

  std::string m_pszAppName;
  std::string m_pszExeName;
  std::string m_pszRegistryKey;
  DWORD m_dwRestartManagerSupportFlags = AFX_RESTART_MANAGER_SUPPORT_RESTART;
  QWidget* m_pMainWnd = nullptr;

 protected:
  // Where the login dialog is made, set as the main window and run modally.
  virtual void RunLoginDialog();

 private:
  // HKCU\Software\<key>\<app>[\<section>]; empty when no registry key was named.
  std::string SectionPath(LPCSTR lpszSection) const;
};

extern CNorvoSMSApp theApp;

// The application object most recently constructed (normally theApp).
CNorvoSMSApp* AfxGetApp();

// A message box owned by the program, captioned with the application name; the text is in
// the ANSI code page.
int AfxMessageBox(LPCSTR lpszText, UINT nType = MB_OK);
