#include "framework/SafeSave.h"

#include <QSaveFile>

bool SafeSave(const QString &strPath, const QByteArray &bytes, QString *pError, QFileDevice::Permissions permissions)
{
    QSaveFile file(strPath);
    auto fail = [pError](const QString &reason) {
        if (pError)
            *pError = reason;
        return false;
    };
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return fail(file.errorString());
    if (permissions)
        file.setPermissions(permissions);
    if (file.write(bytes) != bytes.size()) {
        QString reason = file.errorString();
        file.cancelWriting();
        return fail(reason);
    }
    if (!file.commit())
        return fail(file.errorString());
    return true;
}
