#include "bytelens/BytelensApp.h"

#include "bytelens/BytelensDlg.h"
#include "bytelens/DumpCommand.h"

#include <QIcon>

#include <cstdio>
#include <cstring>

namespace {

const char kUsage[] = "Usage: bytelens [FILE]\n"
                      "       bytelens --dump FILE\n"
                      "Shows FILE as an offset / hexadecimal / text listing, sixteen bytes a line.\n"
                      "With --dump the listing is written to standard output.\n"
                      "\n"
                      "  -h, --help     show this help and exit\n"
                      "  -v, --version  show the version and exit\n";

} // namespace

CBytelensApp::CBytelensApp(int &argc, char **argv)
    : QApplication(argc, argv)
{
    setApplicationName(QStringLiteral("Bytelens"));
    // No display name of its own: Qt would add it to the dialog's caption.
    setOrganizationName(QStringLiteral("QUILLON"));
    setWindowIcon(QIcon(QStringLiteral(":/bytelens/bytelens.png")));
}

bool CBytelensApp::RunWithoutWindow(int argc, char **argv, int &nExitCode)
{
    if (argc < 2)
        return false;
    if (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0) {
        std::fputs(kUsage, stdout);
        nExitCode = 0;
        return true;
    }
    if (std::strcmp(argv[1], "--version") == 0 || std::strcmp(argv[1], "-v") == 0) {
        std::fputs("bytelens " KESTREL_VERSION "\n", stdout);
        nExitCode = 0;
        return true;
    }
    if (std::strcmp(argv[1], "--dump") == 0) {
        if (argc != 3) {
            std::fputs(kUsage, stderr);
            nExitCode = 2;
            return true;
        }
        nExitCode = RunDumpCommand(QString::fromLocal8Bit(argv[2]), stdout, stderr);
        return true;
    }
    return false;
}

int CBytelensApp::InitInstance()
{
    // Qt has taken its own options (-style, -platform, ...) out of the arguments.
    const QStringList args = arguments();
    if (args.size() > 2 || (args.size() == 2 && args[1].startsWith(QLatin1Char('-')) && args[1].size() > 1)) {
        std::fputs(kUsage, stderr);
        return 2;
    }
    CBytelensDlg dlg;
    if (args.size() == 2)
        dlg.DumpFile(args[1]);
    dlg.exec();
    return 0;
}
