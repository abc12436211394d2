#pragma once

#include <QMessageBox>
#include <QString>

class QWidget;

// A message box captioned with the application's title ("Kestrel" in the IDE), as every
// message of the programs is. Returns the button pressed.
QMessageBox::StandardButton AfxMessageBox(QWidget *parent, const QString &text,
                                          QMessageBox::StandardButtons buttons = QMessageBox::Ok,
                                          QMessageBox::Icon icon = QMessageBox::Warning,
                                          QMessageBox::StandardButton defaultButton = QMessageBox::NoButton);
