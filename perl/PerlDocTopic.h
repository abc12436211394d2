#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QVector>

// What the documentation of a word is looked up as, and how: the perldoc arguments to
// try in turn (the first that finds something wins), and for an operator the heading
// of its section in the page.
struct CPerlDocTopic
{
    enum Kind { None, Function, Variable, Module, Operator };
    Kind nKind = None;
    // The word as the user sees it: "split", "$_", "%ENV", "File::Temp", "=~".
    QString strName;
    QVector<QStringList> lookups;
    QString strSection;

    bool IsEmpty() const { return nKind == None; }

    // The word at a byte column of one line of Perl (the caret stands before the byte
    // at nColumn; a word that ends at the caret counts). A name after a sigil is a
    // variable ("$_", "@ARGV", "$0", "$/", "$^W"); an element of an array or hash
    // ("$ARGV[0]", "$ENV{HOME}") is looked up as the array or hash. A name with "::"
    // is a module; a plain word is a built-in function, else a module or pragma.
    static CPerlDocTopic AtColumn(const QByteArray &line, qsizetype nColumn);
    // The perlop section of an operators toolbar button; an empty topic for any other id.
    static CPerlDocTopic ForOperator(int nCommandId);
    // A function of the catalogue.
    static CPerlDocTopic ForFunction(const QString &strName);

    // The section of plain-text perldoc output headed strHeading: from the heading to
    // the next heading of the same or a higher level. Empty when there is none.
    static QString Section(const QString &text, const QString &strHeading);
};
