// Writes the default Kestrel.cfg of a new installation, unless the file exists.
//   kestrel_default_cfg PATH                       names the interpreters found on the PATH
//   kestrel_default_cfg --without-interpreters PATH  names none: the default a package
//                                                  installs, whose first start names them
#include "app/DefaultSettings.h"
#include "app/Settings.h"
#include "app/SettingsFile.h"

#include <QCoreApplication>
#include <QFileInfo>

#include <cstdio>
#include <cstring>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const bool withoutInterpreters = argc == 3 && std::strcmp(argv[1], "--without-interpreters") == 0;
    if (argc != 2 && !withoutInterpreters) {
        std::fprintf(stderr, "usage: kestrel_default_cfg [--without-interpreters] PATH\n");
        return 2;
    }
    const char *target = argv[argc - 1];
    const QString path = QString::fromLocal8Bit(target);
    if (QFileInfo::exists(path))
        return 0;
    CSettings s = CDefaultSettings::Make();
    if (!withoutInterpreters)
        CDefaultSettings::NameInterpreters(s);
    QString error;
    if (!CSettingsFile::Write(path, s, &error)) {
        std::fprintf(stderr, "Cannot write %s: %s\n", target, qPrintable(error));
        return 1;
    }
    return 0;
}
