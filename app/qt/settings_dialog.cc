#include "app/qt/settings_dialog.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>

#include "app/qt/control_name.h"
#include "app/qt/dialog_units.h"
#include "app/qt/enter_key.h"
#include "app/settings.h"
#include "controls/qt/folder_dialog.h"

namespace {

QString Local(const std::string& text) { return QString::fromLocal8Bit(text.c_str()); }
std::string Local(const QString& text) { return text.toLocal8Bit().toStdString(); }

// A combo box keeps its template width and the toolkit's own height.
void PlaceCombo(QComboBox* combo, const DialogUnits& u, int x, int y, int w) {
  QRect r = u.Map(x, y, w, 12);
  combo->setGeometry(r.x(), r.y(), r.width(), combo->sizeHint().height());
}

}  // namespace

std::vector<std::string> SettingsDialog::SystemPorts() {
  std::string err;
  std::vector<std::string> names = SystemPortNames(&err);
  // The ports found before the failure are still offered.
  if (!err.empty()) QMessageBox::warning(nullptr, QStringLiteral("Settings"), Local(err));
  return names;
}

SettingsDialog::SettingsDialog(const PortLister& ports, QWidget* parent, const PortResolver& resolve)
    : QDialog(parent) {
  setObjectName(ControlName(IDD_SETTINGS));
  setWindowTitle(QStringLiteral("Settings"));
  setFont(DialogFont());
  DialogUnits u = DialogUnits::Of(font());
  setFixedSize(u.MapX(216), u.MapY(142));

  auto* portText = new QLabel(QStringLiteral("Com Port:"), this);
  Place(portText, u, 7, 8, 68, 8);
  port_ = new QComboBox(this);
  port_->setObjectName(ControlName(IDC_PORT));
  // A port path (a stable link, a device the list does not know) may be
  // typed.
  port_->setEditable(true);
  port_->setInsertPolicy(QComboBox::NoInsert);
  PlaceCombo(port_, u, 85, 7, 59);
  auto* modelText = new QLabel(QStringLiteral("Device Connected:"), this);
  Place(modelText, u, 7, 36, 66, 8);
  model_ = new QComboBox(this);
  model_->setObjectName(ControlName(IDC_MODEL));
  model_->setEditable(true);
  model_->setInsertPolicy(QComboBox::NoInsert);
  PlaceCombo(model_, u, 85, 33, 59);
  auto* group = new QGroupBox(QStringLiteral("Device Root Folder"), this);
  group->setObjectName(ControlName(IDC_ROOT_GROUP));
  Place(group, u, 7, 62, 202, 52);
  root_ = new QLineEdit(this);
  root_->setObjectName(ControlName(IDC_ROOT));
  Place(root_, u, 12, 74, 191, 14);
  auto* browse = new QPushButton(QStringLiteral("Browse"), this);
  browse->setObjectName(ControlName(IDC_BROWSE));
  browse->setAutoDefault(false);
  Place(browse, u, 83, 94, 50, 14);
  auto* cancel = new QPushButton(QStringLiteral("Cancel"), this);
  cancel->setObjectName(QStringLiteral("2"));
  cancel->setAutoDefault(false);
  Place(cancel, u, 7, 121, 50, 14);
  auto* ok = new QPushButton(QStringLiteral("OK"), this);
  ok->setObjectName(QStringLiteral("1"));
  ok->setDefault(true);
  Place(ok, u, 159, 121, 50, 14);
  // Enter elsewhere is OK; on a focused button it clicks that button.
  for (QPushButton* b : {browse, cancel, ok}) ClickOnEnter(b);

  choices_ = OpenSettingsChoices(ports(), resolve);
  for (const std::string& name : choices_.models) model_->addItem(Local(name));
  int widest = 0;
  for (const std::string& name : choices_.ports) {
    port_->addItem(Local(name));
    widest = std::max(widest, port_->fontMetrics().horizontalAdvance(Local(name)));
  }
  // The box keeps its narrow place; its list and its tooltip show a long
  // stable name whole.
  port_->view()->setMinimumWidth(widest + 2 * port_->iconSize().width());
  connect(port_, &QComboBox::currentTextChanged, port_, &QWidget::setToolTip);
  port_->setCurrentIndex(choices_.port);
  port_->setToolTip(port_->currentText());
  model_->setCurrentIndex(choices_.model);
  root_->setText(Local(choices_.root));

  connect(model_, &QComboBox::currentIndexChanged, this, &SettingsDialog::OnModelChanged);
  connect(browse, &QPushButton::clicked, this, &SettingsDialog::OnBrowse);
  connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
  connect(ok, &QPushButton::clicked, this, &SettingsDialog::accept);
}

void SettingsDialog::OnModelChanged(int index) {
  // The newly selected entry's text; a root typed before is discarded.
  if (index < 0) return;
  root_->setText(Local(RootForModel(Local(model_->itemText(index)))));
}

void SettingsDialog::OnBrowse() {
  std::string folder = Local(root_->text());
  CFolderDialog picker(&folder, this);
  if (picker.DoModal() == QDialog::Accepted) root_->setText(Local(folder));
}

void SettingsDialog::accept() {
  std::string why;
  if (!CheckRootChoice(Local(root_->text()), &why)) {
    QMessageBox::warning(this, QStringLiteral("Root Folder"), Local(why));
    root_->setFocus();
    return;  // the dialog stays open for another choice
  }
  // Failed writes go unnoticed, as with every setting.
  const int port = ChoosePortEntry(choices_, Local(port_->currentText()), port_->currentIndex());
  StoreSettingsChoices(choices_, port, Local(model_->currentText()), Local(root_->text()));
  QDialog::accept();
}
