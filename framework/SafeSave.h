#pragma once

#include <QByteArray>
#include <QFileDevice>
#include <QString>

// Writes `bytes` to `strPath` through a temporary file that is renamed over it, so that
// a failed write leaves the old file as it was. QSaveFile keeps what is written in a
// buffer of its own and flushes it at commit, where a failed write (a full disk) is not
// noticed: commit() then renames an empty file over the old one and reports success.
// Here the file is written unbuffered and every write is checked. On failure returns
// false with the system's reason in `pError`.
bool SafeSave(const QString &strPath, const QByteArray &bytes, QString *pError,
              QFileDevice::Permissions permissions = {});
