#include "app/SelectDirectoryDlg.h"

#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTreeWidget>
#include <QtTest>

#include <memory>
#include <unistd.h>

class TestSelectDirectory : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void unfoldsAlongPath();
    void emptyPathStartsInCurrentFolder();
    void prefixFolderIsUnfoldedToo();
    void doubleClickBuildsPathAndListsOnce();
    void folderImagesFollowExpansion();
    void driveBoxRebuildsTree();
    void okReturnsTypedText_data();
    void okReturnsTypedText();
    void vanishedFolderListsNothing();
    void unreadableFolderListsNothing();
    void layoutFitsItsControls();

private:
    CSelectDirectoryDlg *Open(const QString &path);
    QTreeWidgetItem *ItemAt(const QString &path) const;
    QStringList ChildTexts(const QTreeWidgetItem *item) const;
    void DoubleClick(QTreeWidgetItem *item);
    QString Native(const QString &relative) const;

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<CSelectDirectoryDlg> m_dlg;
    QString m_previousCurrent;
};

void TestSelectDirectory::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    QDir root(m_dir->path());
    for (const char *d : {"alpha/beta/gamma", "alpha/beta/delta", "alpha/side", "omega/deep/deeper", "ab/inner",
                          "abc/one", ".hidden"})
        QVERIFY(root.mkpath(QLatin1String(d)));
    QFile file(root.filePath(QStringLiteral("alpha/plain.txt")));
    QVERIFY(file.open(QIODevice::WriteOnly));
    m_previousCurrent = QDir::currentPath();
}

void TestSelectDirectory::cleanup()
{
    m_dlg.reset();
    QDir::setCurrent(m_previousCurrent);
    QFile::setPermissions(Native(QStringLiteral("omega")), QFileDevice::ReadOwner | QFileDevice::WriteOwner
                                                             | QFileDevice::ExeOwner);
    m_dir.reset();
}

QString TestSelectDirectory::Native(const QString &relative) const
{
    return QDir::toNativeSeparators(m_dir->path() + (relative.isEmpty() ? QString() : QLatin1Char('/') + relative));
}

CSelectDirectoryDlg *TestSelectDirectory::Open(const QString &path)
{
    m_dlg = std::make_unique<CSelectDirectoryDlg>();
    m_dlg->m_strPath = path;
    m_dlg->show();
    return m_dlg.get();
}

// The tree item of a full path, walking down from the root by folder names.
QTreeWidgetItem *TestSelectDirectory::ItemAt(const QString &path) const
{
    QTreeWidgetItem *item = m_dlg->m_hRoot;
    const QStringList parts = path.split(QDir::separator(), Qt::SkipEmptyParts);
    for (const QString &part : parts) {
        QTreeWidgetItem *next = nullptr;
        for (int i = 0; item && i < item->childCount(); ++i) {
            if (item->child(i)->text(0) == part)
                next = item->child(i);
        }
        item = next;
    }
    return item;
}

QStringList TestSelectDirectory::ChildTexts(const QTreeWidgetItem *item) const
{
    QStringList texts;
    for (int i = 0; i < item->childCount(); ++i)
        texts << item->child(i)->text(0);
    return texts;
}

void TestSelectDirectory::DoubleClick(QTreeWidgetItem *item)
{
    QTreeWidget *tree = m_dlg->m_tree;
    tree->scrollToItem(item);
    QPoint pos = tree->visualItemRect(item).center();
    QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, pos);
    QTest::mouseDClick(tree->viewport(), Qt::LeftButton, {}, pos);
}

void TestSelectDirectory::unfoldsAlongPath()
{
    const QString path = Native(QStringLiteral("alpha/beta"));
    CSelectDirectoryDlg *dlg = Open(path);
    QCOMPARE(dlg->windowTitle(), QStringLiteral("Select Directory"));
    QCOMPARE(dlg->findChild<QLineEdit *>(QStringLiteral("edit_1065"))->text(), path);
    QCOMPARE(dlg->m_cbDrives->currentText(), CSelectDirectoryDlg::DriveTexts().first());
    QCOMPARE(dlg->m_tree->topLevelItemCount(), 1);
    QVERIFY(dlg->m_hRoot->isExpanded());
    QCOMPARE(CSelectDirectoryDlg::ImageOf(dlg->m_hRoot), 1);

    QTreeWidgetItem *beta = ItemAt(path);
    QVERIFY(beta);
    QCOMPARE(dlg->m_tree->currentItem(), beta);
    QCOMPARE(dlg->m_hSelected, beta);
    QVERIFY(beta->isExpanded());
    QCOMPARE(ChildTexts(beta), (QStringList{"delta", "gamma"}));
    QTreeWidgetItem *alpha = beta->parent();
    QVERIFY(alpha->isExpanded());
    QCOMPARE(CSelectDirectoryDlg::ImageOf(alpha), 1);
    // Folders only, hidden ones included; siblings are listed but not unfolded.
    QCOMPARE(ChildTexts(alpha), (QStringList{"beta", "side"}));
    QTreeWidgetItem *side = ItemAt(Native(QStringLiteral("alpha/side")));
    QVERIFY(!side->isExpanded());
    QCOMPARE(CSelectDirectoryDlg::ImageOf(side), 0);
    QTreeWidgetItem *top = alpha->parent();
    QCOMPARE(ChildTexts(top), (QStringList{".hidden", "ab", "abc", "alpha", "omega"}));
    QTreeWidgetItem *omega = ItemAt(Native(QStringLiteral("omega")));
    QCOMPARE(omega->childCount(), 0);
    QVERIFY(!omega->isExpanded());
}

void TestSelectDirectory::emptyPathStartsInCurrentFolder()
{
    QVERIFY(QDir::setCurrent(Native(QStringLiteral("omega/deep"))));
    CSelectDirectoryDlg *dlg = Open(QString());
    const QString current = QDir::toNativeSeparators(QDir::currentPath());
    QCOMPARE(dlg->m_strPath, current);
    QCOMPARE(dlg->findChild<QLineEdit *>(QStringLiteral("edit_1065"))->text(), current);
    QTreeWidgetItem *deep = ItemAt(current);
    QVERIFY(deep);
    QCOMPARE(dlg->m_tree->currentItem(), deep);
    QCOMPARE(ChildTexts(deep), QStringList{"deeper"});
}

void TestSelectDirectory::prefixFolderIsUnfoldedToo()
{
    // "ab" is a leading part of "abc", so the path through abc unfolds ab as well.
    Open(Native(QStringLiteral("abc")));
    QTreeWidgetItem *ab = ItemAt(Native(QStringLiteral("ab")));
    QTreeWidgetItem *abc = ItemAt(Native(QStringLiteral("abc")));
    QVERIFY(ab->isExpanded());
    QCOMPARE(ChildTexts(ab), QStringList{"inner"});
    QCOMPARE(m_dlg->m_tree->currentItem(), abc);
}

void TestSelectDirectory::doubleClickBuildsPathAndListsOnce()
{
    CSelectDirectoryDlg *dlg = Open(Native(QStringLiteral("alpha")));
    auto *edit = dlg->findChild<QLineEdit *>(QStringLiteral("edit_1065"));
    QTreeWidgetItem *omega = ItemAt(Native(QStringLiteral("omega")));
    QCOMPARE(omega->childCount(), 0);

    DoubleClick(omega);
    QCOMPARE(dlg->m_hSelected, omega);
    QCOMPARE(edit->text(), Native(QStringLiteral("omega")));
    QCOMPARE(ChildTexts(omega), QStringList{"deep"});
    QVERIFY(omega->isExpanded());

    QTreeWidgetItem *deep = omega->child(0);
    DoubleClick(deep);
    QCOMPARE(edit->text(), Native(QStringLiteral("omega/deep")));
    QCOMPARE(ChildTexts(deep), QStringList{"deeper"});

    // Listing a folder again adds nothing it already shows.
    DoubleClick(omega);
    DoubleClick(omega);
    QCOMPARE(ChildTexts(omega), QStringList{"deep"});
    QCOMPARE(edit->text(), Native(QStringLiteral("omega")));

    // A folder created meanwhile joins the list at the next double click.
    QVERIFY(QDir().mkpath(Native(QStringLiteral("omega/later"))));
    DoubleClick(omega);
    QCOMPARE(ChildTexts(omega), (QStringList{"deep", "later"}));

    // The root's path is the drive's own.
    DoubleClick(dlg->m_hRoot);
    QCOMPARE(edit->text(), dlg->m_hRoot->text(0));
}

void TestSelectDirectory::folderImagesFollowExpansion()
{
    CSelectDirectoryDlg *dlg = Open(Native(QStringLiteral("alpha")));
    QTreeWidgetItem *omega = ItemAt(Native(QStringLiteral("omega")));
    DoubleClick(omega);
    QVERIFY(omega->isExpanded());
    QCOMPARE(CSelectDirectoryDlg::ImageOf(omega), 1);
    // Collapsing the selected folder closes it, expanding it again opens it.
    dlg->m_tree->collapseItem(omega);
    QCOMPARE(CSelectDirectoryDlg::ImageOf(omega), 0);
    dlg->m_tree->expandItem(omega);
    QCOMPARE(CSelectDirectoryDlg::ImageOf(omega), 1);
    // A folder without subfolders stays closed.
    QTreeWidgetItem *side = ItemAt(Native(QStringLiteral("alpha/side")));
    DoubleClick(side);
    QCOMPARE(side->childCount(), 0);
    QCOMPARE(CSelectDirectoryDlg::ImageOf(side), 0);
}

void TestSelectDirectory::driveBoxRebuildsTree()
{
    CSelectDirectoryDlg *dlg = Open(Native(QStringLiteral("alpha")));
    auto *edit = dlg->findChild<QLineEdit *>(QStringLiteral("edit_1065"));
    QCOMPARE(dlg->m_cbDrives->count(), int(QDir::drives().size()));
    QCOMPARE(CSelectDirectoryDlg::DriveTexts().size(), int(QDir::drives().size()));
    edit->setText(QStringLiteral("typed but not chosen"));
    QTreeWidgetItem *omega = ItemAt(Native(QStringLiteral("omega")));
    DoubleClick(omega);
    QTreeWidgetItem *oldRoot = dlg->m_hRoot;
    Q_UNUSED(oldRoot);
    edit->setText(QStringLiteral("typed after"));

    emit dlg->m_cbDrives->activated(dlg->m_cbDrives->currentIndex());
    QCOMPARE(dlg->m_tree->topLevelItemCount(), 1);
    QVERIFY(dlg->m_hRoot->isExpanded());
    QCOMPARE(dlg->m_strDrive, dlg->m_cbDrives->currentText());
    // The edit box keeps its text; the tree unfolds along the last chosen path again.
    QCOMPARE(edit->text(), QStringLiteral("typed after"));
    QTreeWidgetItem *rebuilt = ItemAt(Native(QStringLiteral("omega")));
    QVERIFY(rebuilt);
    QCOMPARE(dlg->m_tree->currentItem(), rebuilt);
    QCOMPARE(ChildTexts(rebuilt), QStringList{"deep"});
}

void TestSelectDirectory::okReturnsTypedText_data()
{
    QTest::addColumn<QString>("typed");
    QTest::newRow("folder that does not exist") << QStringLiteral("/no/such/folder");
    QTest::newRow("relative text") << QStringLiteral("scripts");
    QTest::newRow("empty") << QString();
}

void TestSelectDirectory::okReturnsTypedText()
{
    QFETCH(QString, typed);
    CSelectDirectoryDlg *dlg = Open(Native(QStringLiteral("alpha")));
    auto *edit = dlg->findChild<QLineEdit *>(QStringLiteral("edit_1065"));
    edit->selectAll();
    QTest::keyClick(edit, Qt::Key_Backspace);
    QTest::keyClicks(edit, typed);
    QTest::mouseClick(dlg->findChild<QPushButton *>(QStringLiteral("IDOK")), Qt::LeftButton);
    QCOMPARE(dlg->result(), int(QDialog::Accepted));
    QCOMPARE(dlg->m_strPath, typed);
}

void TestSelectDirectory::vanishedFolderListsNothing()
{
    CSelectDirectoryDlg *dlg = Open(Native(QStringLiteral("alpha")));
    QTreeWidgetItem *omega = ItemAt(Native(QStringLiteral("omega")));
    QVERIFY(QDir(Native(QStringLiteral("omega"))).removeRecursively());
    DoubleClick(omega);
    QCOMPARE(omega->childCount(), 0);
    QCOMPARE(CSelectDirectoryDlg::ImageOf(omega), 0);
    QCOMPARE(dlg->findChild<QLineEdit *>(QStringLiteral("edit_1065"))->text(), Native(QStringLiteral("omega")));
}

void TestSelectDirectory::unreadableFolderListsNothing()
{
    if (geteuid() == 0)
        QSKIP("the superuser reads every folder");
    QVERIFY(QFile::setPermissions(Native(QStringLiteral("omega")), QFileDevice::WriteOwner));
    CSelectDirectoryDlg *dlg = Open(Native(QStringLiteral("omega/deep")));
    QTreeWidgetItem *omega = ItemAt(Native(QStringLiteral("omega")));
    QVERIFY(omega);
    QCOMPARE(omega->childCount(), 0);
    DoubleClick(omega);
    QCOMPARE(omega->childCount(), 0);
    QCOMPARE(dlg->findChild<QLineEdit *>(QStringLiteral("edit_1065"))->text(), Native(QStringLiteral("omega")));
}

void TestSelectDirectory::layoutFitsItsControls()
{
    CSelectDirectoryDlg *dlg = Open(Native(QStringLiteral("alpha")));
    QVERIFY(dlg->width() >= dlg->minimumSizeHint().width());
    QVERIFY(dlg->height() >= dlg->minimumSizeHint().height());
    const QRect tree = dlg->m_tree->geometry();
    const QRect combo = dlg->m_cbDrives->geometry();
    const QRect ok = dlg->findChild<QPushButton *>(QStringLiteral("IDOK"))->geometry();
    QVERIFY(!tree.intersects(combo));
    QVERIFY(!tree.intersects(ok));
    QVERIFY(tree.height() > 4 * dlg->fontMetrics().height());
}

QTEST_MAIN(TestSelectDirectory)
#include "tst_selectdirectory.moc"
