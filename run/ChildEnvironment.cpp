#include "run/ChildEnvironment.h"

#include <QByteArray>
#include <QList>
#include <QPair>

#include <cstdlib>

extern char **environ;

namespace {

// The variables the IDE sets in its own environment for the browser engine
// (editor/WebFrame.cpp), which loads in this process and reads them from there.
constexpr const char *kInternal[] = {"QTWEBENGINE_DISABLE_SANDBOX"};

struct CUserValue
{
    const char *pszName;
    bool bSet;
    QByteArray baValue;
};

// Taken when the library is loaded, before the IDE's own code runs, so before it
// could have set any of them.
QList<CUserValue> TakeUserValues()
{
    QList<CUserValue> values;
    for (const char *name : kInternal) {
        const char *value = std::getenv(name);
        values.append({name, value != nullptr, value ? QByteArray(value) : QByteArray()});
    }
    return values;
}

const QList<CUserValue> &UserValues()
{
    static const QList<CUserValue> values = TakeUserValues();
    return values;
}

// Forces the reading at load time rather than at the first child's start.
const bool s_bTaken = (UserValues(), true);

} // namespace

QProcessEnvironment CChildEnvironment::System()
{
    (void)s_bTaken;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const CUserValue &user : UserValues()) {
        const QString name = QString::fromLatin1(user.pszName);
        if (user.bSet)
            environment.insert(name, QString::fromLocal8Bit(user.baValue));
        else
            environment.remove(name);
    }
    return environment;
}

QByteArrayList CChildEnvironment::Entries()
{
    (void)s_bTaken;
    QByteArrayList entries;
    for (char **e = environ; *e; ++e) {
        const QByteArray entry(*e);
        bool bInternal = false;
        for (const CUserValue &user : UserValues())
            bInternal = bInternal || entry.startsWith(QByteArray(user.pszName) + '=');
        if (!bInternal)
            entries.append(entry);
    }
    for (const CUserValue &user : UserValues())
        if (user.bSet)
            entries.append(QByteArray(user.pszName) + '=' + user.baValue);
    return entries;
}
