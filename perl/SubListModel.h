#pragma once

#include "perl/SubScanner.h"

#include <QAbstractTableModel>
#include <QByteArray>
#include <QVector>

// The rows of the Subs list: each `package` and `sub` declaration of a script as
// written ("package Foo::Bar", "sub baz"), its line, and the package a sub belongs to.
class CSubListModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    explicit CSubListModel(QObject *parent = nullptr);

    void SetText(const QByteArray &text);
    const CSubDeclaration *Declaration(int nRow) const;
    // The declaration's name, as written.
    QString Name(int nRow) const;

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    QByteArray m_baText;
    QVector<CSubDeclaration> m_rows;
};
