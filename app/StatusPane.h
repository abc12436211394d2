#pragma once

#include <QLabel>

// A status bar pane as wide as the widest text it will show, so that it neither
// spills over its frame nor changes width as its text changes. Every digit of the
// sample stands for any digit: the pane is measured with the widest digit of its
// font, now and after any change of font.
class CStatusPane : public QLabel
{
    Q_OBJECT

public:
    explicit CStatusPane(const QString &strWidestSample, QWidget *parent = nullptr);

    // The sample with each digit replaced by the widest digit of the pane's font.
    QString WidestText() const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

private:
    int SampleWidth() const;

    QString m_strSample;
};
