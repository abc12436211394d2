// The Subs list of a 10 MB Perl file (the scan and the list's rows), against the
// variable scan of the same text in the same run.
#include "BenchPerlText.h"

#include "perl/SubListModel.h"
#include "perl/SubScanner.h"
#include "editor/VariableScanner.h"

#include <QCoreApplication>

#include <cstdio>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QByteArray text = PerlLibraryText(10 * 1024 * 1024);
    // Many library files end in __END__, which would end the scan at the first one:
    // as one script, the text goes on.
    text.replace("\n__END__", "\n#_END__").replace("\n__DATA__", "\n#_DATA__");

    qsizetype subs = 0;
    const double scan = BestMs(5, [&] { subs = CSubScanner::Scan(text).size(); });
    int rows = 0;
    const double list = BestMs(5, [&] {
        CSubListModel model;
        model.SetText(text);
        rows = model.rowCount();
    });
    qsizetype variables = 0;
    const double variableScan = BestMs(5, [&] { variables = CVariableScanner::Scan(text, '$').size(); });
    std::printf("subs scan 10 MB (%lld declarations): %.1f ms (%.2f x variable scan)\n",
                static_cast<long long>(subs), scan, scan / variableScan);
    std::printf("subs list 10 MB (%d rows): %.1f ms (%.2f x variable scan)\n", rows, list, list / variableScan);
    std::printf("variable scan 10 MB ($, %lld rows): %.1f ms (1.00 x variable scan)\n",
                static_cast<long long>(variables), variableScan);
    return 0;
}
