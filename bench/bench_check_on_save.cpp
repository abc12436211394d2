// The check on save of a 5,000-line script: from File > Save to the marks in the
// margin, against `perl -c -w` of the same file started from a shell.
#include "BenchPerlText.h"

#include "app/KestrelDoc.h"
#include "app/Settings.h"
#include "perl/CheckCommands.h"
#include "editor/KestrelView.h"
#include "editor/MessageMarkers.h"

#include <QApplication>
#include <QEventLoop>
#include <QProcess>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>

namespace {

// 5,000 lines of subs, with a warning near the end so that there is a mark to show.
QByteArray ScriptOf5000Lines()
{
    QByteArray text = "use strict;\nuse warnings;\n";
    int line = 2;
    for (int n = 0; line < 4990; ++n) {
        text += "sub f" + QByteArray::number(n) + " {\n    my ($a, $b) = @_;\n    my %h = (k => $a);\n"
                "    return $h{k} + ($b // 0) * " + QByteArray::number(n) + ";\n}\n";
        line += 5;
    }
    text += "my $z = 1;\nmy $z = 2;\nprint f1(1, 2), \"\\n\";\n";
    return text;
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    // The user's own settings stay as they are.
    QTemporaryDir config;
    qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit());
    QApplication app(argc, argv);
    QSettings(QStringLiteral("QUILLON"), QStringLiteral("Kestrel")).setValue(CCheckCommands::kCheckOnSaveKey, true);
    g_settings.LOCAL_PERL_EXE = QStandardPaths::findExecutable(QStringLiteral("perl"));
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("five thousand.pl"));
    QFile file(path);
    const QByteArray text = ScriptOf5000Lines();
    if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size())
        return 1;
    file.close();

    CKestrelDoc doc;
    CKestrelView view(&doc);
    doc.SetView(&view);
    if (!doc.OnOpenDocument(path))
        return 1;
    view.OnInitialUpdate();
    int marks = 0;
    const double save = BestMs(5, [&] {
        view.Markers()->Clear();
        doc.SetModifiedFlag(true);
        QEventLoop loop;
        auto c = QObject::connect(view.Markers(), &CMessageMarkers::MarkersChanged, &loop, [&] {
            if (!view.Markers()->MarkedLines().isEmpty())
                loop.quit();
        });
        QTimer::singleShot(60000, &loop, &QEventLoop::quit);
        doc.OnFileSave();
        loop.exec();
        QObject::disconnect(c);
        marks = int(view.Markers()->MarkedLines().size());
    });
    const QString command = QStringLiteral("'%1' -c -w '%2' 2>/dev/null").arg(g_settings.LOCAL_PERL_EXE, path);
    const double shell = BestMs(5, [&] {
        QProcess p;
        p.start(QStringLiteral("/bin/sh"), {QStringLiteral("-c"), command});
        p.waitForFinished(-1);
    });
    std::printf("check on save, 5000 lines, save to marks (%d marked): %.1f ms (%.2f x perl -c -w from a shell)\n",
                marks, save, save / shell);
    std::printf("perl -c -w 5000 lines from a shell: %.1f ms (1.00 x perl -c -w from a shell)\n", shell);
    return 0;
}
