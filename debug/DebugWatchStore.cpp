#include "debug/DebugWatchStore.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>
#include <QUrl>

namespace {

QSettings Store()
{
    return QSettings(QStringLiteral("QUILLON"), QStringLiteral("Kestrel"));
}

} // namespace

QString CDebugWatchStore::Key(const QString &strScript)
{
    // The path is one key: its separators would otherwise make groups of its folders.
    const QString path = QDir::cleanPath(QFileInfo(strScript).absoluteFilePath());
    return QStringLiteral("DebugWatches/") + QString::fromLatin1(QUrl::toPercentEncoding(path));
}

QStringList CDebugWatchStore::Load(const QString &strScript)
{
    if (strScript.isEmpty())
        return {};
    return Store().value(Key(strScript)).toStringList();
}

void CDebugWatchStore::Save(const QString &strScript, const QStringList &watches)
{
    if (strScript.isEmpty())
        return;
    QSettings settings = Store();
    if (watches.isEmpty())
        settings.remove(Key(strScript));
    else
        settings.setValue(Key(strScript), watches);
}
