#include "app/bitmap_resources.h"
#include "app/hover_button.h"
#include "tests/app/qt_test_app.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

namespace {

// A parent with room around the button, so the mouse can be moved off it.
class HoverButtonTest : public QtWidgetTest {
 protected:
  void SetUp() override {
    TestApplication();
    host.resize(240, 140);
    host.setAutoFillBackground(true);
    host.setPalette(QPalette(QColor("#ffffff")));
    button = new CHoverButton(&host);
    ASSERT_TRUE(button->LoadStateBitmaps(IDB_NOTICE_DETAILS, IDB_NOTICE_DETAILS_PRESSED, IDB_NOTICE_DETAILS_HOVER));
    button->move(40, 30);
    host.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&host));
  }

  QPoint OnButton(int dx = 20, int dy = 15) const { return button->pos() + QPoint(dx, dy); }

  bool WaitForLook(CHoverButton::Look look, int ms = 1000) {
    QElapsedTimer t;
    t.start();
    while (button->CurrentLook() != look && t.elapsed() < ms) QTest::qWait(2);
    return button->CurrentLook() == look;
  }

  // What the screen shows of the button, against the bitmap it should be.
  bool Shows(int bitmapId) {
    QImage shown = Grab(*button).copy(0, 0, 83, 39);
    return shown == Rgb(LoadBitmapImage(bitmapId));
  }

  QWidget host;
  CHoverButton* button = nullptr;
};

TEST_F(HoverButtonTest, StartsNormalAtTheNormalBitmapsSize) {
  EXPECT_EQ(button->size(), QSize(83, 39));
  EXPECT_EQ(button->pos(), QPoint(40, 30));  // sized, not moved
  EXPECT_EQ(button->CurrentLook(), CHoverButton::Look::Normal);
  EXPECT_FALSE(button->IsTracking());
  EXPECT_TRUE(Shows(IDB_NOTICE_DETAILS));
  EXPECT_TRUE(SaveScreenshot(Grab(*button), "hover_button_normal"));
}

TEST_F(HoverButtonTest, HoverShowsAfterTheMouseRestsAndLeaveRestoresNormal) {
  QTest::mouseMove(&host, OnButton());
  EXPECT_TRUE(button->IsTracking());
  ASSERT_TRUE(WaitForLook(CHoverButton::Look::Hover));
  EXPECT_TRUE(Shows(IDB_NOTICE_DETAILS_HOVER));
  EXPECT_TRUE(SaveScreenshot(Grab(*button), "hover_button_hover"));

  QTest::mouseMove(&host, QPoint(5, 5));
  EXPECT_EQ(button->CurrentLook(), CHoverButton::Look::Normal);
  EXPECT_FALSE(button->IsTracking());
  EXPECT_TRUE(Shows(IDB_NOTICE_DETAILS));

  // Entering again asks for the hover report anew.
  QTest::mouseMove(&host, OnButton(30, 10));
  EXPECT_TRUE(button->IsTracking());
  EXPECT_TRUE(WaitForLook(CHoverButton::Look::Hover));
}

TEST_F(HoverButtonTest, HoverStaysWhileTheMouseMovesOnTheButton) {
  QTest::mouseMove(&host, OnButton());
  ASSERT_TRUE(WaitForLook(CHoverButton::Look::Hover));
  QTest::mouseMove(&host, OnButton(60, 20));
  QTest::mouseMove(&host, OnButton(2, 2));
  EXPECT_EQ(button->CurrentLook(), CHoverButton::Look::Hover);
}

TEST_F(HoverButtonTest, PressedWhileHeldThenHoverAgainOnRelease) {
  QSignalSpy clicks(button, &QAbstractButton::clicked);
  QTest::mouseMove(&host, OnButton());
  ASSERT_TRUE(WaitForLook(CHoverButton::Look::Hover));
  QTest::mousePress(button, Qt::LeftButton, Qt::NoModifier, QPoint(20, 15));
  EXPECT_EQ(button->CurrentLook(), CHoverButton::Look::Pressed);
  EXPECT_TRUE(Shows(IDB_NOTICE_DETAILS_PRESSED));
  EXPECT_TRUE(SaveScreenshot(Grab(*button), "hover_button_pressed"));
  EXPECT_EQ(clicks.count(), 0);

  QTest::mouseRelease(button, Qt::LeftButton, Qt::NoModifier, QPoint(20, 15));
  EXPECT_EQ(button->CurrentLook(), CHoverButton::Look::Hover);
  EXPECT_TRUE(Shows(IDB_NOTICE_DETAILS_HOVER));
  EXPECT_EQ(clicks.count(), 1);
}

TEST_F(HoverButtonTest, PressedWhateverTheHoverFlagSays) {
  ASSERT_FALSE(button->IsHoverShown());
  QTest::mousePress(button, Qt::LeftButton, Qt::NoModifier, QPoint(10, 10));
  EXPECT_EQ(button->CurrentLook(), CHoverButton::Look::Pressed);
  EXPECT_TRUE(Shows(IDB_NOTICE_DETAILS_PRESSED));
  QTest::mouseRelease(button, Qt::LeftButton, Qt::NoModifier, QPoint(10, 10));
  EXPECT_NE(button->CurrentLook(), CHoverButton::Look::Pressed);
}

TEST_F(HoverButtonTest, FocusHasNoLookOfItsOwn) {
  button->setFocus();
  ASSERT_TRUE(button->hasFocus());
  EXPECT_TRUE(Shows(IDB_NOTICE_DETAILS));
}

TEST_F(HoverButtonTest, LargerWindowShowsTheBitmapUnstretchedInItsTopLeftCorner) {
  button->resize(120, 60);
  QImage shown = Grab(*button);
  EXPECT_EQ(shown.copy(0, 0, 83, 39), Rgb(LoadBitmapImage(IDB_NOTICE_DETAILS)));
  EXPECT_EQ(shown.pixel(100, 50), qRgb(255, 255, 255));  // the parent shows through
  EXPECT_EQ(button->BitmapSize(), QSize(83, 39));
}

TEST_F(HoverButtonTest, ReloadingTakesTheNewNormalBitmapsSize) {
  EXPECT_TRUE(button->LoadStateBitmaps(IDB_LOGIN_OK, IDB_LOGIN_OK_PRESSED, IDB_LOGIN_OK_HOVER));
  EXPECT_EQ(button->size(), QSize(83, 77));
  EXPECT_EQ(Grab(*button), Rgb(LoadBitmapImage(IDB_LOGIN_OK)));
}

TEST_F(HoverButtonTest, MissingBitmapsAreReportedAndDrawNothing) {
  EXPECT_FALSE(button->LoadStateBitmaps(9999, 9998, 9997));
  EXPECT_EQ(button->size(), QSize(0, 0));
  button->resize(20, 20);
  QImage shown = Grab(*button);
  EXPECT_EQ(shown.pixel(5, 5), qRgb(255, 255, 255));
}

}  // namespace
