#pragma once

#include <QByteArray>

#include <initializer_list>

// A byte string written as numbers, for telnet commands in test tables.
inline QByteArray Bytes(std::initializer_list<int> bytes)
{
    QByteArray ba;
    for (int b : bytes)
        ba.append(char(b));
    return ba;
}
