#pragma once

#include "editor/VariableScanner.h"

#include <QAbstractTableModel>
#include <QByteArray>
#include <QStringList>
#include <QVector>

struct CSpecialVariable;

// The rows of a variable list: either the occurrences of one scan, formatted only
// when a row is shown (a large script lists quickly), or the special-variables table.
// Column 0 may be edited in place, but an edit is never accepted and springs back.
class CVariableListModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    explicit CVariableListModel(QObject *parent = nullptr);

    void SetScan(const QByteArray &text, char chSigil, const QStringList &headers);
    void SetSpecial(const QVector<CSpecialVariable> &table, const QStringList &headers);
    void Clear();

    // The name exactly as collected, white space and line breaks included.
    QByteArray NameBytes(int nRow) const;
    const CVariableOccurrence *Occurrence(int nRow) const;

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    bool setData(const QModelIndex &index, const QVariant &value, int role = Qt::EditRole) override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;

private:
    QString CellText(int nRow, int nColumn) const;

    QByteArray m_baText;
    QVector<CVariableOccurrence> m_rows;
    const QVector<CSpecialVariable> *m_pSpecial = nullptr;
    QStringList m_headers;
};
