#include "app/service_end_confirm_dlg.h"

#include "app/dialog_template.h"
#include "app/dialog_units.h"
#include "app/service_end_confirm_layout.h"
#include "app/skin.h"

#include <windows.h>
#include <shellapi.h>

#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QScreen>
#include <cstdio>
#include <cstdlib>

#include "xmlrpc/host_setting.h"

namespace layout = service_end_confirm_layout;

namespace {
constexpr const char* kControlIdProperty = "controlId";
}

CServiceEndConfirmDlg::CServiceEndConfirmDlg(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint),
      m_btnDetails(this),
      m_btnClose(this) {
  setModal(false);
  ApplyDialogTemplate(*this, layout::kCaption, layout::kWidthDu, layout::kHeightDu);

  for (const layout::StaticText& entry : layout::kTexts) {
    auto* label = new QLabel(QString::fromUtf8(entry.text), this);
    label->setProperty(kControlIdProperty, entry.id);
    label->setGeometry(dialog_units::ToPixels(entry.x, entry.y, entry.cx, entry.cy));
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    label->setWordWrap(true);
    label->setTextFormat(Qt::PlainText);
  }
  for (auto [button, place] :
       {std::pair{&m_btnDetails, &layout::kDetailsButton}, std::pair{&m_btnClose, &layout::kCloseButton}}) {
    button->setProperty(kControlIdProperty, place->id);
    button->setText(QString::fromUtf8(place->text));
    button->setGeometry(dialog_units::ToPixels(place->x, place->y, place->cx, place->cy));
  }
  connect(&m_btnDetails, &QAbstractButton::clicked, this, &CServiceEndConfirmDlg::OnDetails);
  connect(&m_btnClose, &QAbstractButton::clicked, this, &CServiceEndConfirmDlg::OnCloseButton);
  OnInitDialog();
}

void CServiceEndConfirmDlg::OnInitDialog() {
  // The whole screen, wherever the owner stands.
  if (QScreen* screen = QGuiApplication::primaryScreen()) {
    QRect desktop = screen->geometry();
    move(desktop.x() + (desktop.width() - width()) / 2, desktop.y() + (desktop.height() - height()) / 2);
  }

  m_fontBold = SkinFont(layout::kBoldFontHeight, layout::kBoldFontWeight);
  for (int id : {layout::IDC_ENDED_MESSAGE, layout::IDC_END_DATE, layout::IDC_DETAILS_TEXT})
    if (QWidget* control = GetDlgItem(id)) control->setFont(m_fontBold);

  // Static texts: black, straight on the painted white frame.
  for (QLabel* label : findChildren<QLabel*>()) {
    QPalette colours = label->palette();
    colours.setColor(QPalette::WindowText, TheSkin().staticText);
    label->setPalette(colours);
    label->setAutoFillBackground(false);
  }

  for (auto [button, place] :
       {std::pair{&m_btnDetails, &layout::kDetailsButton}, std::pair{&m_btnClose, &layout::kCloseButton}}) {
    button->LoadStateBitmaps(place->normalBitmap, place->pressedBitmap, place->hoverBitmap);
    button->setGeometry(place->pixelX, place->pixelY, place->pixelWidth, place->pixelHeight);
  }
  m_btnDetails.setFocus();
}

QWidget* CServiceEndConfirmDlg::GetDlgItem(int id) const {
  if (id == layout::IDC_STATIC) return nullptr;
  for (QWidget* child : findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
    QVariant value = child->property(kControlIdProperty);
    if (value.isValid() && value.toInt() == id) return child;
  }
  return nullptr;
}

std::string CServiceEndConfirmDlg::NoticePageUrl() {
  const char* configured = std::getenv(layout::kNoticeHostVariable);
  std::string host = configured && *configured ? configured : layout::kDefaultNoticeHost;
  while (!host.empty() && host.back() == '/') host.pop_back();
  std::string origin = host.find("://") == std::string::npos ? "https://" + host : host;
  std::string problem = UrlSettingProblem(origin);
  if (!problem.empty()) {  // nothing is opened
    std::fprintf(stderr, "%s cannot be honoured: %s; nothing was sent\n", layout::kNoticeHostVariable, problem.c_str());
    return "";
  }
  return origin + layout::kNoticePath + "?" + layout::kNoticeQuery;
}

void CServiceEndConfirmDlg::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  PaintFrameRect(painter, HexToColor(skin_colour::kOuterFrame), TheSkin().frameFill, layout::kFrameLeft,
                 layout::kFrameTop, layout::kFrameRight, layout::kFrameBottom);
}

// Enter is the dialog's OK, which is the details button's number.
void CServiceEndConfirmDlg::keyPressEvent(QKeyEvent* event) {
  if (event->modifiers() == Qt::NoModifier || event->modifiers() == Qt::KeypadModifier) {
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
      OnDetails();
      return;
    }
  }
  QDialog::keyPressEvent(event);
}

// Whether the page opened is not examined; the notice hides either way.
void CServiceEndConfirmDlg::OnDetails() {
  const std::string url = NoticePageUrl();
  if (!url.empty()) ShellExecuteA(0, "open", url.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
  done(QDialog::Accepted);
}

void CServiceEndConfirmDlg::OnCloseButton() { done(QDialog::Accepted); }
