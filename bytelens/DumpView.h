#pragma once

#include <QAbstractScrollArea>

#include <cstdint>
#include <memory>

class CDumpSource;
class QRect;

// The read-only listing box. It draws only the lines on screen, formatted from the
// source when they are shown, so a listing of millions of lines scrolls at once. Text
// is selected with the mouse or Shift and the arrow keys and copied as the listing's
// own characters, "\r\n" line ends included.
class CDumpView : public QAbstractScrollArea
{
    Q_OBJECT

public:
    explicit CDumpView(QWidget *parent = nullptr);
    ~CDumpView() override;

    void SetSource(std::shared_ptr<CDumpSource> source);
    std::shared_ptr<CDumpSource> Source() const { return m_pSource; }

    // The whole listing or the selection, as shown.
    QString Text() const;
    QString SelectedText() const;
    bool HasSelection() const { return m_anchor != m_caret; }
    void SelectAll();
    void Copy();
    uint64_t FirstVisibleLine() const { return m_nFirstLine; }
    // Where the character at (line, column) is drawn, in viewport coordinates; outside
    // the viewport when it is scrolled out of sight.
    QRect CellRect(uint64_t nLine, int nCol) const;

    // Copying more than this many characters is refused, as the clipboard would hold
    // gigabytes.
    static constexpr qint64 kMaxCopyChars = qint64(256) << 20;

signals:
    void CopyRefused();

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    struct CPos
    {
        uint64_t nLine = 0;
        int nCol = 0;
        bool operator==(const CPos &o) const { return nLine == o.nLine && nCol == o.nCol; }
        bool operator!=(const CPos &o) const { return !(*this == o); }
        bool operator<(const CPos &o) const { return nLine < o.nLine || (nLine == o.nLine && nCol < o.nCol); }
    };

    uint64_t LineCount() const;
    int VisibleLines() const;
    CPos HitTest(const QPoint &point) const;
    void MoveCaret(CPos pos, bool bExtend);
    void EnsureCaretVisible();
    void UpdateScrollBars();
    uint64_t MaxFirstLine() const;
    void SetFirstLine(uint64_t nLine);
    void OnVerticalScroll(int nValue);
    QByteArray RangeBytes(CPos from, CPos to) const;

    std::shared_ptr<CDumpSource> m_pSource;
    CPos m_anchor;
    CPos m_caret;
    int m_nCharWidth = 8;
    int m_nLineHeight = 14;
    // The vertical scroll bar counts in int, a listing's lines in 64 bits: past 2^31
    // lines one step of the bar is several lines, and the first line shown is kept here.
    uint64_t m_nFirstLine = 0;
    uint64_t m_nLinesPerStep = 1;
    bool m_bSettingScrollBar = false;
};
