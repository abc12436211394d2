#pragma once

#include <QByteArray>
#include <QVector>

// The texts of the scripting and operators toolbars' buttons. A fixed text replaces
// the selection; a wrapping button puts its prefix and suffix around the first line
// of the selection. Line ends in the statement templates are the platform's.
struct CCodeTemplate
{
    int nId;
    QByteArray baText;   // fixed text, empty for a wrapping button
    QByteArray baPrefix; // wrapping buttons only
    QByteArray baSuffix;
    bool IsWrapping() const { return baText.isEmpty(); }
};

class CCodeTemplates
{
public:
    // The line end the IDE inserts: "\n" here, "\r\n" on Windows.
    static QByteArray LineEnd();

    // nullptr for an id that is not a template or operator button.
    static const CCodeTemplate *Find(int nId);
    static const QVector<CCodeTemplate> &All();

    // What the button puts in place of the selection. For a wrapping button only the
    // selection's first line takes part: it ends before the first CR or LF.
    static QByteArray Result(const CCodeTemplate &tmpl, const QByteArray &baSelection);
    static QByteArray FirstLine(const QByteArray &baSelection);
};
