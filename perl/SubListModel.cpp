#include "perl/SubListModel.h"

CSubListModel::CSubListModel(QObject *parent)
    : QAbstractTableModel(parent)
{
}

void CSubListModel::SetText(const QByteArray &text)
{
    beginResetModel();
    m_baText = text;
    m_rows = CSubScanner::Scan(m_baText);
    endResetModel();
}

const CSubDeclaration *CSubListModel::Declaration(int nRow) const
{
    return nRow >= 0 && nRow < m_rows.size() ? &m_rows[nRow] : nullptr;
}

QString CSubListModel::Name(int nRow) const
{
    const CSubDeclaration *d = Declaration(nRow);
    // A name holds only ASCII: any other byte ends it.
    return d ? QString::fromLatin1(m_baText.constData() + d->nName, d->nNameLength) : QString();
}

int CSubListModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_rows.size());
}

int CSubListModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : 3;
}

QVariant CSubListModel::data(const QModelIndex &index, int role) const
{
    const CSubDeclaration *d = index.isValid() ? Declaration(index.row()) : nullptr;
    if (!d || index.column() >= 3)
        return QVariant();
    if (role == Qt::TextAlignmentRole)
        return QVariant::fromValue(Qt::Alignment(Qt::AlignLeft | Qt::AlignVCenter));
    if (role != Qt::DisplayRole)
        return QVariant();
    switch (index.column()) {
    case 0:
        return (d->nKind == CSubDeclaration::Package ? QStringLiteral("package ") : QStringLiteral("sub "))
               + Name(index.row());
    case 1:
        return QString::asprintf("%5d", d->nLine);
    default: {
        // A package row shows its own name.
        const int package = d->nKind == CSubDeclaration::Package ? index.row() : d->nPackage;
        return package < 0 ? QStringLiteral("main") : Name(package);
    }
    }
}

QVariant CSubListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal)
        return QVariant();
    if (role == Qt::DisplayRole) {
        switch (section) {
        case 0: return tr("Declaration");
        case 1: return tr("Line Number");
        default: return tr("Package");
        }
    }
    if (role == Qt::TextAlignmentRole)
        return QVariant::fromValue(Qt::Alignment(Qt::AlignLeft | Qt::AlignVCenter));
    return QVariant();
}
