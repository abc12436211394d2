#include "framework/OutputLimit.h"

#include <QString>

QByteArray COutputLimit::DroppedNote(qint64 nDroppedBytes)
{
    return QStringLiteral("[%1 bytes of earlier output were removed from this pane to limit its memory.]\n")
        .arg(nDroppedBytes)
        .toUtf8();
}
