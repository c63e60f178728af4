#include "app/tooltip_ctrl.h"

#include "app/skin.h"

#include <QCursor>
#include <QEvent>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QLabel>
#include <QScreen>

namespace {
// Below the cursor's hot spot, as the platform places tips.
constexpr int kCursorOffsetY = 20;
constexpr int kBorder = 1;
constexpr int kUnboundedWidth = 4096;
}  // namespace

CToolTipCtrl::CToolTipCtrl(QObject* parent) : QObject(parent) {
  m_showTimer.setSingleShot(true);
  m_showTimer.setInterval(kInitialDelayMs);
  connect(&m_showTimer, &QTimer::timeout, this, &CToolTipCtrl::Show);
  m_popTimer.setSingleShot(true);
  m_popTimer.setInterval(kAutoPopMs);
  connect(&m_popTimer, &QTimer::timeout, this, &CToolTipCtrl::Hide);
}

CToolTipCtrl::~CToolTipCtrl() = default;

bool CToolTipCtrl::Create(QWidget* parent) {
  if (m_pTip) return true;
  m_pTip = new QLabel(parent, Qt::ToolTip | Qt::FramelessWindowHint);
  m_pTip->setTextFormat(Qt::PlainText);
  m_pTip->setWordWrap(true);
  m_pTip->setMargin(kMargin);
  m_pTip->setFrameShape(QFrame::Box);
  m_pTip->setLineWidth(kBorder);
  m_pTip->setAutoFillBackground(true);
  m_pTip->setFont(DialogTemplateFont());
  m_pTip->setAttribute(Qt::WA_ShowWithoutActivating);
  ApplyColours();
  return true;
}

bool CToolTipCtrl::AddTool(QWidget* tool, const QString& text) {
  if (!tool) return false;
  m_tools.push_back(Tool{tool, text});
  m_pPending = nullptr;  // the vector may have moved
  return true;
}

int CToolTipCtrl::SetMaxTipWidth(int width) {
  int previous = m_nMaxWidth;
  m_nMaxWidth = width;
  return previous;
}

void CToolTipCtrl::SetTipBkColor(COLORREF colour) {
  m_crBack = colour;
  ApplyColours();
}

void CToolTipCtrl::SetTipTextColor(COLORREF colour) {
  m_crText = colour;
  ApplyColours();
}

void CToolTipCtrl::ApplyColours() {
  if (!m_pTip) return;
  QPalette colours = m_pTip->palette();
  colours.setColor(QPalette::Window, ColorFromRef(m_crBack));
  colours.setColor(QPalette::WindowText, ColorFromRef(m_crText));
  m_pTip->setPalette(colours);
}

bool CToolTipCtrl::IsTipShown() const { return m_pTip && m_pTip->isVisible(); }

const CToolTipCtrl::Tool* CToolTipCtrl::FindTool(QObject* watched) const {
  for (const Tool& tool : m_tools)
    if (tool.window && tool.window == watched) return &tool;
  return nullptr;
}

void CToolTipCtrl::RelayEvent(QObject* watched, QEvent* event) {
  if (!event || !m_pTip) return;
  const Tool* tool = FindTool(watched);
  if (!tool) return;
  switch (event->type()) {
    case QEvent::Enter:
    case QEvent::MouseMove:
      if (!IsTipShown()) {
        m_pPending = tool;
        m_showTimer.start();  // restarts while the mouse keeps moving
      }
      break;
    case QEvent::Leave:
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
    case QEvent::Hide:
    case QEvent::KeyPress: Hide(); break;
    default: break;
  }
}

void CToolTipCtrl::Show() {
  if (!m_pTip || !m_pPending || !m_pPending->window || !m_pPending->window->isVisible()) return;
  const QString text = m_pPending->text;
  m_pTip->setText(text);
  int textWidth = m_nMaxWidth > 0 ? m_nMaxWidth : kUnboundedWidth;
  QRect bounds = QFontMetrics(m_pTip->font())
                     .boundingRect(QRect(0, 0, textWidth, kUnboundedWidth), Qt::TextWordWrap | Qt::AlignLeft, text);
  int chrome = 2 * (kMargin + kBorder);
  m_pTip->setFixedSize(bounds.width() + chrome, bounds.height() + chrome);

  QPoint at = QCursor::pos() + QPoint(0, kCursorOffsetY);
  if (QScreen* screen = QGuiApplication::screenAt(QCursor::pos())) {
    QRect area = screen->geometry();
    at.setX(std::max(area.left(), std::min(at.x(), area.right() + 1 - m_pTip->width())));
    at.setY(std::max(area.top(), std::min(at.y(), area.bottom() + 1 - m_pTip->height())));
  }
  m_pTip->move(at);
  m_pTip->show();
  m_pTip->raise();
  m_popTimer.start();
}

void CToolTipCtrl::Hide() {
  m_showTimer.stop();
  m_popTimer.stop();
  m_pPending = nullptr;
  if (m_pTip) m_pTip->hide();
}
