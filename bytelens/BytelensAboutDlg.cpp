#include "bytelens/BytelensAboutDlg.h"

#include "framework/DialogUnits.h"

#include <QApplication>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>

CBytelensAboutDlg::CBytelensAboutDlg(QWidget *parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("BytelensAboutDlg"));
    setWindowTitle(QStringLiteral("About Bytelens"));
    CDialogUnits du(this);

    auto *icon = new QLabel;
    icon->setObjectName(QStringLiteral("Icon"));
    icon->setPixmap(QApplication::windowIcon().pixmap(32, 32));
    auto *version = new QLabel(QStringLiteral("Bytelens Version 1.0"));
    version->setObjectName(QStringLiteral("Version"));
    auto *ok = new QPushButton(QStringLiteral("OK"));
    ok->setObjectName(QStringLiteral("1"));
    ok->setDefault(true);
    ok->setMinimumWidth(du.X(50));
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);

    auto *grid = new QGridLayout(this);
    grid->setHorizontalSpacing(du.X(10));
    grid->addWidget(icon, 0, 0, Qt::AlignTop);
    grid->addWidget(version, 0, 1, Qt::AlignVCenter);
    grid->addWidget(ok, 0, 2, Qt::AlignTop);
    grid->setColumnStretch(1, 1);
    setMinimumSize(du.Size(217, 40));
}
