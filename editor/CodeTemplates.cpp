#include "editor/CodeTemplates.h"

#include "framework/CommandIds.h"

#include <QHash>

using namespace Cmd;

namespace {

// Statement templates are written with "\n"; LineEnd() replaces it on the platforms
// whose text-mode line end differs.
QVector<CCodeTemplate> BuildTable()
{
    auto fixed = [](int id, const char *text) { return CCodeTemplate{id, QByteArray(text), {}, {}}; };
    auto wrap = [](int id, const char *prefix, const char *suffix) {
        return CCodeTemplate{id, {}, QByteArray(prefix), QByteArray(suffix)};
    };
    QVector<CCodeTemplate> table = {
        fixed(ID_TEMPLATE_IF, "\tif ( ) {\n\t}\n\telse {\n\t}\n"),
        fixed(ID_TEMPLATE_WHILE, "\twhile ( ) {\n\t}\n"),
        fixed(ID_TEMPLATE_FOR, "\tfor ( ) {\n\t}\n"),
        fixed(ID_TEMPLATE_SUB, "\tsub subname ( ) {\n\t}\n"),
        fixed(ID_TEMPLATE_FOREACH, "\tforeach $item (@list ) {\n\t}\n"),
        fixed(ID_TEMPLATE_LAST, " last "),
        fixed(ID_TEMPLATE_NEXT, " next "),
        fixed(ID_TEMPLATE_REDO, " redo "),
        fixed(ID_TEMPLATE_GOTO, " goto "),
        fixed(ID_TEMPLATE_DO_WHILE, "\tdo {\n\t} while ( ) ;\n"),
        fixed(ID_TEMPLATE_BLOCK, "\t{\n\t}\n"),
        fixed(32962, " =~ "),
        fixed(32963, " !~ "),
        fixed(32964, " == "),
        fixed(32925, " != "),
        fixed(32926, " += "),
        fixed(32927, " -= "),
        fixed(32928, " *= "),
        fixed(32929, " /= "),
        fixed(32930, " / "),
        fixed(32931, " * "),
        fixed(32932, " + "),
        fixed(32933, " - "),
        fixed(32934, " % "),
        fixed(32935, " = "),
        wrap(32936, " (", ") "),
        wrap(32937, "[", "]"),
        wrap(32938, " \"", "\" "),
        wrap(32939, " '", "' "),
        fixed(32940, " %= "),
        fixed(32965, " x= "),
        fixed(32971, " |= "),
        fixed(32975, " &= "),
        fixed(32973, " ^= "),
        fixed(32945, " .= "),
        fixed(32946, " &&= "),
        fixed(32947, " ||= "),
        fixed(32948, " <<= "),
        fixed(32978, " >>= "),
        fixed(32950, ".."),
        fixed(32951, " ^^ "),
        fixed(32952, " || "),
        fixed(32953, "&&"),
        fixed(32954, " !"),
        fixed(32957, " (condition) ? (iftrue) : (iffalse)"),
        fixed(32958, " <=> "),
        fixed(32959, " ... "),
        fixed(32960, " => "),
        fixed(32961, " -> "),
        fixed(32942, " | "),
        fixed(32967, " ^ "),
        fixed(32966, " & "),
        fixed(32976, " . "),
        fixed(32977, " x "),
        fixed(32995, ", "),
    };
    const QByteArray eol = CCodeTemplates::LineEnd();
    if (eol != "\n") {
        for (CCodeTemplate &t : table)
            t.baText.replace('\n', eol);
    }
    return table;
}

} // namespace

QByteArray CCodeTemplates::LineEnd()
{
#ifdef Q_OS_WIN
    return QByteArrayLiteral("\r\n");
#else
    return QByteArrayLiteral("\n");
#endif
}

const QVector<CCodeTemplate> &CCodeTemplates::All()
{
    static const QVector<CCodeTemplate> table = BuildTable();
    return table;
}

const CCodeTemplate *CCodeTemplates::Find(int nId)
{
    static const QHash<int, int> index = [] {
        QHash<int, int> h;
        for (int i = 0; i < All().size(); ++i)
            h.insert(All()[i].nId, i);
        return h;
    }();
    auto it = index.find(nId);
    return it == index.end() ? nullptr : &All()[*it];
}

QByteArray CCodeTemplates::FirstLine(const QByteArray &baSelection)
{
    for (qsizetype i = 0; i < baSelection.size(); ++i) {
        if (baSelection[i] == '\r' || baSelection[i] == '\n')
            return baSelection.left(i);
    }
    return baSelection;
}

QByteArray CCodeTemplates::Result(const CCodeTemplate &tmpl, const QByteArray &baSelection)
{
    if (!tmpl.IsWrapping())
        return tmpl.baText;
    return tmpl.baPrefix + FirstLine(baSelection) + tmpl.baSuffix;
}
