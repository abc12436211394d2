#pragma once

#include "framework/FileLineParser.h"

#include <QList>
#include <QString>

// Where the messages of a run reach the editor, without the runner knowing the editor.
class CMessageTarget
{
public:
    virtual ~CMessageTarget() = default;

    // Marks the lines of the current script that the messages name, in place of the
    // marks of the previous run or check.
    virtual void ShowMessages(const QList<CFileLineMessage> &messages) = 0;
    // Puts the caret on a line of a file: of the current script, or of another file
    // that is opened first (after the usual question about unsaved changes).
    virtual void GoToFileLine(const QString &strPath, int nLine) = 0;
};
