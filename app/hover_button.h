// A skinned push button of three bitmaps: normal, hover (after the mouse rests on it) and pressed.
#pragma once

#include <QAbstractButton>
#include <QPixmap>
#include <QTimer>

class CHoverButton : public QAbstractButton {
  Q_OBJECT

 public:
  enum class Look { Normal, Hover, Pressed };

  // How long the mouse must rest on the button before the hover look shows.
  static constexpr int kHoverTimeMs = 1;

  explicit CHoverButton(QWidget* parent = nullptr);

  // Note the order: pressed second, hover third. Sizes the button to the normal bitmap without
  // moving it. False when a bitmap is missing (that look then draws nothing).
  bool LoadStateBitmaps(int normalId, int pressedId, int hoverId);

  // The bitmap the next paint copies.
  Look CurrentLook() const;
  bool IsHoverShown() const { return m_bHover; }
  bool IsTracking() const { return m_bTracking; }
  QSize BitmapSize() const { return QSize(m_nWidth, m_nHeight); }

  QSize sizeHint() const override;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void leaveEvent(QEvent* event) override;
  void hideEvent(QHideEvent* event) override;

 private:
  void DrawItem(QPainter& painter);
  void OnMouseHover();
  void OnMouseLeave();

  bool m_bHover = false;
  int m_nWidth = 0;
  int m_nHeight = 0;
  QPixmap m_bmpNormal;
  QPixmap m_bmpHover;
  QPixmap m_bmpPressed;
  bool m_bTracking = false;

  // The platform's hover report: one-shot, armed when tracking starts, restarted while the mouse moves.
  QTimer m_hoverTimer;
  bool m_bHoverPending = false;
};
