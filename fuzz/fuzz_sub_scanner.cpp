// The Subs list's scanner and the word-at-caret reader over any bytes. Declarations
// lie inside the text in text order, start with their keyword, have a name after it,
// and their line is the count of line feeds before the keyword, plus one. The word
// at any column of any line is a name of word bytes, "::" and at most one sigil.
#include "perl/PerlDocTopic.h"
#include "perl/SubScanner.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray text(reinterpret_cast<const char *>(data), qsizetype(size));
    qsizetype previous = -1;
    const QVector<CSubDeclaration> rows = CSubScanner::Scan(text);
    for (const CSubDeclaration &d : rows) {
        const QByteArray keyword = d.nKind == CSubDeclaration::Sub ? QByteArray("sub") : QByteArray("package");
        if (d.nKeyword <= previous || d.nKeyword < 0 || text.mid(d.nKeyword, keyword.size()) != keyword)
            std::abort();
        if (d.nName <= d.nKeyword || d.nNameLength < 1 || d.nName + d.nNameLength > text.size())
            std::abort();
        const int line = 1 + int(std::count(text.constData(), text.constData() + d.nKeyword, '\n'));
        if (d.nLine != line)
            std::abort();
        // The enclosing package is an earlier package row.
        if (d.nPackage >= 0 && (d.nPackage >= int(&d - rows.constData()) || rows[d.nPackage].nKind != CSubDeclaration::Package))
            std::abort();
        previous = d.nKeyword;
    }
    const QByteArray firstLine = text.left(200);
    for (qsizetype col = 0; col <= firstLine.size() + 1; ++col) {
        const CPerlDocTopic topic = CPerlDocTopic::AtColumn(firstLine, col);
        if (topic.IsEmpty() != topic.strName.isEmpty() || topic.IsEmpty() != topic.lookups.isEmpty())
            std::abort();
        for (const QStringList &args : topic.lookups) {
            // A name never reaches perldoc as an option.
            if (args.isEmpty() || args.last().startsWith(QLatin1Char('-')))
                std::abort();
        }
    }
    return 0;
}
