#pragma once

#include "editor/FunctionCatalogue.h"

#include <QAbstractTableModel>
#include <QVector>

// The catalogue's rows: function, description, code template. Texts are shown as
// UTF-8; bytes that are not are shown as replacement characters but kept as read.
class CFunctionListModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    explicit CFunctionListModel(QObject *parent = nullptr);

    void SetEntries(QVector<CFunctionEntry> entries);
    const CFunctionEntry *Entry(int nRow) const;

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    QVector<CFunctionEntry> m_entries;
};
