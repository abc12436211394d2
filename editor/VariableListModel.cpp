#include "editor/VariableListModel.h"

#include "editor/PredefinedVariables.h"

CVariableListModel::CVariableListModel(QObject *parent)
    : QAbstractTableModel(parent)
{
}

void CVariableListModel::SetScan(const QByteArray &text, char chSigil, const QStringList &headers)
{
    beginResetModel();
    m_baText = text;
    m_rows = CVariableScanner::Scan(m_baText, chSigil);
    m_pSpecial = nullptr;
    m_headers = headers;
    endResetModel();
}

void CVariableListModel::SetSpecial(const QVector<CSpecialVariable> &table, const QStringList &headers)
{
    beginResetModel();
    m_baText.clear();
    m_rows.clear();
    m_pSpecial = &table;
    m_headers = headers;
    endResetModel();
}

void CVariableListModel::Clear()
{
    beginResetModel();
    m_baText.clear();
    m_rows.clear();
    m_pSpecial = nullptr;
    endResetModel();
}

QByteArray CVariableListModel::NameBytes(int nRow) const
{
    const CVariableOccurrence *o = Occurrence(nRow);
    return o ? m_baText.mid(o->nStart, o->nLength) : QByteArray();
}

const CVariableOccurrence *CVariableListModel::Occurrence(int nRow) const
{
    return nRow >= 0 && nRow < m_rows.size() ? &m_rows[nRow] : nullptr;
}

int CVariableListModel::rowCount(const QModelIndex &parent) const
{
    if (parent.isValid())
        return 0;
    return m_pSpecial ? int(m_pSpecial->size()) : int(m_rows.size());
}

int CVariableListModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : 3;
}

QString CVariableListModel::CellText(int nRow, int nColumn) const
{
    if (m_pSpecial) {
        const CSpecialVariable &v = m_pSpecial->at(nRow);
        const char *text = nColumn == 0 ? v.pszSymbol : nColumn == 1 ? v.pszEnglish : v.pszDescription;
        return QString::fromLatin1(text);
    }
    const CVariableOccurrence &o = m_rows[nRow];
    switch (nColumn) {
    case 0:
        // A name holds only ASCII: any other byte completes it.
        return QString::fromLatin1(m_baText.constData() + o.nStart, o.nLength);
    case 1:
        return QString::asprintf("%5d", o.nLine);
    default:
        return QStringLiteral(" ");
    }
}

QVariant CVariableListModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= rowCount() || index.column() >= 3)
        return QVariant();
    if (role == Qt::EditRole)
        return CellText(index.row(), index.column());
    if (role == Qt::DisplayRole) {
        QString text = CellText(index.row(), index.column());
        // Line breaks and tabs taken into a name show as blanks, so the cell stays one
        // line; the name itself is kept as collected.
        for (QChar &c : text) {
            if (c == QLatin1Char('\n') || c == QLatin1Char('\r') || c == QLatin1Char('\t') || c == QLatin1Char('\v')
                || c == QLatin1Char('\f'))
                c = QLatin1Char(' ');
        }
        return text;
    }
    if (role == Qt::TextAlignmentRole)
        return QVariant::fromValue(Qt::Alignment(Qt::AlignLeft | Qt::AlignVCenter));
    return QVariant();
}

bool CVariableListModel::setData(const QModelIndex &, const QVariant &, int)
{
    return false;
}

QVariant CVariableListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal)
        return QVariant();
    if (role == Qt::DisplayRole)
        return section < m_headers.size() ? m_headers[section] : QString();
    if (role == Qt::TextAlignmentRole)
        return QVariant::fromValue(Qt::Alignment(Qt::AlignLeft | Qt::AlignVCenter));
    return QVariant();
}

Qt::ItemFlags CVariableListModel::flags(const QModelIndex &index) const
{
    Qt::ItemFlags f = QAbstractTableModel::flags(index);
    if (index.isValid() && index.column() == 0)
        f |= Qt::ItemIsEditable;
    return f;
}
