#include "framework/ScintillaAccessibility.h"

#include <Qsci/qsciscintillabase.h>

#include <QAccessibleWidget>
#include <QSet>

namespace {

class CPlainScintillaAccessible : public QAccessibleWidget
{
public:
    explicit CPlainScintillaAccessible(QWidget *widget)
        : QAccessibleWidget(widget, QAccessible::EditableText)
    {
        Live().insert(this);
    }
    ~CPlainScintillaAccessible() override { Live().remove(this); }

    static QSet<CPlainScintillaAccessible *> &Live()
    {
        static QSet<CPlainScintillaAccessible *> live;
        return live;
    }
};

// What the last activation notice said; the platform's own flag may follow it only later.
bool s_bToolListening = false;

QAccessibleInterface *Factory(const QString &, QObject *object)
{
    auto *widget = qobject_cast<QsciScintillaBase *>(object);
    // With a tool listening, QScintilla's own factory answers.
    if (!widget || s_bToolListening || QAccessible::isActive())
        return nullptr;
    return new CPlainScintillaAccessible(widget);
}

class CActivationObserver : public QAccessible::ActivationObserver
{
public:
    void accessibilityActiveChanged(bool bActive) override
    {
        s_bToolListening = bActive;
        if (!bActive)
            return;
        const QSet<CPlainScintillaAccessible *> plain = CPlainScintillaAccessible::Live();
        for (CPlainScintillaAccessible *iface : plain)
            QAccessible::deleteAccessibleInterface(QAccessible::uniqueId(iface));
    }
};

} // namespace

void CScintillaAccessibility::Install()
{
    static bool installed = false;
    if (installed)
        return;
    installed = true;
    QAccessible::installFactory(Factory);
    static CActivationObserver observer;
    QAccessible::installActivationObserver(&observer);
}
