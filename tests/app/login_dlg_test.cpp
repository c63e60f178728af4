// The login dialog against the API sandbox (public IP) and the web sandbox (manifest, pages),
// with a fresh registry hive and recorded message boxes, shell calls and launcher starts.
#include "text/ansi_text.h"
#include "app/credential_protection.h"
#include "app/dialog_units.h"
#include "app/login_dlg.h"
#include "app/login_dlg_layout.h"
#include "app/login_screenshot.h"
#include "app/norvosms_app.h"
#include "app/path_text.h"
#include "app/service_end_confirm_dlg.h"
#include "app/skin.h"
#include "tests/app/qt_test_app.h"
#include "tests/app/stored_settings.h"
#include "tests/sandbox/sandbox_client.h"
#include "tests/support/message_box_log.h"
#include "tests/updater/web_sandbox.h"
#include "updater/service_hosts.h"

#include <QCheckBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

namespace layout = login_dlg_layout;

namespace {

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

std::string BuiltInManifest(const char* name) {
  const char* source = std::getenv("NORVOSMS_SOURCE_DIR");
  return ReadFile(std::string(source ? source : ".") + "/sandbox/manifests/" + name + ".txt");
}

class LoginDlgTest : public QtWidgetTest {
 protected:
  void SetUp() override {
    ASSERT_TRUE(folder.isValid());
    const std::string dir = folder.path().toStdString();
    boxLog = dir + "/boxes.log";
    shellLog = dir + "/shell.log";
    launcherLog = dir + "/launcher.log";
    setenv("NORVOSMS_REGISTRY_DIR", dir.c_str(), 1);
    setenv("NORVOSMS_MESSAGEBOX_LOG", boxLog.c_str(), 1);
    setenv("NORVOSMS_SHELL_LOG", shellLog.c_str(), 1);
    setenv("NORVOSMS_LAUNCHER_LOG", launcherLog.c_str(), 1);
    setenv("NORVOSMS_ADAPTERS", "00:1a:2b:3c:4d:5e", 1);
    const std::string web = WebSandboxUrl();
    ASSERT_FALSE(web.empty()) << "the web sandbox is not running";
    const std::string host = web.substr(web.find("://") + 3);
    setenv("NORVOSMS_UPDATE_HOST", host.c_str(), 1);
    setenv("NORVOSMS_CONSOLE_HOST", host.c_str(), 1);
    sandbox::UseForLibrary();
    sandbox::Reset();
    ServeManifest(BuiltInManifest("current"));
    theApp.SetRegistryKey("NorvoSMS");
    theApp.m_pMainWnd = nullptr;
  }
  void TearDown() override {
    theApp.m_pMainWnd = nullptr;
    ServeManifest(BuiltInManifest("current"));
    for (const char* name : {"NORVOSMS_REGISTRY_DIR", "NORVOSMS_MESSAGEBOX_LOG", "NORVOSMS_SHELL_LOG",
                             "NORVOSMS_LAUNCHER_LOG", "NORVOSMS_UPDATE_HOST", "NORVOSMS_CONSOLE_HOST"})
      unsetenv(name);
  }

  // Opens the dialog as DoModal does, then shows it without a modal loop.
  void Open(CLogInDlg& dlg) {
    dlg.OnInitDialog();
    dlg.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dlg));
  }
  static QLineEdit* Edit(CLogInDlg& dlg, int id) { return qobject_cast<QLineEdit*>(dlg.GetDlgItem(id)); }
  static QCheckBox* Box(CLogInDlg& dlg, int id) { return qobject_cast<QCheckBox*>(dlg.GetDlgItem(id)); }
  static void Check(CLogInDlg& dlg, int id) {
    QCheckBox* box = Box(dlg, id);
    if (!box->isChecked()) QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(6, box->height() / 2));
    ASSERT_TRUE(box->isChecked());
  }
  static void Fill(CLogInDlg& dlg, const char* id, const char* key) {
    QTest::keyClicks(Edit(dlg, layout::IDC_ID_EDIT), QString::fromUtf8(id));
    QTest::keyClicks(Edit(dlg, layout::IDC_KEY_EDIT), QString::fromUtf8(key));
  }
  static void PressOk(CLogInDlg& dlg) { QTest::mouseClick(&dlg.OkButton(), Qt::LeftButton); }

  std::vector<std::string> Boxes() const { return norvosms_test::MessageBoxTexts(boxLog); }
  static std::string Ansi(const char* utf8) { return AnsiText(utf8); }
  static int NoticeWindows(CLogInDlg& dlg) {
    return static_cast<int>(dlg.findChildren<CServiceEndConfirmDlg*>().size());
  }

  // The launcher runs on its own; wait for its line.
  std::string WaitForLauncher() const {
    for (int i = 0; i < 200; ++i) {
      std::string text = ReadFile(launcherLog);
      if (!text.empty()) return text;
      QTest::qWait(50);
    }
    return std::string();
  }

  QTemporaryDir folder;
  std::string boxLog, shellLog, launcherLog;
};

TEST_F(LoginDlgTest, FirstStartShowsTheEmptyFormWithThePublicIp) {
  CLogInDlg dlg;
  Open(dlg);
  EXPECT_EQ(dlg.windowTitle(), QString::fromUtf8("NorvoSMS Login"));
  EXPECT_EQ(dlg.size(), QSize(527, 463));

  for (const layout::Control& entry : layout::kControls) {
    SCOPED_TRACE(entry.id);
    QWidget* control = dlg.GetDlgItem(entry.id);
    ASSERT_NE(control, nullptr);
    QRect expected = entry.moved ? QRect(entry.pixelX, entry.pixelY, entry.pixelWidth, entry.pixelHeight)
                                 : dialog_units::ToPixels(entry.x, entry.y, entry.cx, entry.cy);
    if (entry.id == layout::IDC_HELP_BUTTON) expected.setSize(QSize(14, 14));  // sized to its bitmap
    EXPECT_EQ(control->geometry(), expected);
    if (auto* label = qobject_cast<QLabel*>(control); label && entry.id != layout::IDC_IP_DISPLAY) {
      EXPECT_EQ(label->text(), QString::fromUtf8(entry.text));
    }
  }
  EXPECT_EQ(dlg.GetDlgItem(layout::IDC_HEADING)->font(), SkinFont(12, 1000));
  EXPECT_EQ(dlg.GetDlgItem(layout::IDC_GUIDE_PARAGRAPH)->font(), SkinFont(11, 0));
  EXPECT_EQ(dlg.GetDlgItem(layout::IDC_SETTING_LINK)->font(), SkinFont(11, 0));

  EXPECT_TRUE(Edit(dlg, layout::IDC_ID_EDIT)->text().isEmpty());
  EXPECT_EQ(Edit(dlg, layout::IDC_KEY_EDIT)->echoMode(), QLineEdit::Password);
  EXPECT_FALSE(dlg.IsDlgButtonChecked(layout::IDC_SAVE_ID));
  EXPECT_FALSE(dlg.IsDlgButtonChecked(layout::IDC_SAVE_KEY));
  EXPECT_EQ(dlg.ServiceEndNotice(), nullptr);
  EXPECT_TRUE(Boxes().empty());

  // The sandbox answers with the caller's address, asked for once.
  EXPECT_EQ(qobject_cast<QLabel*>(dlg.GetDlgItem(layout::IDC_IP_DISPLAY))->text(), QString("127.0.0.1"));
  EXPECT_EQ(sandbox::RequestCount(), 1);
  EXPECT_NE(sandbox::LastDocument().find("SMS.host_ip"), std::string::npos);

  QImage picture = GrabLoginScreen(dlg);
  EXPECT_EQ(picture.pixelColor(15, 100), QColor(0xcc, 0xcc, 0xcc));   // outer frame
  EXPECT_EQ(picture.pixelColor(110, 280), QColor(0xc8, 0xc8, 0xc8));  // edit frame
  EXPECT_EQ(picture.pixelColor(200, 354), QColor(0xeb, 0xeb, 0xeb));  // separator
  EXPECT_EQ(picture.pixelColor(300, 250), QColor(0xff, 0xff, 0xff));
  EXPECT_TRUE(SaveScreenshot(picture, "login_dialog"));
}

TEST_F(LoginDlgTest, IpDisplayShowsErrorWhenTheServiceFails) {
  sandbox::Plan("status 500 Internal Server Error");
  CLogInDlg dlg;
  Open(dlg);
  EXPECT_EQ(qobject_cast<QLabel*>(dlg.GetDlgItem(layout::IDC_IP_DISPLAY))->text(), QString("error"));
  EXPECT_TRUE(Boxes().empty());
}

TEST_F(LoginDlgTest, OkWithOnlyTheIdWritesTheSettingsThenAsksForBoth) {
  CLogInDlg dlg;
  Open(dlg);
  Fill(dlg, "demo", "");
  Check(dlg, layout::IDC_SAVE_ID);
  Check(dlg, layout::IDC_SAVE_KEY);
  PressOk(dlg);

  EXPECT_EQ(theApp.GetProfileString("Settings", "m_sEditID", "x"), "demo");
  EXPECT_EQ(StoredProfileBinary("bApiKey").size(), 8u);  // the empty key's zero, in one block
  EXPECT_EQ(theApp.GetProfileString("Settings", "m_sFirstLogin", "x"), "NotFirst");
  EXPECT_EQ(theApp.GetProfileString("NorvoSendSMS", "", "x"), GetProgramFolder());
  EXPECT_EQ(Boxes(), std::vector<std::string>{Ansi(layout::kMissingInputMessage)});
  EXPECT_EQ(dlg.ServiceEndNotice(), nullptr);

  // Unchecked boxes store an empty ID and an empty key.
  QTest::mouseClick(Box(dlg, layout::IDC_SAVE_ID), Qt::LeftButton, {}, QPoint(6, 8));
  QTest::mouseClick(Box(dlg, layout::IDC_SAVE_KEY), Qt::LeftButton, {}, QPoint(6, 8));
  PressOk(dlg);
  EXPECT_EQ(theApp.GetProfileString("Settings", "m_sEditID", "x"), "");
  EXPECT_TRUE(StoredProfileBinary("bApiKey").empty());
  EXPECT_EQ(theApp.GetProfileString("Settings", "m_sFirstLogin", "x"), "NotFirst");
  EXPECT_EQ(Boxes().size(), 2u);
}

TEST_F(LoginDlgTest, SecondStartLogsInByItselfAndKeepsTheStoredKey) {
  {
    CLogInDlg first;
    Open(first);
    Fill(first, "demo", "secret-key");
    Check(first, layout::IDC_SAVE_ID);
    Check(first, layout::IDC_SAVE_KEY);
    PressOk(first);
    ASSERT_NE(first.ServiceEndNotice(), nullptr);
    EXPECT_TRUE(first.ServiceEndNotice()->isVisible());
    EXPECT_EQ(theApp.GetProfileString("", "", "x"), GetProgramFolder());
  }
  const std::vector<BYTE> saved = StoredProfileBinary("bApiKey");
  ASSERT_FALSE(saved.empty());
  EXPECT_EQ(LoadStoredApiKey().value_or(""), "secret-key");

  CLogInDlg second;
  second.OnInitDialog();
  // The notice is up before the dialog is first shown.
  ASSERT_NE(second.ServiceEndNotice(), nullptr);
  EXPECT_TRUE(second.ServiceEndNotice()->isVisible());
  second.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&second));
  EXPECT_EQ(Edit(second, layout::IDC_ID_EDIT)->text(), QString("demo"));
  EXPECT_TRUE(Edit(second, layout::IDC_KEY_EDIT)->text().isEmpty());
  EXPECT_TRUE(second.m_sApiKey.empty());
  EXPECT_TRUE(second.IsDlgButtonChecked(layout::IDC_SAVE_ID));
  EXPECT_TRUE(second.IsDlgButtonChecked(layout::IDC_SAVE_KEY));
  EXPECT_TRUE(Boxes().empty());

  QImage picture = GrabLoginScreen(second);
  EXPECT_TRUE(SaveScreenshot(picture, "login_dialog_notice"));

  // OK with the key edit empty: asked for the key, and the saved key is kept as it was.
  PressOk(second);
  EXPECT_EQ(Boxes(), std::vector<std::string>{Ansi(layout::kMissingInputMessage)});
  EXPECT_EQ(StoredProfileBinary("bApiKey"), saved);

  CLogInDlg third;
  third.OnInitDialog();
  ASSERT_NE(third.ServiceEndNotice(), nullptr);
  EXPECT_EQ(LoadStoredApiKey().value_or(""), "secret-key");
}

TEST_F(LoginDlgTest, RepeatedOkShowsTheOneNoticeAgain) {
  CLogInDlg dlg;
  Open(dlg);
  Fill(dlg, "demo", "secret-key");
  PressOk(dlg);
  CServiceEndConfirmDlg* notice = dlg.ServiceEndNotice();
  ASSERT_NE(notice, nullptr);
  ASSERT_TRUE(QTest::qWaitForWindowExposed(notice));
  QTest::mouseClick(&notice->CloseButton(), Qt::LeftButton);
  EXPECT_FALSE(notice->isVisible());

  PressOk(dlg);
  EXPECT_EQ(dlg.ServiceEndNotice(), notice);
  EXPECT_TRUE(notice->isVisible());
  QTest::keyClick(Edit(dlg, layout::IDC_KEY_EDIT), Qt::Key_Return);  // Enter is OK too
  EXPECT_EQ(NoticeWindows(dlg), 1);
  EXPECT_TRUE(Boxes().empty());
  EXPECT_TRUE(ReadFile(launcherLog).empty());
}

TEST_F(LoginDlgTest, UnreachableUpdateServerCountsAsCurrent) {
  setenv("NORVOSMS_UPDATE_HOST", "127.0.0.1:1", 1);
  CLogInDlg dlg;
  Open(dlg);
  Fill(dlg, "demo", "secret-key");
  PressOk(dlg);
  EXPECT_EQ(Boxes(), std::vector<std::string>{Ansi("접속이 되지 않습니다.\n 다시 시도하여 주세요.")});
  ASSERT_NE(dlg.ServiceEndNotice(), nullptr);
  EXPECT_TRUE(dlg.ServiceEndNotice()->isVisible());
}

TEST_F(LoginDlgTest, UpdateStartsTheLauncherWithTheManifestAddressAndEnds) {
  ServeManifest(BuiltInManifest("update"));
  CLogInDlg dlg;
  theApp.m_pMainWnd = &dlg;
  bool clicked = false;
  QTimer::singleShot(0, &dlg, [&] {
    Fill(dlg, "demo", "secret-key");
    PressOk(dlg);
    clicked = true;
  });
  QTimer guard;  // a dialog that does not end fails the case instead of hanging it
  guard.setSingleShot(true);
  QObject::connect(&guard, &QTimer::timeout, &dlg, &QDialog::accept);
  guard.start(20000);
  int result = dlg.DoModal();
  EXPECT_TRUE(clicked);
  EXPECT_EQ(result, QDialog::Rejected);
  EXPECT_EQ(dlg.ServiceEndNotice(), nullptr);
  EXPECT_EQ(Boxes(), std::vector<std::string>{Ansi(layout::kUpdateMessage)});

  const std::string manifest = ManifestAddress();
  EXPECT_EQ(WaitForLauncher(), manifest + "\n");
  // The folder ends in its separator; the two in a row are kept, as the shell accepts them.
  const std::string launcher = GetProgramFolder() + "\\\\Launcher.exe";
  EXPECT_NE(ReadFile(shellLog).find("open\t" + launcher + "\t" + manifest + "\t\t1\n"), std::string::npos)
      << ReadFile(shellLog);
}

// With ID, key and marker saved, an update due at start ends the program before it is used.
TEST_F(LoginDlgTest, AutomaticLoginCanHandOverToTheLauncherWhileOpening) {
  std::vector<BYTE> cipher = EncryptText("secret-key");
  ASSERT_FALSE(cipher.empty());
  theApp.WriteProfileString("Settings", "m_sEditID", "demo");
  theApp.WriteProfileBinary("Settings", "bApiKey", cipher.data(), static_cast<UINT>(cipher.size()));
  theApp.WriteProfileString("Settings", "m_sFirstLogin", "NotFirst");
  ServeManifest(BuiltInManifest("update"));

  CLogInDlg dlg;
  theApp.m_pMainWnd = &dlg;
  QTimer guard;
  guard.setSingleShot(true);
  QObject::connect(&guard, &QTimer::timeout, &dlg, &QDialog::accept);
  guard.start(20000);
  EXPECT_EQ(dlg.DoModal(), QDialog::Rejected);
  EXPECT_EQ(Boxes(), std::vector<std::string>{Ansi(layout::kUpdateMessage)});
  EXPECT_EQ(WaitForLauncher(), ManifestAddress() + "\n");
  EXPECT_EQ(StoredProfileBinary("bApiKey"), cipher);
}

TEST_F(LoginDlgTest, LinksOpenTheConsolePagesWithTheHandCursor) {
  CLogInDlg dlg;
  Open(dlg);
  for (int id : {layout::IDC_SETTING_LINK, layout::IDC_SETTING_LINK_END, layout::IDC_SERVICE_INFO_LINK}) {
    QWidget* link = dlg.GetDlgItem(id);
    EXPECT_EQ(link->cursor().shape(), Qt::PointingHandCursor);
    EXPECT_EQ(link->palette().color(QPalette::WindowText), QColor(0x00, 0x4a, 0xb6));
    QTest::mouseClick(link, Qt::LeftButton);
  }
  const std::string base = "open\tIEXPLORE.EXE\t https://" + ConsoleHost();
  EXPECT_EQ(ReadFile(shellLog), base + "/admin/setting/ \t\t1\n" + base + "/admin/setting/ \t\t1\n" + base +
                                    "/admin/service-info/ \t\t1\n");
  EXPECT_EQ(dlg.GetDlgItem(layout::IDC_HEADING)->palette().color(QPalette::WindowText), QColor(Qt::black));
}

TEST_F(LoginDlgTest, EveryButtonShowsTheHandAndTheHelpButtonItsTooltip) {
  CLogInDlg dlg;
  Open(dlg);
  for (int id : {layout::IDC_OK, layout::IDC_HELP_BUTTON, layout::IDC_SAVE_ID, layout::IDC_SAVE_KEY})
    EXPECT_EQ(dlg.GetDlgItem(id)->cursor().shape(), Qt::PointingHandCursor) << id;
  Fill(dlg, "demo", "secret-key");
  PressOk(dlg);
  ASSERT_NE(dlg.ServiceEndNotice(), nullptr);
  EXPECT_EQ(dlg.ServiceEndNotice()->CloseButton().cursor().shape(), Qt::PointingHandCursor);

  CToolTipCtrl& tip = dlg.ToolTip();
  EXPECT_EQ(tip.GetMaxTipWidth(), 200);
  EXPECT_EQ(tip.GetTipBkColor(), RGB(255, 255, 210));
  EXPECT_EQ(tip.GetTipTextColor(), RGB(93, 93, 93));

  CHoverButton& help = dlg.HelpButton();
  QTest::mouseMove(&help, QPoint(7, 7));
  QTest::mouseMove(&help, QPoint(8, 8));
  EXPECT_TRUE(QTest::qWaitFor([&] { return tip.IsTipShown(); }, 3000));
  EXPECT_EQ(tip.TipWindow()->text(), QString::fromUtf8(layout::kTooltipText));
  EXPECT_LE(tip.TipWindow()->width(), 200 + 2 * (CToolTipCtrl::kMargin + 1));
  EXPECT_GT(tip.TipWindow()->height(), 4 * QFontMetrics(tip.TipWindow()->font()).height());
  EXPECT_EQ(tip.TipWindow()->palette().color(QPalette::Window), QColor(255, 255, 210));

  // A click only presses the button: the tip goes, nothing opens, nothing is written.
  QTest::mouseClick(&help, Qt::LeftButton, {}, QPoint(7, 7));
  EXPECT_FALSE(tip.IsTipShown());
  EXPECT_TRUE(ReadFile(shellLog).empty());
}

TEST_F(LoginDlgTest, EscapeEndsTheDialog) {
  CLogInDlg dlg;
  QTimer::singleShot(0, &dlg, [&] { QTest::keyClick(&dlg, Qt::Key_Escape); });
  EXPECT_EQ(dlg.DoModal(), QDialog::Rejected);
  EXPECT_TRUE(Boxes().empty());
}

}  // namespace
