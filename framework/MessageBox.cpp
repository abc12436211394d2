#include "framework/MessageBox.h"

#include <QApplication>

QMessageBox::StandardButton AfxMessageBox(QWidget *parent, const QString &text,
                                          QMessageBox::StandardButtons buttons, QMessageBox::Icon icon)
{
    QString caption = QApplication::applicationDisplayName();
    if (caption.isEmpty())
        caption = QApplication::applicationName();
    QMessageBox box(icon, caption, text, buttons, parent);
    box.setObjectName(QStringLiteral("AfxMessageBox"));
    return QMessageBox::StandardButton(box.exec());
}
