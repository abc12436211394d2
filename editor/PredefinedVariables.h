#pragma once

#include <QVector>

// One row of the special-variables table: the symbol, its English name (from the
// English module) and what it holds.
struct CSpecialVariable
{
    const char *pszSymbol;
    const char *pszEnglish;
    const char *pszDescription;
};

class CSpecialVariables
{
public:
    // The table in the order it is shown; the last row is empty.
    static const QVector<CSpecialVariable> &Table();
};
