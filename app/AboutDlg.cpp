#include "app/AboutDlg.h"

#include "app/KestrelApp.h"
#include "framework/DialogUnits.h"
#include "framework/ScreenFit.h"

#include <QApplication>
#include <QDir>
#include <QGridLayout>
#include <QIcon>
#include <QLabel>
#include <QPushButton>
#include <QStyle>

CAboutDlg::CAboutDlg(QWidget *parent)
    : QDialog(parent)
{
    CScreenFit::Install(this);
    setObjectName(QStringLiteral("AboutDlg"));
    setWindowTitle(tr("About Kestrel"));
    CDialogUnits du(this);
    setMinimumSize(du.Size(235, 86));

    auto *icon = new QLabel;
    // The main window's icon is the program's; the application object has none of its own.
    const QIcon programIcon = parent && !parent->window()->windowIcon().isNull() ? parent->window()->windowIcon()
                                                                                 : QApplication::windowIcon();
    icon->setPixmap(programIcon.isNull() ? style()->standardIcon(QStyle::SP_ComputerIcon).pixmap(32, 32)
                                         : programIcon.pixmap(32, 32));
    auto *version = new QLabel(QStringLiteral("Kestrel  -  Version 1.0 (Beta 12/1/2000)"));
    version->setObjectName(QStringLiteral("Version"));
    auto *line2 = new QLabel(tr("A development environment for Perl scripts and Java sources."));
    auto *line3 = new QLabel(tr("Runs scripts here and on your server, over FTP and a remote shell."));
    // Which Kestrel.cfg is in use depends on where the program runs from (beside it, or
    // in the user's configuration folder), so the user is told.
    auto *settings = new QLabel(tr("Settings: %1").arg(QDir::toNativeSeparators(CKestrelApp::SettingsPath())));
    settings->setObjectName(QStringLiteral("SettingsPath"));
    settings->setTextInteractionFlags(Qt::TextSelectableByMouse);
    auto *ok = new QPushButton(tr("OK"));
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);

    auto *grid = new QGridLayout(this);
    grid->addWidget(icon, 0, 0, 4, 1, Qt::AlignTop);
    grid->addWidget(version, 0, 1);
    grid->addWidget(line2, 1, 1);
    grid->addWidget(line3, 2, 1);
    grid->addWidget(settings, 3, 1);
    grid->addWidget(ok, 0, 2, Qt::AlignTop);
    grid->setColumnStretch(1, 1);
}
