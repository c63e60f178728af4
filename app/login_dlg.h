// The login dialog, the program's only main window: the skinned form, the saved ID and key,
// the public IP, the console links and the login step (update hand-over or service-end notice).
#pragma once

#include "app/hover_button.h"
#include "app/service_end_confirm_dlg.h"
#include "app/tooltip_ctrl.h"

#include <QBrush>
#include <QDialog>
#include <QFont>
#include <QPointer>
#include <string>

class CXVersion;
class QCheckBox;
class QLabel;
class QLineEdit;

class CLogInDlg : public QDialog {
  Q_OBJECT

 public:
  static constexpr int IDD = 144;

  // Builds the controls from the template; nothing is read until DoModal opens it.
  explicit CLogInDlg(QWidget* pParent = nullptr);
  ~CLogInDlg() override;

  // Opens the dialog (OnInitDialog) and runs it until it is cancelled or the program exits.
  int DoModal();
  // The opening alone, for callers that show the dialog themselves.
  BOOL OnInitDialog();

  // The login step: records the program folder, runs the update check, then hands over to
  // the launcher or shows the service-end notice. Neither argument is used.
  void ProceedLogin(const std::string& sId, const std::string& sKey);
  // True unless the check completed and its first selected entry is not up to date.
  bool IsLatestVersion();

  // The control with that number, or null.
  QWidget* GetDlgItem(int id) const;
  CHoverButton& OkButton() { return m_btnOk; }
  CHoverButton& HelpButton() { return m_btnHelp; }
  CToolTipCtrl& ToolTip() { return m_toolTip; }
  // Null until the first login step without an update.
  CServiceEndConfirmDlg* ServiceEndNotice() const { return m_pServiceEnd; }
  bool IsDlgButtonChecked(int id) const;

  // The members the data exchange binds: 8-bit texts in the ANSI code page.
  std::string m_sEditID;
  std::string m_sApiKey;
  std::string m_sFirstLogin;
  std::string m_sEnc;

 protected:
  // Edits to members (bSaveAndValidate) or members to edits.
  void DoDataExchange(bool bSaveAndValidate);
  void UpdateData(bool bSaveAndValidate) { DoDataExchange(bSaveAndValidate); }
  bool eventFilter(QObject* watched, QEvent* event) override;
  void paintEvent(QPaintEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  void BuildControls();
  void ApplySkin();
  void ApplyColourRules();
  void ShowPublicIp();
  void CreateToolTip();
  void OnOK();
  void OpenConsolePage(const char* path);
  void ShowServiceEndNotice();
  void StartLauncherAndExit();
  void OnAppExitCommand();

  QLabel* m_pIpDisplay = nullptr;
  CToolTipCtrl m_toolTip;
  QPointer<CServiceEndConfirmDlg> m_pServiceEnd;  // owned as a child window
  QBrush m_brEdit;
  QBrush m_brStatic;
  CHoverButton m_btnOk;
  CHoverButton m_btnHelp;  // one bitmap for every state
  QFont m_fontHeading;
  QFont m_fontText;
  QFont m_fontLink;
  CXVersion* m_pVersion = nullptr;  // set only while an update check runs

  QLineEdit* m_pIdEdit = nullptr;
  QLineEdit* m_pKeyEdit = nullptr;
  QCheckBox* m_pSaveId = nullptr;
  QCheckBox* m_pSaveKey = nullptr;
  bool m_bInitialised = false;
};
