#pragma once

#include <QFont>
#include <QWidget>

class CKestrelView;
class QPlainTextEdit;

// View > Tear Off: a read-only copy of the editor's text at that moment, in a window of
// its own that lives until the user closes it. The edit box leaves a 20-pixel strip
// of the frame's colour at its left.
class CTearOffFrame : public QWidget
{
    Q_OBJECT

public:
    CTearOffFrame();

    // Adds Tear Off to the view's commands.
    static void Register(CKestrelView *pView);
    // A new window with the view's text, font and document title, shown.
    static CTearOffFrame *TearOff(CKestrelView *pView);

    QPlainTextEdit *Edit() const { return m_wndEdit; }

    static constexpr int kStripWidth = 20;

protected:
    void resizeEvent(QResizeEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    QPlainTextEdit *m_wndEdit;
    QFont m_font;
    bool m_bHasFont = false;
};
