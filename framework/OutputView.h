#pragma once

#include <Qsci/qsciscintilla.h>

class QFont;
class QKeyEvent;

// A read-only Scintilla view for what a program prints: UTF-8, no undo, no margins,
// no wrapping, laid out only where it is shown, so that long lines and floods stay
// cheap. Escape is left to the window, which closes from the view as from its other
// controls. The run's panes and the remote shell's output area build on it.
class COutputView : public QsciScintilla
{
    Q_OBJECT

public:
    explicit COutputView(QWidget *parent = nullptr);

    // True while the last line is in view: new text is then followed.
    bool IsAtBottom() const;
    // Scintilla draws with its default style's font, not the widget's.
    void SetPaneFont(const QFont &font);

protected:
    void keyPressEvent(QKeyEvent *event) override;
};
