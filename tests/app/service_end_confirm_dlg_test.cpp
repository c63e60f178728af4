#include "app/bitmap_resources.h"
#include "app/dialog_units.h"
#include "app/service_end_confirm_dlg.h"
#include "app/service_end_confirm_layout.h"
#include "app/skin.h"
#include "tests/app/qt_test_app.h"

#include <QElapsedTimer>
#include <QFile>
#include <QFontInfo>
#include <QGuiApplication>
#include <QLabel>
#include <QPointer>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

namespace layout = service_end_confirm_layout;

namespace {

class NoticeTest : public QtWidgetTest {
 protected:
  void SetUp() override {
    TestApplication();
    ASSERT_TRUE(logFolder.isValid());
    logPath = logFolder.filePath("shell.log");
    qputenv("NORVOSMS_SHELL_LOG", logPath.toLocal8Bit());
    qunsetenv("NORVOSMS_NOTICE_HOST");
    owner.resize(300, 200);
    owner.move(0, 0);
    owner.show();
    notice = new CServiceEndConfirmDlg(&owner);
  }
  void TearDown() override { qunsetenv("NORVOSMS_SHELL_LOG"); }

  void ShowNotice() {
    notice->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(notice));
  }

  QString ShellLog() const {
    QFile file(logPath);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
  }

  QLabel* Text(const char* text) const {
    for (QLabel* label : notice->findChildren<QLabel*>())
      if (label->text() == QString::fromUtf8(text)) return label;
    return nullptr;
  }

  QTemporaryDir logFolder;
  QString logPath;
  QWidget owner;
  CServiceEndConfirmDlg* notice = nullptr;  // owned by the owner window
};

TEST_F(NoticeTest, CaptionSizeAndEveryTextInItsPlace) {
  EXPECT_EQ(notice->windowTitle(), QString::fromUtf8("메시징(SMS 호스팅) PC 앱 종료 안내"));
  EXPECT_EQ(notice->size(), QSize(455, 226));
  EXPECT_FALSE(notice->isVisible());
  EXPECT_FALSE(notice->isModal());

  const struct {
    const char* text;
    int x, y, cx, cy;
    bool bold;
  } expected[] = {
      {"메시징(SMS 호스팅)", 19, 22, 65, 13, false},
      {"PC앱 서비스가 종료되어 로그인할 수 없습니다.", 88, 22, 208, 13, true},
      {"2024년 3월 28일 (목) 14:00", 82, 46, 186, 13, true},
      {"▶ 서비스 종료일 :", 19, 46, 62, 13, false},
      {"자세한 내용은 아래", 19, 71, 67, 13, false},
      {"[자세히 보기]", 86, 71, 58, 13, true},
      {"버튼을 클릭하여 확인해 주시기 바랍니다.", 143, 71, 141, 13, false},
  };
  EXPECT_EQ(notice->findChildren<QLabel*>().size(), 7);
  for (const auto& e : expected) {
    SCOPED_TRACE(e.text);
    QLabel* label = Text(e.text);
    ASSERT_NE(label, nullptr);
    EXPECT_EQ(label->geometry(), dialog_units::ToPixels(e.x, e.y, e.cx, e.cy));
    EXPECT_EQ(QFontInfo(label->font()).bold(), e.bold);
    EXPECT_EQ(label->palette().color(QPalette::WindowText), QColor(0, 0, 0));
    EXPECT_FALSE(label->autoFillBackground());
    EXPECT_LE(label->sizeHint().width(), label->width()) << "the text does not fit its place";
  }
  EXPECT_EQ(notice->GetDlgItem(1211), Text("PC앱 서비스가 종료되어 로그인할 수 없습니다."));
  EXPECT_EQ(notice->GetDlgItem(1201), Text("[자세히 보기]"));
  EXPECT_EQ(notice->GetDlgItem(1196), Text("메시징(SMS 호스팅)"));
  EXPECT_EQ(notice->GetDlgItem(-1), nullptr);
}

TEST_F(NoticeTest, ButtonsTakeTheirPixelPlacesAndBitmaps) {
  QWidget* details = notice->GetDlgItem(1);
  QWidget* close = notice->GetDlgItem(8);
  ASSERT_EQ(details, &notice->DetailsButton());
  ASSERT_EQ(close, &notice->CloseButton());
  EXPECT_EQ(details->geometry(), QRect(143, 156, 83, 39));
  EXPECT_EQ(close->geometry(), QRect(231, 156, 83, 39));
  ShowNotice();
  QImage shown = Grab(*notice);
  EXPECT_EQ(shown.copy(143, 156, 83, 39), Rgb(LoadBitmapImage(305)));
  EXPECT_EQ(shown.copy(231, 156, 83, 39), Rgb(LoadBitmapImage(308)));
}

TEST_F(NoticeTest, PaintsTheGreyFrameFilledWhite) {
  ShowNotice();
  QImage shown = Grab(*notice);
  const QRgb frame = qRgb(0xcc, 0xcc, 0xcc);
  EXPECT_EQ(shown.pixel(10, 10), frame);
  EXPECT_EQ(shown.pixel(445, 214), frame);
  EXPECT_EQ(shown.pixel(445, 100), frame);
  EXPECT_EQ(shown.pixel(200, 214), frame);
  EXPECT_EQ(shown.pixel(11, 11), qRgb(255, 255, 255));
  EXPECT_EQ(shown.pixel(444, 213), qRgb(255, 255, 255));
  const QRgb face = TheSkin().dialogFace.rgb();
  EXPECT_EQ(shown.pixel(446, 215), face);
  EXPECT_EQ(shown.pixel(9, 9), face);
  EXPECT_TRUE(SaveScreenshot(shown, "service_end_notice"));
}

TEST_F(NoticeTest, OpensCentredOnTheScreenAndKeepsItsPlaceWhenShownAgain) {
  QRect screen = QGuiApplication::primaryScreen()->geometry();
  EXPECT_EQ(notice->pos(), QPoint(screen.x() + (screen.width() - 455) / 2, screen.y() + (screen.height() - 226) / 2));
  ShowNotice();
  notice->move(notice->pos() + QPoint(37, -21));
  QPoint moved = notice->pos();
  QTest::mouseClick(&notice->CloseButton(), Qt::LeftButton, Qt::NoModifier, QPoint(40, 20));
  EXPECT_FALSE(notice->isVisible());
  ShowNotice();
  EXPECT_EQ(notice->pos(), moved);
}

TEST_F(NoticeTest, CloseButtonHidesWithoutDestroying) {
  QPointer<CServiceEndConfirmDlg> alive(notice);
  ShowNotice();
  QTest::mouseClick(&notice->CloseButton(), Qt::LeftButton, Qt::NoModifier, QPoint(40, 20));
  ASSERT_FALSE(alive.isNull());
  EXPECT_FALSE(notice->isVisible());
  EXPECT_EQ(notice->result(), QDialog::Accepted);
  EXPECT_TRUE(owner.isVisible());
  EXPECT_TRUE(ShellLog().isEmpty());  // nothing opened
  ShowNotice();
  EXPECT_TRUE(notice->isVisible());
}

TEST_F(NoticeTest, CloseBoxAndEscapeHideAsCancelled) {
  QPointer<CServiceEndConfirmDlg> alive(notice);
  ShowNotice();
  notice->close();
  ASSERT_FALSE(alive.isNull());
  EXPECT_FALSE(notice->isVisible());
  EXPECT_EQ(notice->result(), QDialog::Rejected);

  ShowNotice();
  QTest::keyClick(notice, Qt::Key_Escape);
  ASSERT_FALSE(alive.isNull());
  EXPECT_FALSE(notice->isVisible());
  EXPECT_EQ(notice->result(), QDialog::Rejected);
  EXPECT_TRUE(ShellLog().isEmpty());
}

TEST_F(NoticeTest, DetailsOpensTheNoticePageAndHides) {
  ShowNotice();
  QTest::mouseClick(&notice->DetailsButton(), Qt::LeftButton, Qt::NoModifier, QPoint(40, 20));
  EXPECT_FALSE(notice->isVisible());
  EXPECT_EQ(notice->result(), QDialog::Accepted);
  EXPECT_TRUE(owner.isVisible());
  EXPECT_EQ(ShellLog(),
            "open\thttps://127.0.0.1:8380/norvo_notice/view.php?seq_no=31182&page=1&gubun=&keyword=sms\t\t\t1\n");

  // Shown again, it opens the page again.
  ShowNotice();
  QTest::keyClick(notice, Qt::Key_Return);  // Enter is the dialog's OK: the details button
  EXPECT_FALSE(notice->isVisible());
  EXPECT_EQ(ShellLog().count("norvo_notice/view.php"), 2);
}

TEST_F(NoticeTest, NoticeHostComesFromTheEnvironment) {
  qputenv("NORVOSMS_NOTICE_HOST", "notice.example.invalid");
  EXPECT_EQ(CServiceEndConfirmDlg::NoticePageUrl(),
            "https://notice.example.invalid/norvo_notice/view.php?seq_no=31182&page=1&gubun=&keyword=sms");
  qputenv("NORVOSMS_NOTICE_HOST", "http://127.0.0.1:18380/");
  EXPECT_EQ(CServiceEndConfirmDlg::NoticePageUrl(),
            "http://127.0.0.1:18380/norvo_notice/view.php?seq_no=31182&page=1&gubun=&keyword=sms");
  qputenv("NORVOSMS_NOTICE_HOST", "");
  EXPECT_EQ(CServiceEndConfirmDlg::NoticePageUrl(),
            "https://127.0.0.1:8380/norvo_notice/view.php?seq_no=31182&page=1&gubun=&keyword=sms");
  qunsetenv("NORVOSMS_NOTICE_HOST");
}

TEST_F(NoticeTest, ANoticeHostThatCannotBeHonouredOpensNothing) {
  for (const char* host : {"user@notice.example.invalid", "https://notice.example.invalid:0/",
                           "notice.example.invalid:", "notice.example.invalid:65617", "[::1]:8380"}) {
    SCOPED_TRACE(host);
    qputenv("NORVOSMS_NOTICE_HOST", host);
    testing::internal::CaptureStderr();
    EXPECT_EQ(CServiceEndConfirmDlg::NoticePageUrl(), "");
    EXPECT_EQ(testing::internal::GetCapturedStderr().rfind("NORVOSMS_NOTICE_HOST cannot be honoured: ", 0), 0u);
  }
  ShowNotice();
  testing::internal::CaptureStderr();
  QTest::mouseClick(&notice->DetailsButton(), Qt::LeftButton, Qt::NoModifier, QPoint(40, 20));
  testing::internal::GetCapturedStderr();
  EXPECT_FALSE(notice->isVisible());
  EXPECT_TRUE(ShellLog().isEmpty());
  qunsetenv("NORVOSMS_NOTICE_HOST");
}

TEST_F(NoticeTest, ButtonHoveredWhenHiddenLooksNormalWhenShownAgain) {
  ShowNotice();
  CHoverButton& close = notice->CloseButton();
  QTest::mouseMove(notice, close.geometry().center());
  QElapsedTimer t;
  t.start();
  while (!close.IsHoverShown() && t.elapsed() < 1000) QTest::qWait(2);
  ASSERT_TRUE(close.IsHoverShown());
  QTest::mouseClick(&close, Qt::LeftButton, Qt::NoModifier, QPoint(40, 20));
  ASSERT_FALSE(notice->isVisible());
  ShowNotice();
  EXPECT_EQ(close.CurrentLook(), CHoverButton::Look::Normal);
}

// The notice's two buttons in each of their looks, driven by the mouse, for the screenshots.
TEST_F(NoticeTest, ScreenshotsOfEachButtonLook) {
  ShowNotice();
  for (CHoverButton* button : {&notice->DetailsButton(), &notice->CloseButton()}) {
    const QString name = button == &notice->DetailsButton() ? "notice_details" : "notice_close";
    const int normal = button == &notice->DetailsButton() ? 305 : 308;
    QTest::mouseMove(notice, QPoint(30, 200));
    EXPECT_EQ(Grab(*button), Rgb(LoadBitmapImage(normal)));
    EXPECT_TRUE(SaveScreenshot(Grab(*button), name + "_normal"));

    QTest::mouseMove(notice, button->geometry().center());
    QElapsedTimer t;
    t.start();
    while (!button->IsHoverShown() && t.elapsed() < 1000) QTest::qWait(2);
    EXPECT_EQ(Grab(*button), Rgb(LoadBitmapImage(normal + 1)));
    EXPECT_TRUE(SaveScreenshot(Grab(*button), name + "_hover"));
    EXPECT_TRUE(SaveScreenshot(Grab(*notice), name + "_hover_in_notice"));

    QTest::mousePress(button, Qt::LeftButton, Qt::NoModifier, QPoint(40, 20));
    EXPECT_EQ(Grab(*button), Rgb(LoadBitmapImage(normal + 2)));
    EXPECT_TRUE(SaveScreenshot(Grab(*button), name + "_pressed"));
    // Let go off the button, so the notice stays open.
    QTest::mouseRelease(button, Qt::LeftButton, Qt::NoModifier, QPoint(-20, -20));
  }
  EXPECT_TRUE(notice->isVisible());
}

}  // namespace
