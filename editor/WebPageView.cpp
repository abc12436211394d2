#include "editor/WebPageView.h"

#include <QUrl>

CWebPageView::CWebPageView(const QString &strPath, QWidget *parent)
    : QWebEngineView(parent)
    , m_strPath(strPath)
{
    setObjectName(QStringLiteral("WebPageView"));
}

void CWebPageView::OnInitialUpdate() { load(QUrl::fromLocalFile(m_strPath)); }
