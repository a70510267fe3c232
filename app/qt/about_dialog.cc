#include "app/qt/about_dialog.h"

#include <QIcon>
#include <QLabel>
#include <QPushButton>

#include "app/qt/control_name.h"
#include "app/qt/dialog_units.h"
#include "app/file_version.h"

void InitAppResources() { Q_INIT_RESOURCE(harrow); }

AboutDialog::AboutDialog(const QString& versionText, QWidget* parent)
    : QDialog(parent), versionText_(versionText) {
  InitAppResources();
  setObjectName(ControlName(IDD_ABOUTBOX));
  setWindowTitle(QStringLiteral("About Harrow"));
  setFont(DialogFont());
  DialogUnits u = DialogUnits::Of(font());
  setFixedSize(u.MapX(235), u.MapY(74));

  auto* icon = new QLabel(this);
  icon->setObjectName(QStringLiteral("icon"));
  Place(icon, u, 11, 17, 20, 20);
  icon->setPixmap(QIcon(QStringLiteral(":/harrow.png")).pixmap(icon->size()));

  auto* version = new QLabel(QStringLiteral("Harrow ") + versionText_, this);
  version->setObjectName(ControlName(IDC_VERSION_LINE));
  Place(version, u, 40, 10, 119, 8);

  auto* second = new QLabel(QStringLiteral("Capture tool for laboratory readers"), this);
  second->setObjectName(QStringLiteral("about_line2"));
  Place(second, u, 40, 25, 119, 8);

  auto* ok = new QPushButton(QStringLiteral("OK"), this);
  ok->setObjectName(QStringLiteral("1"));
  ok->setDefault(true);
  Place(ok, u, 178, 7, 50, 14);
  connect(ok, &QPushButton::clicked, this, &QDialog::accept);
}

void AboutDialog::Show() {
  AboutDialog about(QString::fromLocal8Bit(GetVersionText().c_str()));
  about.exec();
}
