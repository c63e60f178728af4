// The modeless notice that the PC service has ended; its buttons and close box hide it.
#pragma once

#include "app/hover_button.h"

#include <QDialog>
#include <QFont>
#include <string>

class CServiceEndConfirmDlg : public QDialog {
  Q_OBJECT

 public:
  static constexpr int IDD = 293;

  // Builds the whole dialog, hidden and centred on the screen. Create it once and show it again
  // as often as needed; hiding never destroys it.
  explicit CServiceEndConfirmDlg(QWidget* parent = nullptr);

  // The control with that number (1196, 1211, 1200, 1201, 1 or 8), or null.
  QWidget* GetDlgItem(int id) const;
  CHoverButton& DetailsButton() { return m_btnDetails; }
  CHoverButton& CloseButton() { return m_btnClose; }

  // "https://<host>/norvo_notice/view.php?seq_no=..." with the host from NORVOSMS_NOTICE_HOST
  // (which may also name the scheme, e.g. "http://127.0.0.1:8380").
  static std::string NoticePageUrl();

 protected:
  void paintEvent(QPaintEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  void OnInitDialog();
  void OnDetails();
  void OnCloseButton();

  CHoverButton m_btnDetails;
  CHoverButton m_btnClose;
  QFont m_fontBold;
};
