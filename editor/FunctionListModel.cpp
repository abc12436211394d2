#include "editor/FunctionListModel.h"

CFunctionListModel::CFunctionListModel(QObject *parent)
    : QAbstractTableModel(parent)
{
}

void CFunctionListModel::SetEntries(QVector<CFunctionEntry> entries)
{
    beginResetModel();
    m_entries = std::move(entries);
    endResetModel();
}

const CFunctionEntry *CFunctionListModel::Entry(int nRow) const
{
    return nRow >= 0 && nRow < m_entries.size() ? &m_entries[nRow] : nullptr;
}

int CFunctionListModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_entries.size());
}

int CFunctionListModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : 3;
}

QVariant CFunctionListModel::data(const QModelIndex &index, int role) const
{
    const CFunctionEntry *e = Entry(index.row());
    if (!e || index.column() >= 3)
        return QVariant();
    if (role == Qt::DisplayRole || role == Qt::ToolTipRole) {
        const QByteArray &text = index.column() == 0 ? e->baName
                                 : index.column() == 1 ? e->baDescription
                                                       : e->baTemplate;
        return QString::fromUtf8(text);
    }
    if (role == Qt::TextAlignmentRole)
        return QVariant::fromValue(Qt::Alignment(Qt::AlignLeft | Qt::AlignVCenter));
    return QVariant();
}

QVariant CFunctionListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QVariant();
    switch (section) {
    case 0: return tr("Function");
    case 1: return tr("Description");
    case 2: return tr("Code Template");
    default: return QVariant();
    }
}
