#include "app/login_dlg.h"

#include "api/NorvoSMS.h"
#include "app/bitmap_resources.h"
#include "app/button_class_cursor.h"
#include "app/credential_protection.h"
#include "app/dialog_template.h"
#include "app/dialog_units.h"
#include "app/login_dlg_layout.h"
#include "app/login_settings.h"
#include "app/norvosms_app.h"
#include "app/path_text.h"
#include "app/service_end_confirm_dlg.h"
#include "app/skin.h"
#include "text/ansi_text.h"
#include "updater/service_hosts.h"
#include "updater/version_check.h"

#include <shellapi.h>
#include <windows.h>

#include <QCheckBox>
#include <QEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QTextLayout>
#include <algorithm>
#include <functional>
#include <optional>

namespace layout = login_dlg_layout;

namespace {

constexpr const char* kControlIdProperty = "controlId";

// A static text as the platform draws it: broken at word ends to its width, one line per
// cell height of its font (no extra leading), clipped to its rectangle.
class StaticText : public QLabel {
 public:
  using QLabel::QLabel;

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter painter(this);
    painter.setPen(palette().color(QPalette::WindowText));
    const QFontMetrics metrics(font());
    const int width = contentsRect().width();
    int y = contentsRect().top();
    for (const QString& paragraph : text().split(QLatin1Char('\n'))) {
      QTextLayout lines(paragraph, font());
      QTextOption option(Qt::AlignLeft);
      option.setWrapMode(QTextOption::WordWrap);
      lines.setTextOption(option);
      lines.beginLayout();
      for (QTextLine line = lines.createLine(); line.isValid(); line = lines.createLine()) {
        line.setLineWidth(width);
        line.setPosition(QPointF(0, 0));
        line.draw(&painter, QPointF(contentsRect().left(), y));
        y += metrics.height();
      }
      lines.endLayout();
    }
  }
};

// A static that sends click notifications: a release of the left button inside it.
class NotifyStatic : public StaticText {
 public:
  using StaticText::StaticText;
  std::function<void()> onClicked;

 protected:
  void mouseReleaseEvent(QMouseEvent* event) override {
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()) && onClicked) onClicked();
    StaticText::mouseReleaseEvent(event);
  }
};

// The members hold ANSI code page text; the controls hold Unicode.
QString FromAnsi(const std::string& text) {
  const WideText wide = WideFromAnsi(text);
  return QString::fromUtf16(reinterpret_cast<const char16_t*>(wide.data()), static_cast<qsizetype>(wide.size()));
}

std::string ToAnsi(const QString& text) { return AnsiText(text.toUtf8().constData()); }

CNorvoSMSApp& App() {
  CNorvoSMSApp* app = AfxGetApp();
  return app ? *app : theApp;
}

void Wipe(std::string& text) {
  std::fill(text.begin(), text.end(), '\0');
  text.clear();
}

}  // namespace

CLogInDlg::CLogInDlg(QWidget* pParent)
    : QDialog(pParent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint),
      m_toolTip(this),
      m_brEdit(ColorFromRef(HexToColor(skin_colour::kEditFill))),
      m_brStatic(Qt::white),
      m_btnOk(this),
      m_btnHelp(this) {
  ApplyDialogTemplate(*this, layout::kCaption, layout::kWidthDu, layout::kHeightDu);
  BuildControls();
}

CLogInDlg::~CLogInDlg() { delete m_pVersion; }

// The template: every control at its template place, in template order (the tab order; the
// later ones lie above the earlier, so the links cover their words in the paragraphs).
void CLogInDlg::BuildControls() {
  QWidget* previous = nullptr;
  for (const layout::Control& entry : layout::kControls) {
    QWidget* control = nullptr;
    const QString text = QString::fromUtf8(entry.text);
    switch (entry.kind) {
      case layout::Kind::Edit:
      case layout::Kind::PasswordEdit: {
        auto* edit = new QLineEdit(this);
        edit->setFrame(false);
        if (entry.kind == layout::Kind::PasswordEdit) edit->setEchoMode(QLineEdit::Password);
        (entry.id == layout::IDC_ID_EDIT ? m_pIdEdit : m_pKeyEdit) = edit;
        control = edit;
        break;
      }
      case layout::Kind::OkButton:
        m_btnOk.setText(text);
        m_btnOk.raise();
        connect(&m_btnOk, &QAbstractButton::clicked, this, &CLogInDlg::OnOK);
        control = &m_btnOk;
        break;
      case layout::Kind::HelpButton:
        m_btnHelp.setText(text);
        m_btnHelp.raise();
        m_btnHelp.installEventFilter(this);
        control = &m_btnHelp;
        break;
      case layout::Kind::CheckBox: {
        auto* box = new QCheckBox(text, this);
        (entry.id == layout::IDC_SAVE_ID ? m_pSaveId : m_pSaveKey) = box;
        control = box;
        break;
      }
      case layout::Kind::Static: {
        auto* label = new StaticText(text, this);
        label->setTextFormat(Qt::PlainText);
        label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        label->setWordWrap(true);
        if (entry.id == layout::IDC_IP_DISPLAY) m_pIpDisplay = label;
        control = label;
        break;
      }
      case layout::Kind::LinkStatic: {
        auto* link = new NotifyStatic(text, this);
        link->setTextFormat(Qt::PlainText);
        link->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        const char* page =
            entry.id == layout::IDC_SERVICE_INFO_LINK ? layout::kServiceInfoPagePath : layout::kSettingPagePath;
        link->onClicked = [this, page] { OpenConsolePage(page); };
        control = link;
        break;
      }
    }
    control->setProperty(kControlIdProperty, entry.id);
    control->setGeometry(dialog_units::ToPixels(entry.x, entry.y, entry.cx, entry.cy));
    if (previous && control->focusPolicy() != Qt::NoFocus) QWidget::setTabOrder(previous, control);
    if (control->focusPolicy() != Qt::NoFocus) previous = control;
  }
  m_btnOk.setFocusPolicy(Qt::StrongFocus);
  m_btnHelp.setFocusPolicy(Qt::StrongFocus);
}

QWidget* CLogInDlg::GetDlgItem(int id) const {
  for (QWidget* child : findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
    QVariant value = child->property(kControlIdProperty);
    if (value.isValid() && value.toInt() == id) return child;
  }
  return nullptr;
}

bool CLogInDlg::IsDlgButtonChecked(int id) const {
  auto* box = qobject_cast<QCheckBox*>(GetDlgItem(id));
  return box && box->isChecked();
}

int CLogInDlg::DoModal() {
  OnInitDialog();
  return exec();
}

BOOL CLogInDlg::OnInitDialog() {
  if (m_bInitialised) return TRUE;
  m_bInitialised = true;

  const LoginSettings settings = ReadLoginSettings(App());
  m_sEditID = settings.sEditID;
  const bool bStoredKey = settings.bStoredKey;
  m_sFirstLogin = settings.sFirstLogin;
  m_sEnc = settings.sEnc;

  ShowPublicIp();
  UpdateData(false);
  CreateToolTip();

  if (!m_sFirstLogin.empty() && !m_sEditID.empty() && bStoredKey) {
    std::optional<std::string> key = LoadStoredApiKey();
    m_sApiKey = key.value_or(std::string());
    ProceedLogin(m_sEditID, m_sApiKey);
    if (key) Wipe(*key);
    Wipe(m_sApiKey);  // the key edit stays empty
  }

  m_pSaveId->setChecked(!m_sEditID.empty());
  m_pSaveKey->setChecked(bStoredKey);
  ApplySkin();

  if (QWidget* first = GetDlgItem(layout::kControls[0].id)) first->setFocus();
  return TRUE;
}

// Fetched once; the library's client lives only for this lookup.
void CLogInDlg::ShowPublicIp() {
  InitHostIP();
  const char* ip = HostIPSMS();
  m_pIpDisplay->setText(ip ? FromAnsi(ip) : QString());
  FreeDll();
}

void CLogInDlg::CreateToolTip() {
  m_toolTip.Create(this);
  m_toolTip.AddTool(&m_btnHelp, QString::fromUtf8(layout::kTooltipText));
  m_toolTip.SetMaxTipWidth(layout::kTooltipMaxWidth);
  m_toolTip.SetTipBkColor(skin_colour::kTooltipBack);
  m_toolTip.SetTipTextColor(skin_colour::kTooltipText);
}

void CLogInDlg::ApplySkin() {
  m_btnOk.LoadStateBitmaps(layout::kOkNormalBitmap, layout::kOkPressedBitmap, layout::kOkHoverBitmap);
  SetButtonClassCursor(QCursor(Qt::PointingHandCursor));
  m_btnHelp.LoadStateBitmaps(layout::kHelpBitmap, layout::kHelpBitmap, layout::kHelpBitmap);

  m_fontHeading = SkinFont(layout::kHeadingFontHeight, layout::kHeadingFontWeight);
  m_fontText = SkinFont(layout::kTextFontHeight, layout::kTextFontWeight);
  m_fontLink = SkinFont(layout::kTextFontHeight, layout::kTextFontWeight);
  for (const layout::Control& entry : layout::kControls) {
    QWidget* control = GetDlgItem(entry.id);
    if (!control) continue;
    switch (entry.font) {
      case layout::Font::Heading: control->setFont(m_fontHeading); break;
      case layout::Font::Text: control->setFont(m_fontText); break;
      case layout::Font::Link: control->setFont(m_fontLink); break;
      case layout::Font::Template: break;
    }
    if (entry.moved) control->setGeometry(entry.pixelX, entry.pixelY, entry.pixelWidth, entry.pixelHeight);
    if (entry.kind == layout::Kind::LinkStatic) control->setCursor(Qt::PointingHandCursor);
  }
  ApplyColourRules();
}

// Statics and check boxes: black (links blue) on white; edits on "#f5f5f5".
void CLogInDlg::ApplyColourRules() {
  const QColor link = ColorFromRef(HexToColor(skin_colour::kLinkText));
  const QColor text = ColorFromRef(HexToColor(skin_colour::kStaticText));
  for (const layout::Control& entry : layout::kControls) {
    QWidget* control = GetDlgItem(entry.id);
    if (!control) continue;
    QPalette colours = control->palette();
    switch (entry.kind) {
      case layout::Kind::Static:
      case layout::Kind::LinkStatic:
      case layout::Kind::CheckBox:
        colours.setColor(QPalette::WindowText, entry.kind == layout::Kind::LinkStatic ? link : text);
        colours.setBrush(QPalette::Window, m_brStatic);
        control->setAutoFillBackground(true);
        break;
      case layout::Kind::Edit:
      case layout::Kind::PasswordEdit: colours.setBrush(QPalette::Base, m_brEdit); break;
      case layout::Kind::OkButton:
      case layout::Kind::HelpButton: continue;
    }
    control->setPalette(colours);
  }
}

void CLogInDlg::DoDataExchange(bool bSaveAndValidate) {
  if (bSaveAndValidate) {
    m_sEditID = ToAnsi(m_pIdEdit->text());
    m_sApiKey = ToAnsi(m_pKeyEdit->text());
  } else {
    m_pIdEdit->setText(FromAnsi(m_sEditID));
    m_pKeyEdit->setText(FromAnsi(m_sApiKey));
  }
}

// Every event of the "?" button reaches the tooltip first.
bool CLogInDlg::eventFilter(QObject* watched, QEvent* event) {
  if (watched == &m_btnHelp) m_toolTip.RelayEvent(watched, event);
  return QDialog::eventFilter(watched, event);
}

void CLogInDlg::keyPressEvent(QKeyEvent* event) {
  const bool plain = event->modifiers() == Qt::NoModifier || event->modifiers() == Qt::KeypadModifier;
  if (plain && (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter)) {
    OnOK();
    return;
  }
  QDialog::keyPressEvent(event);
}

void CLogInDlg::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  const Skin& skin = TheSkin();
  for (const layout::Rect& r : layout::kOuterFrames)
    PaintFrameRect(painter, HexToColor(skin_colour::kOuterFrame), skin.frameFill, r.left, r.top, r.right, r.bottom);
  for (const layout::Rect& r : layout::kEditFrames)
    PaintFrameRect(painter, HexToColor(skin_colour::kEditFrame), skin.editFill, r.left, r.top, r.right, r.bottom);
  for (const layout::Line& l : layout::kSeparators)
    PaintFrameLine(painter, HexToColor(skin_colour::kSeparator), l.x1, l.y1, l.x2, l.y2);
  painter.drawPixmap(layout::kAccountBitmapX, layout::kAccountBitmapY, LoadBitmapResource(layout::kAccountBitmap));
}

void CLogInDlg::OnOK() {
  UpdateData(true);
  SaveLoginSettings(App(), m_sEditID, m_sApiKey, m_pSaveId->isChecked(), m_pSaveKey->isChecked(), m_sFirstLogin);

  if (!m_sApiKey.empty() && !m_sEditID.empty()) {
    ProceedLogin(m_sEditID, m_sApiKey);
  } else {
    // Written in UTF-8 here, shown in the ANSI code page (CP949 on the target machines).
    AfxMessageBox(AnsiText(layout::kMissingInputMessage).c_str(), MB_OK);
  }
}

void CLogInDlg::ProceedLogin(const std::string& /*sId*/, const std::string& /*sKey*/) {
  App().WriteProfileString("", "", GetProgramFolder().c_str());
  if (IsLatestVersion()) {
    ShowServiceEndNotice();
    return;
  }
  AfxMessageBox(AnsiText(layout::kUpdateMessage).c_str(), MB_OK);
  StartLauncherAndExit();
}

bool CLogInDlg::IsLatestVersion() {
  bool latest = true;
  m_pVersion = new CXVersion();
  // Qt windows have no handle in this layer: the check's message boxes are owned by no window.
  const std::string manifest = ManifestAddress();
  if (m_pVersion->CheckVersion(0, manifest.c_str(), 0)) {
    const FileEntry* selected = m_pVersion->SelectedList();
    if (m_pVersion->SelectedCount() > 0 && selected && selected[0].upToDate == 0) latest = false;
  }
  delete m_pVersion;
  m_pVersion = nullptr;
  return latest;
}

// Created once, then only shown again.
void CLogInDlg::ShowServiceEndNotice() {
  if (!m_pServiceEnd) m_pServiceEnd = new CServiceEndConfirmDlg(this);
  m_pServiceEnd->show();
}

// The folder ends in its separator, so the path holds two in a row; the shell accepts that.
void CLogInDlg::StartLauncherAndExit() {
  char path[kPathBufferSize] = {};
  FormatPath(path, "%s\\%s", GetProgramFolder().c_str(), layout::kLauncherFile);
  const std::string manifest = ManifestAddress();
  ShellExecuteA(0, "open", path, manifest.c_str(), nullptr, SW_SHOWNORMAL);
  // Posted, as ID_APP_EXIT is: the program ends once the event loop takes it.
  QMetaObject::invokeMethod(
      this, [this] { OnAppExitCommand(); }, Qt::QueuedConnection);
}

void CLogInDlg::OnAppExitCommand() {
  CNorvoSMSApp* app = AfxGetApp();
  if (app && app->m_pMainWnd == this)
    app->OnAppExit();
  else
    reject();
}

void CLogInDlg::OpenConsolePage(const char* path) {
  // Appended, not "literal" + string: GCC 12 warns falsely (-Wrestrict) about the latter.
  std::string parameters = " ";
  parameters += ConsolePageAddress(path);
  parameters += " ";
  ShellExecuteA(0, "open", layout::kBrowserFile, parameters.c_str(), nullptr, SW_SHOWNORMAL);
}
