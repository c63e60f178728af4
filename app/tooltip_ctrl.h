// A tooltip for one or more tools: shown after the mouse rests on a tool, hidden when it
// leaves, is pressed or after a while. Events reach it through RelayEvent, as on the platform.
#pragma once

#include <windows.h>

#include <QLabel>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>
#include <vector>

class QWidget;
class QEvent;

class CToolTipCtrl : public QObject {
  Q_OBJECT

 public:
  // The platform's defaults: the double-click time before showing, ten times that on screen.
  static constexpr int kInitialDelayMs = 500;
  static constexpr int kAutoPopMs = 5000;
  // Blank space between the tip's border and its text.
  static constexpr int kMargin = 3;

  explicit CToolTipCtrl(QObject* parent = nullptr);
  ~CToolTipCtrl() override;

  // Makes the (hidden) tip window, owned by the parent window.
  bool Create(QWidget* parent);
  // A tool identified by its window; its text may hold line breaks.
  bool AddTool(QWidget* tool, const QString& text);
  // Lines longer than this many pixels are broken; -1 (the default) breaks only at line breaks.
  int SetMaxTipWidth(int width);
  void SetTipBkColor(COLORREF colour);
  void SetTipTextColor(COLORREF colour);

  // Mouse events on a tool show or hide the tip.
  void RelayEvent(QObject* watched, QEvent* event);

  QLabel* TipWindow() const { return m_pTip; }
  bool IsTipShown() const;
  int GetMaxTipWidth() const { return m_nMaxWidth; }
  COLORREF GetTipBkColor() const { return m_crBack; }
  COLORREF GetTipTextColor() const { return m_crText; }

 private:
  struct Tool {
    QPointer<QWidget> window;
    QString text;
  };
  const Tool* FindTool(QObject* watched) const;
  void Show();
  void Hide();
  void ApplyColours();

  QPointer<QLabel> m_pTip;
  std::vector<Tool> m_tools;
  const Tool* m_pPending = nullptr;
  int m_nMaxWidth = -1;
  COLORREF m_crBack = RGB(255, 255, 225);
  COLORREF m_crText = RGB(0, 0, 0);
  QTimer m_showTimer;
  QTimer m_popTimer;
};
