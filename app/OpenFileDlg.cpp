#include "app/OpenFileDlg.h"

#include "framework/ScreenFit.h"

#include <QDateTime>
#include <QHeaderView>
#include <QLayout>
#include <QLocale>
#include <QScrollBar>
#include <QTreeView>

#include <algorithm>

COpenFileDlg::COpenFileDlg(QWidget *parent, const QString &strDir)
    : QFileDialog(parent, tr("Open"), strDir)
{
    setObjectName(QStringLiteral("OpenFileDlg"));
    setAcceptMode(QFileDialog::AcceptOpen);
    setFileMode(QFileDialog::ExistingFile);
    setNameFilters(Filters());
    setViewMode(QFileDialog::Detail);
}

QStringList COpenFileDlg::Filters()
{
    // The document type's own filter stays first, so a first Open still shows scripts.
    return {QStringLiteral("Kestrel Files (*.pl)"), QStringLiteral("Perl Files (*.pl *.pm *.cgi *.t *.psgi)"),
            QStringLiteral("Java Files (*.java)"), QStringLiteral("All Files (*)")};
}

void COpenFileDlg::showEvent(QShowEvent *event)
{
    FitColumns();
    CScreenFit::Apply(this);
    QFileDialog::showEvent(event);
}

void COpenFileDlg::FitColumns()
{
    // The platform's own dialog, where there is one, sizes itself.
    auto *tree = findChild<QTreeView *>(QStringLiteral("treeView"));
    if (!tree)
        return;
    QHeaderView *header = tree->header();
    const QFontMetrics fm(tree->font());
    const int pad = fm.horizontalAdvance(QLatin1Char('M')) * 2;
    // Widest texts of each column: a long script name, a size, a type description and a
    // date in the user's format.
    const int widths[] = {
        fm.horizontalAdvance(QStringLiteral("a_rather_long_script_name.psgi")) + tree->iconSize().width() + pad,
        fm.horizontalAdvance(QStringLiteral("1023.9 KiB")) + pad,
        fm.horizontalAdvance(QStringLiteral("plain text document")) + pad,
        fm.horizontalAdvance(QLocale::system().toString(QDateTime(QDate(2000, 12, 28), QTime(23, 58)),
                                                        QLocale::ShortFormat))
            + pad,
    };
    int total = 0;
    for (int i = 0; i < 4 && i < header->count(); ++i) {
        const int width = std::max(widths[i], header->sectionSizeHint(i));
        header->resizeSection(i, width);
        total += width;
    }
    // The dialog grows by what the list lacks; the rest of its layout stays.
    if (layout())
        layout()->activate();
    const int lacking = total + tree->verticalScrollBar()->sizeHint().width() + 2 * tree->frameWidth() - tree->width();
    if (lacking > 0)
        resize(width() + lacking, height());
}
