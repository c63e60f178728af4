#include "app/hover_button.h"

#include "app/bitmap_resources.h"

#include <QMouseEvent>
#include <QPainter>

CHoverButton::CHoverButton(QWidget* parent) : QAbstractButton(parent) {
  setMouseTracking(true);  // moves arrive without a button held, as on the platform
  m_hoverTimer.setSingleShot(true);
  m_hoverTimer.setInterval(kHoverTimeMs);
  connect(&m_hoverTimer, &QTimer::timeout, this, [this] {
    if (!m_bHoverPending) return;
    m_bHoverPending = false;
    OnMouseHover();
  });
}

bool CHoverButton::LoadStateBitmaps(int normalId, int pressedId, int hoverId) {
  m_bmpNormal = QPixmap();
  m_bmpPressed = QPixmap();
  m_bmpHover = QPixmap();
  m_bmpNormal = LoadBitmapResource(normalId);
  m_bmpPressed = LoadBitmapResource(pressedId);
  m_bmpHover = LoadBitmapResource(hoverId);
  m_nWidth = m_bmpNormal.width();
  m_nHeight = m_bmpNormal.height();
  resize(m_nWidth, m_nHeight);
  update();
  return !m_bmpNormal.isNull() && !m_bmpPressed.isNull() && !m_bmpHover.isNull();
}

CHoverButton::Look CHoverButton::CurrentLook() const {
  if (isDown()) return Look::Pressed;
  if (m_bHover) return Look::Hover;
  return Look::Normal;
}

QSize CHoverButton::sizeHint() const { return QSize(m_nWidth, m_nHeight); }

void CHoverButton::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  DrawItem(painter);
}

// One copy of the chosen bitmap to the origin, never scaled; no focus or disabled look.
void CHoverButton::DrawItem(QPainter& painter) {
  const QPixmap* bitmap = &m_bmpNormal;
  switch (CurrentLook()) {
    case Look::Pressed: bitmap = &m_bmpPressed; break;
    case Look::Hover: bitmap = &m_bmpHover; break;
    case Look::Normal: break;
  }
  if (bitmap->isNull()) return;
  painter.drawPixmap(QPoint(0, 0), *bitmap, QRect(0, 0, m_nWidth, m_nHeight));
}

void CHoverButton::mouseMoveEvent(QMouseEvent* event) {
  if (!m_bTracking) {
    m_bTracking = true;
    m_bHoverPending = true;
    m_hoverTimer.start();
  } else if (m_bHoverPending) {
    m_hoverTimer.start();  // the mouse has not rested yet
  }
  QAbstractButton::mouseMoveEvent(event);
}

void CHoverButton::leaveEvent(QEvent* event) {
  if (m_bTracking) OnMouseLeave();
  QAbstractButton::leaveEvent(event);
}

// A hidden button no longer has the mouse on it, as when the mouse leaves.
void CHoverButton::hideEvent(QHideEvent* event) {
  if (m_bTracking) OnMouseLeave();
  QAbstractButton::hideEvent(event);
}

void CHoverButton::OnMouseHover() {
  m_bHover = true;
  update();
}

void CHoverButton::OnMouseLeave() {
  m_hoverTimer.stop();
  m_bHoverPending = false;
  m_bTracking = false;
  m_bHover = false;
  update();
}
