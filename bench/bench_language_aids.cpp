// The bad inputs of the language aids, timed: a 50 MB script in the variable list, a
// catalogue of 100,000 lines, a wrapping button over a selection of 50,000 lines.
#include "BenchPerlText.h"

#include "app/KestrelDoc.h"
#include "editor/FunctionCatalogue.h"
#include "editor/FunctionListDlg.h"
#include "editor/KestrelView.h"
#include "editor/VariableListDlg.h"
#include "editor/VariableScanner.h"

#include <QApplication>
#include <QTemporaryDir>
#include <QTreeView>

#include <cstdio>

namespace {

void VariableListOf50MB()
{
    const QByteArray text = PerlLibraryText(50 * 1024 * 1024);
    const double scan = BestMs(3, [&] { CVariableScanner::Scan(text, '$'); });
    int rows = 0;
    const double open = BestMs(3, [&] {
        CVariableListDlg dlg;
        dlg.m_strText = text;
        dlg.m_nMode = 0;
        dlg.show();
        QApplication::processEvents();
        rows = dlg.m_listCtrl->model()->rowCount();
    });
    std::printf("variable list open 50 MB (%d rows): %.1f ms (%.2f x scan alone)\n", rows, open, open / scan);
}

void CatalogueOf100kLines()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("KESTREL.FNL"));
    QByteArray data;
    for (int i = 0; i < 100000; ++i) {
        if (i % 10 == 0)
            data += "\n,,,,\n\xff\xfe\n";
        data += "function" + QByteArray::number(i) + ",What it does in a few words,function" + QByteArray::number(i)
                + "($x, $y, @rest);\n";
    }
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly))
        return;
    f.write(data);
    f.close();
    const double readAll = BestMs(5, [&] {
        QFile in(path);
        in.open(QIODevice::ReadOnly);
        (void)in.readAll().count('\n');
    });
    const double parse = BestMs(5, [&] {
        QVector<CFunctionEntry> rows;
        CFunctionCatalogue::Read(path, rows);
    });
    const double window = BestMs(3, [&] {
        CFunctionListDlg dlg(nullptr, path);
        dlg.show();
        QApplication::processEvents();
    });
    std::printf("catalogue read 100000 lines: %.1f ms (%.2f x reading and counting its lines)\n", parse,
                parse / readAll);
    std::printf("functions window of 100000 lines: %.1f ms (%.2f x reading and counting its lines)\n", window,
                window / readAll);
}

void WrapOf50kLines()
{
    QByteArray text;
    for (int i = 0; i < 50000; ++i)
        text += "    my $value" + QByteArray::number(i) + " = compute($input, " + QByteArray::number(i) + ");\n";
    CKestrelDoc doc;
    CKestrelView view(&doc);
    doc.SetView(&view);
    view.SetTextBytes(text);
    auto selectAll = [&] { view.SendScintilla(QsciScintilla::SCI_SETSEL, 4, long(text.size() - 1)); };
    const double replace = BestMs(3, [&] {
        selectAll();
        view.ReplaceSel("x", true);
        view.undo();
    });
    const double wrap = BestMs(3, [&] {
        selectAll();
        view.Commands().Execute(32938);
        view.undo();
    });
    std::printf("double-quote wrap over 50000 lines: %.1f ms (%.2f x replacing the selection)\n", wrap,
                wrap / replace);
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    VariableListOf50MB();
    CatalogueOf100kLines();
    WrapOf50kLines();
    return 0;
}
