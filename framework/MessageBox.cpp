#include "framework/MessageBox.h"

#include <QApplication>
#include <QClipboard>
#include <QShortcut>

QMessageBox::StandardButton AfxMessageBox(QWidget *parent, const QString &text,
                                          QMessageBox::StandardButtons buttons, QMessageBox::Icon icon,
                                          QMessageBox::StandardButton defaultButton)
{
    QString caption = QApplication::applicationDisplayName();
    if (caption.isEmpty())
        caption = QApplication::applicationName();
    QMessageBox box(icon, caption, text, buttons, parent);
    box.setObjectName(QStringLiteral("AfxMessageBox"));
    if (defaultButton != QMessageBox::NoButton)
        box.setDefaultButton(defaultButton);
    // Ctrl+C copies the message, so that a reason given by a server or the system can be
    // pasted into a search or a report.
    auto *copy = new QShortcut(QKeySequence::Copy, &box);
    QObject::connect(copy, &QShortcut::activated, &box, [&box] { QApplication::clipboard()->setText(box.text()); });
    return QMessageBox::StandardButton(box.exec());
}
