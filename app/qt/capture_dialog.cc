#include "app/qt/capture_dialog.h"

#include <QApplication>
#include <QFontDatabase>
#include <QKeyEvent>
#include <QLabel>
#include <QListView>
#include <QMessageBox>
#include <QPushButton>

#include "app/qt/about_dialog.h"
#include "app/qt/control_name.h"
#include "app/qt/dialog_units.h"
#include "app/qt/enter_key.h"
#include "app/qt/line_list_model.h"
#include "app/qt/notice_area.h"
#include "platform/platform.h"
#include "app/settings.h"
#include "app/qt/settings_dialog.h"
#include "app/qt/system_menu.h"
#include "controls/qt/round_frame.h"
#include "controls/qt/styled_label.h"

namespace {

// One listener notification, carried to the window's thread.
class SerialNotification : public QEvent {
 public:
  SerialNotification(uint32_t wParam, uint32_t lParam)
      : QEvent(CaptureDialog::kSerialEvent), wParam(wParam), lParam(lParam) {}
  uint32_t wParam;
  uint32_t lParam;
};

constexpr int kReconnectMilliseconds = 1000;

QPushButton* AddButton(QWidget* parent, const DialogUnits& u, const QString& name, const char* text, int x, int y,
                       int w, int h) {
  auto* b = new QPushButton(QString::fromLatin1(text), parent);
  b->setObjectName(name);
  // Enter closes the window as its OK, except on a focused button, which
  // it clicks.
  b->setAutoDefault(false);
  ClickOnEnter(b);
  Place(b, u, x, y, w, h);
  return b;
}

QLabel* AddText(QWidget* parent, const DialogUnits& u, const QString& name, const char* text, int x, int y, int w,
                int h, Qt::Alignment align = Qt::AlignLeft) {
  auto* l = new QLabel(QString::fromLatin1(text), parent);
  l->setObjectName(name);
  l->setAlignment(align | Qt::AlignTop);
  Place(l, u, x, y, w, h);
  return l;
}

// The list's font with the face "Lucida Console", or the system's fixed
// font where that face is missing; size and weight stay the list's.
QFont ListFont(const QFont& base) {
  QFont font = base;
  QString face = QStringLiteral("Lucida Console");
  if (!QFontDatabase::families().contains(face))
    face = QFontDatabase::systemFont(QFontDatabase::FixedFont).family();
  font.setFamily(face);
  font.setStyleHint(QFont::TypeWriter);
  return font;
}

QString Local(const std::string& text) { return QString::fromLocal8Bit(text.c_str()); }

}  // namespace

CaptureDialog::CaptureDialog(Clock& clock, QWidget* parent)
    : QDialog(parent),
      notices_(new NoticeArea(clock, this)),
      lines_(new LineListModel(this)),
      session_(clock, *notices_, *lines_) {
  setObjectName(ControlName(IDD_CAPTURE));
  setWindowTitle(QStringLiteral("Harrow "));
  setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                 Qt::WindowCloseButtonHint);
  InitAppResources();
  setWindowIcon(QIcon(QStringLiteral(":/harrow.png")));
  setFont(DialogFont());
  BuildControls();
  AppendAboutToSystemMenu(this, QStringLiteral("&About Kestrel..."));
  session_.SetMessageWindow(this);
  session_.SetView(this);
  reconnectTimer_.setInterval(kReconnectMilliseconds);
  connect(&reconnectTimer_, &QTimer::timeout, this, [this] { session_.OnRetryTimer(); });
}

CaptureDialog::~CaptureDialog() { ShutDown(); }

void CaptureDialog::BuildControls() {
  DialogUnits u = DialogUnits::Of(font());
  setFixedSize(u.MapX(343), u.MapY(339));

  connect(AddButton(this, u, ControlName(IDC_RECONNECT), "(Re)Connect", 30, 1, 50, 14), &QPushButton::clicked,
          this, [this] { Connect(); });
  connect(AddButton(this, u, ControlName(IDC_SETTINGS), "Settings", 145, 1, 50, 14), &QPushButton::clicked, this,
          &CaptureDialog::OnSettings);
  connect(AddButton(this, u, ControlName(IDC_ABOUT_INFO), "About Info", 249, 1, 50, 14), &QPushButton::clicked,
          this, [] { AboutDialog::Show(); });
  QPushButton* close = AddButton(this, u, QStringLiteral("2"), "Close", 298, 1, 38, 14);
  close->hide();
  connect(close, &QPushButton::clicked, this, &QDialog::reject);
  AddText(this, u, ControlName(IDC_RECEIVED_LABEL), "Received:", 14, 6, 34, 8)->hide();

  // The frame comes first so that the list lies above it.
  frame_ = new CRoundFrame(this);
  frame_->setObjectName(ControlName(IDC_FRAME));
  Place(frame_, u, 6, 19, 330, 274);

  list_ = new QListView(this);
  list_->setObjectName(ControlName(IDC_LINES));
  list_->setModel(lines_);
  list_->setUniformItemSizes(true);
  list_->setSelectionMode(QAbstractItemView::SingleSelection);
  list_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  list_->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  list_->setFrameStyle(QFrame::Box | QFrame::Plain);
  list_->setFont(ListFont(list_->font()));
  Place(list_, u, 13, 26, 315, 259);
  connect(lines_, &LineListModel::LinesShown, this, [this](int last) {
    QModelIndex index = lines_->index(last);
    list_->setCurrentIndex(index);
    list_->scrollTo(index);
  });

  // The export buttons are kept from the original layout, hidden and inert.
  for (QPushButton* b :
       {AddButton(this, u, ControlName(IDC_EXPORT_RESET), "Export and Reset Data", 6, 274, 79, 15),
        AddButton(this, u, ControlName(IDC_EXPORT_EXCEL), "Export Data to Excel Format", 232, 287, 104, 16)}) {
    b->hide();
    b->setEnabled(false);
  }

  modelLabel_ = new CStyledLabel(this);
  modelLabel_->setObjectName(ControlName(IDC_MODEL_LABEL));
  modelLabel_->SetStyle(kSsCenter);
  Place(modelLabel_, u, 103, 287, 54, 11);
  modelLabel_->SetLabelText(QStringLiteral("Glowmeter"));
  modelLabel_->SetPointSize(15).SetBold(true).SetForeground(QColor(0, 0, 0));

  connect(AddButton(this, u, ControlName(IDC_CLEAR_SCREEN), "Clear Screen", 9, 300, 53, 14), &QPushButton::clicked,
          this, &CaptureDialog::OnClearScreen);
  exportNote_ = AddText(this, u, ControlName(IDC_EXPORT_NOTE),
                        "Data is exported automatically when the test ends into:", 141, 303, 192, 8, Qt::AlignRight);
  excelHint_ = AddText(this, u, ControlName(IDC_XLS_HINT), " (C:\\Excel_6XXX\\YY_MM_DD_HH_MM_SS.xls)", 76, 315, 257, 9,
                       Qt::AlignRight);
  textHint_ = AddText(this, u, ControlName(IDC_TXT_HINT), " (C:\\Excel_6XXX\\YY_MM_DD_HH_MM_SS.txt)", 76, 324, 257, 9,
                      Qt::AlignRight);

  // Notices cover the hints until dismissed.
  Place(notices_, u, 66, 298, 270, 39);
  notices_->raise();
}

void CaptureDialog::Initialise() {
  session_.StartUp();
  if (!session_.IsShutDown()) reconnectTimer_.start();
}

bool CaptureDialog::Connect() { return session_.ConnectCommand(); }

void CaptureDialog::ApplySettings() { session_.ApplySettings(); }

void CaptureDialog::OnSettings() {
  SettingsDialog dialog(portLister_);
  // The window may have been closed while the dialog ran: the session then
  // ignores the command.
  if (dialog.exec() == QDialog::Accepted) session_.OnSettingsConfirmed();
}

void CaptureDialog::OnClearScreen() { lines_->Clear(); }

void CaptureDialog::SetPathHints(const std::string& excelHint, const std::string& textHint) {
  excelHint_->setText(Local(excelHint));
  textHint_->setText(Local(textHint));
}

void CaptureDialog::SetModelLabel(const std::string& text) { modelLabel_->SetLabelText(Local(text)); }

void CaptureDialog::SetPortStatus(const std::string& text, bool alert) {
  QPalette pal = palette();
  if (alert) pal.setColor(QPalette::WindowText, QColor(200, 0, 0));
  // Right-aligned, a text too long for the line (a port's long stable name)
  // would lose its beginning, which says what the state is: it loses its
  // end instead, and the whole text is the tooltip.
  const QString whole = Local(text);
  exportNote_->setText(exportNote_->fontMetrics().elidedText(whole, Qt::ElideRight, exportNote_->width()));
  exportNote_->setToolTip(whole);
  exportNote_->setPalette(pal);
}

void CaptureDialog::ShowConnectError(const std::string& text, bool modal) {
  if (modal) {
    QMessageBox box(QMessageBox::Critical, QStringLiteral("Harrow"), Local(text), QMessageBox::Ok);
    box.setObjectName(QStringLiteral("connect_error"));
    box.exec();
    return;
  }
  // The box shows without a nested event loop: the capture goes on behind it.
  if (connectError_) connectError_->close();
  auto* box = new QMessageBox(QMessageBox::Critical, QStringLiteral("Harrow"), Local(text), QMessageBox::Ok, this);
  box->setObjectName(QStringLiteral("connect_error"));
  box->setAttribute(Qt::WA_DeleteOnClose);
  box->setModal(false);
  box->show();
  connectError_ = box;
}

void CaptureDialog::ShowClosingNotices(const std::string& text) {
  if (closingDisplay_) return closingDisplay_(Local(text));
  // Without an owner: the window is on its way out.
  QMessageBox box(QMessageBox::Warning, QStringLiteral("Harrow"), Local(text), QMessageBox::Ok);
  box.setObjectName(QStringLiteral("closing_notices"));
  box.exec();
}

void CaptureDialog::Post(uint32_t, uint32_t wParam, uint32_t lParam) {
  // Called on the listener thread; posting an event is thread-safe.
  QCoreApplication::postEvent(this, new SerialNotification(wParam, lParam));
}

void CaptureDialog::customEvent(QEvent* event) {
  if (event->type() != kSerialEvent) return QDialog::customEvent(event);
  auto* serial = static_cast<SerialNotification*>(event);
  session_.OnPortMessage(serial->wParam, serial->lParam);
}

bool CaptureDialog::nativeEvent(const QByteArray& eventType, void* message, qintptr* result) {
  if (IsAboutSystemCommand(eventType, message)) {
    AboutDialog::Show();
    *result = 0;
    return true;
  }
  return QDialog::nativeEvent(eventType, message, result);
}

void CaptureDialog::keyPressEvent(QKeyEvent* event) {
  // Enter ends the window as the template's OK does, Escape as its Cancel;
  // a focused button has taken Enter before it gets here. Either is easily
  // pressed by mistake, so with the port open the user is asked first.
  if (event->modifiers() == Qt::NoModifier || (event->modifiers() & Qt::KeypadModifier)) {
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    if (enter || event->key() == Qt::Key_Escape) {
      if (!session_.MayEnd()) return;
      if (enter)
        accept();
      else
        reject();
      return;
    }
  }
  QDialog::keyPressEvent(event);
}

bool CaptureDialog::Confirm(const std::string& question) {
  QMessageBox box(QMessageBox::Question, QStringLiteral("Harrow"), Local(question),
                  QMessageBox::Yes | QMessageBox::No, this);
  box.setObjectName(QStringLiteral("end_question"));
  box.setDefaultButton(QMessageBox::No);
  return box.exec() == QMessageBox::Yes;
}

void CaptureDialog::RequestClose() {
  closeRequested_ = true;
  if (isVisible())
    close();
  else
    ShutDown();
}

void CaptureDialog::done(int result) {
  ShutDown();
  QDialog::done(result);
}

void CaptureDialog::ShutDown() {
  if (session_.IsShutDown()) return;
  reconnectTimer_.stop();
  session_.Shutdown();
  lines_->Publish();
}
