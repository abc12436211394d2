#pragma once

#include <QImage>
#include <QProcess>
#include <QRect>
#include <QString>
#include <QStringList>

// An X server of the test's own (Xvfb on a display number it picks itself) with the
// openbox window manager on it, and the
// xdotool and ImageMagick commands that act on it as a user would: keys, typing and
// clicks go through the X server's input, screenshots come from the screen.
class CXDesktop
{
public:
    explicit CXDesktop(const QString &strShotDir);
    ~CXDesktop();
    CXDesktop(const CXDesktop &) = delete;
    CXDesktop &operator=(const CXDesktop &) = delete;

    // The tools this needs, missing from the machine; empty when all are there.
    static QStringList MissingTools();

    // Starts the server; returns why it could not, or an empty text.
    QString Start(const QSize &screen);
    QString Display() const { return m_strDisplay; }
    QSize ScreenSize() const { return m_screen; }

    // Runs xdotool on this display; its standard output, trimmed.
    QString Xdo(const QStringList &args, bool *pOk = nullptr) const;

    // The first visible window whose name matches the regular expression, waiting for
    // it up to the timeout; empty when none appeared.
    QString WaitForWindow(const QString &strNameRegex, int nTimeoutMs = 20000) const;
    QStringList Windows(const QString &strNameRegex) const;
    bool WaitForNoWindow(const QString &strNameRegex, int nTimeoutMs = 20000) const;
    QString WindowName(const QString &strWindow) const;
    // The window's own area, and the area with the window manager's frame around it.
    QRect Geometry(const QString &strWindow) const;
    QRect FrameGeometry(const QString &strWindow) const;

    // Asks the window manager to activate the window, as a click on it would.
    void Focus(const QString &strWindow) const;
    // Key combinations as xdotool names them ("ctrl+s", "Return"), one after the other.
    void Key(const QString &strKeys) const;
    void Type(const QString &strText) const;
    void Click(const QPoint &ptScreen, int nButton = 1) const;
    void DoubleClick(const QPoint &ptScreen) const;

    // A screenshot of the whole screen, kept in the shots folder as NAME.png.
    QImage Shot(const QString &strName) const;

private:
    QString StartWindowManager();
    void MoveMouse(const QPoint &ptScreen) const;

    QString m_strShotDir;
    QProcess m_xvfb;
    QProcess m_wm;
    QString m_strDisplay;
    QSize m_screen;
};
