// The variable scan of a 10 MB Perl file, against `grep -c '\$'` on the same file.
#include "BenchPerlText.h"

#include "editor/VariableScanner.h"

#include <QCoreApplication>
#include <QProcess>
#include <QTemporaryDir>

#include <cstdio>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QByteArray text = PerlLibraryText(10 * 1024 * 1024);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("library.pl"));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size())
        return 1;
    file.close();

    qsizetype rows = 0;
    const double scan = BestMs(5, [&] { rows = CVariableScanner::Scan(text, '$').size(); });
    QByteArray grepOut;
    const double grep = BestMs(5, [&] {
        QProcess p;
        p.start(QStringLiteral("grep"), {QStringLiteral("-c"), QStringLiteral("\\$"), path});
        p.waitForFinished(-1);
        grepOut = p.readAllStandardOutput().trimmed();
    });
    std::printf("variable scan 10 MB ($, %lld rows; grep -c counts %s lines): %.1f ms (%.2f x grep -c '\\$')\n",
                static_cast<long long>(rows), grepOut.constData(), scan, scan / grep);
    std::printf("grep -c '\\$' 10 MB: %.1f ms (1.00 x grep -c '\\$')\n", grep);
    return 0;
}
