#include "app/SettingsFile.h"

#include "app/Settings.h"
#include "framework/SafeSave.h"

#include <QFile>

#include <limits>

namespace {

enum class Kind { Text, Port, Flag };

struct Key
{
    const char *name;
    Kind kind;
    QString CSettings::*text;
    int CSettings::*number;
};

#define TEXT_KEY(k) Key{#k, Kind::Text, &CSettings::k, nullptr}
#define PORT_KEY(k) Key{#k, Kind::Port, nullptr, &CSettings::k}

// In the order the file is written.
const Key kKeys[CSettingsFile::kKeyCount] = {
    TEXT_KEY(LOCAL_PERL_EXE),
    TEXT_KEY(LOCAL_PERL_PRM),
    TEXT_KEY(REMOTE_PERL_EXE),
    TEXT_KEY(REMOTE_PERL_PRM),
    TEXT_KEY(RUN_IN_DOS_WINDOW),
    TEXT_KEY(FTP_HOST_NAME),
    PORT_KEY(FTP_PORT_NUMBER),
    TEXT_KEY(FTP_USER_NAME),
    TEXT_KEY(FTP_USER_PASS),
    TEXT_KEY(LOCAL_DIRECTORY),
    TEXT_KEY(REMOTE_DIRECTORY),
    TEXT_KEY(TAB_EXPAND),
    TEXT_KEY(TAB_SIZE),
    TEXT_KEY(INDENT_SIZE),
    TEXT_KEY(VIEW_FONT),
    Key{"AUTO_INDENT", Kind::Flag, nullptr, &CSettings::AUTO_INDENT},
    TEXT_KEY(LOCAL_JAVA_EXE),
    TEXT_KEY(LOCAL_JAVA_PRM),
    TEXT_KEY(REMOTE_JAVA_EXE),
    TEXT_KEY(REMOTE_JAVA_PRM),
    TEXT_KEY(LOCAL_JAVAC_EXE),
    TEXT_KEY(LOCAL_JAVAC_PRM),
    TEXT_KEY(REMOTE_JAVAC_EXE),
    TEXT_KEY(REMOTE_JAVAC_PRM),
    TEXT_KEY(SERVER_USER),
    TEXT_KEY(SERVER_PASS),
    TEXT_KEY(SERVER_TYPE),
    TEXT_KEY(SERVER_HOST),
    PORT_KEY(SERVER_PORT_NUMBER),
    TEXT_KEY(SERVER_CLIENT_EXEPATH),
};

#undef TEXT_KEY
#undef PORT_KEY

void ApplyLine(const char *line, qsizetype length, CSettings &settings)
{
    const char *eq = static_cast<const char *>(memchr(line, '=', size_t(length)));
    if (!eq)
        return;
    qsizetype keyLength = eq - line;
    for (const Key &key : kKeys) {
        if (qstrlen(key.name) != size_t(keyLength) || memcmp(key.name, line, size_t(keyLength)) != 0)
            continue;
        QByteArray value(eq + 1, length - keyLength - 1);
        switch (key.kind) {
        case Kind::Text:
            settings.*key.text = QString::fromUtf8(value);
            break;
        case Kind::Port:
            settings.*key.number = CSettingsFile::LeadingInteger(value);
            break;
        case Kind::Flag:
            settings.*key.number = value == "Y" ? 1 : 0;
            break;
        }
        return;
    }
}

} // namespace

int CSettingsFile::LeadingInteger(const QByteArray &value)
{
    qsizetype p = 0;
    while (p < value.size() && (value[p] == ' ' || value[p] == '\t' || value[p] == '\n'
                                || value[p] == '\r' || value[p] == '\v' || value[p] == '\f'))
        ++p;
    bool negative = false;
    if (p < value.size() && (value[p] == '+' || value[p] == '-')) {
        negative = value[p] == '-';
        ++p;
    }
    qint64 v = 0;
    for (; p < value.size() && value[p] >= '0' && value[p] <= '9'; ++p) {
        v = v * 10 + (value[p] - '0');
        if (v > qint64(std::numeric_limits<int>::max()) + 1)
            v = qint64(std::numeric_limits<int>::max()) + 1;
    }
    if (negative)
        v = -v;
    if (v > std::numeric_limits<int>::max())
        v = std::numeric_limits<int>::max();
    return int(v);
}

void CSettingsFile::Parse(const QByteArray &data, CSettings &settings)
{
    const char *p = data.constData();
    const char *end = p + data.size();
    while (p < end) {
        const char *nl = static_cast<const char *>(memchr(p, '\n', size_t(end - p)));
        const char *lineEnd = nl ? nl : end;
        // A file written on Windows ends its lines in CR LF; the CR belongs to the
        // line end, not to the value.
        const char *valueEnd = lineEnd;
        if (nl && valueEnd > p && valueEnd[-1] == '\r')
            --valueEnd;
        ApplyLine(p, valueEnd - p, settings);
        p = nl ? nl + 1 : end;
    }
}

bool CSettingsFile::Read(const QString &path, CSettings &settings)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    Parse(file.readAll(), settings);
    return true;
}

QByteArray CSettingsFile::Format(const CSettings &settings)
{
#ifdef Q_OS_WIN
    const char *eol = "\r\n";
#else
    const char *eol = "\n";
#endif
    QByteArray out;
    for (const Key &key : kKeys) {
        out += key.name;
        out += '=';
        switch (key.kind) {
        case Kind::Text:
            out += (settings.*key.text).toUtf8();
            break;
        case Kind::Port:
            out += QString::asprintf("%05d", settings.*key.number).toLatin1();
            break;
        case Kind::Flag:
            out += settings.*key.number ? "Y" : "N";
            break;
        }
        out += eol;
    }
    return out;
}

bool CSettingsFile::Write(const QString &path, const CSettings &settings, QString *pError)
{
    return SafeSave(path, Format(settings), pError, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
}
