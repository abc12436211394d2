#include "app/SettingsLocation.h"

#include "app/DefaultSettings.h"
#include "app/Settings.h"
#include "app/SettingsFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace {

QString WithSlash(const QString &strDir)
{
    QString dir = QDir::cleanPath(QDir(strDir).absolutePath());
    if (!dir.endsWith(QLatin1Char('/')))
        dir += QLatin1Char('/');
    return dir;
}

QString DataDirOf(const QString &strProgramDir)
{
    return WithSlash(strProgramDir + QStringLiteral("/../share/kestrel"));
}

} // namespace

CSettingsLocation::CSettingsLocation(const QString &strProgramDir, bool bProgramDirWritable,
                                     const QString &strConfigHome, const QString &strHome)
    : m_strProgramDir(WithSlash(strProgramDir))
    , m_strDataDir(DataDirOf(strProgramDir))
{
    const bool installed = QFileInfo(m_strDataDir).isDir();
    m_bBesideProgram = !installed && bProgramDirWritable;
    if (m_bBesideProgram) {
        m_strFolder = m_strProgramDir;
        return;
    }
    // As XDG has it: a relative XDG_CONFIG_HOME is to be ignored.
    const QString configHome = !strConfigHome.isEmpty() && QDir::isAbsolutePath(strConfigHome)
                                   ? strConfigHome
                                   : strHome + QStringLiteral("/.config");
    m_strFolder = WithSlash(configHome + QStringLiteral("/Kestrel"));
}

CSettingsLocation::CSettingsLocation(const QString &strProgramDir)
    : CSettingsLocation(strProgramDir, QFileInfo(strProgramDir).isWritable(), qEnvironmentVariable("XDG_CONFIG_HOME"),
                        QDir::homePath())
{
}

QString CSettingsLocation::SettingsPath() const { return m_strFolder + QLatin1String(kSettingsName); }

QString CSettingsLocation::CataloguePath() const
{
    return CataloguePath(m_strProgramDir, m_bBesideProgram ? QString() : m_strFolder);
}

QString CSettingsLocation::CataloguePath(const QString &strProgramDir, const QString &strUserDir)
{
    if (strUserDir.isEmpty())
        return strProgramDir + QLatin1String(kCatalogueName);
    const QString besideProgram = WithSlash(strProgramDir) + QLatin1String(kCatalogueName);
    const QString own = WithSlash(strUserDir) + QLatin1String(kCatalogueName);
    const QString installed = DataDirOf(strProgramDir) + QLatin1String(kCatalogueName);
    for (const QString &path : {own, installed, besideProgram}) {
        if (QFileInfo(path).isFile())
            return path;
    }
    return installed;
}

QString CSettingsLocation::DefaultSettingsPath() const
{
    for (const QString &dir : {m_strDataDir, m_strProgramDir}) {
        const QString path = dir + QLatin1String(kSettingsName);
        if (QFileInfo(path).isFile())
            return path;
    }
    return QString();
}

bool CSettingsLocation::CreateSettingsFile(QString *pError) const
{
    const QString path = SettingsPath();
    if (m_bBesideProgram || QFileInfo::exists(path))
        return true;
    CSettings settings = CDefaultSettings::Make();
    const QString seed = DefaultSettingsPath();
    if (!seed.isEmpty()) {
        QFile file(seed);
        if (!file.open(QIODevice::ReadOnly)) {
            if (pError)
                *pError = QStringLiteral("%1: %2").arg(QDir::toNativeSeparators(seed), file.errorString());
            return false;
        }
        settings = CSettings();
        CSettingsFile::Parse(file.readAll(), settings);
    }
    CDefaultSettings::NameInterpreters(settings);
    // The folder holds passwords in clear, as the file does.
    QDir folder(m_strFolder);
    if (!folder.exists()) {
        if (!QDir().mkpath(m_strFolder)) {
            if (pError)
                *pError = QStringLiteral("%1: cannot create the folder").arg(QDir::toNativeSeparators(m_strFolder));
            return false;
        }
        QFile::setPermissions(m_strFolder, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    }
    QString error;
    if (!CSettingsFile::Write(path, settings, &error)) {
        if (pError)
            *pError = QStringLiteral("%1: %2").arg(QDir::toNativeSeparators(path), error);
        return false;
    }
    return true;
}
