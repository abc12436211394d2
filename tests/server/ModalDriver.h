#pragma once

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QPointer>
#include <QStringList>
#include <QTimer>
#include <QWidget>

#include <functional>

// Answers the modal windows a command opens, one after the other, as a user would.
// Each step names the window it expects (its objectName, "AfxMessageBox" for a
// message box) and what to do with it. A window nobody expected is rejected and
// reported in Failures().
class CModalDriver : public QObject
{
public:
    using Action = std::function<void(QWidget *)>;

    CModalDriver()
    {
        m_timer.setInterval(20);
        connect(&m_timer, &QTimer::timeout, this, &CModalDriver::Poll);
        m_timer.start();
    }

    void Expect(const QString &strName, Action action) { m_steps.append({strName, std::move(action)}); }

    // Message box: remembers its text and answers it: OK or Yes when bAccept, else
    // No or Cancel.
    // A button given first is pressed when the box has it.
    void ExpectMessage(bool bAccept = true, QMessageBox::StandardButton preferred = QMessageBox::NoButton)
    {
        Expect(QStringLiteral("AfxMessageBox"), [this, bAccept, preferred](QWidget *w) {
            auto *box = static_cast<QMessageBox *>(w);
            m_messages << box->text();
            QList<QMessageBox::StandardButton> order =
                bAccept ? QList<QMessageBox::StandardButton>{QMessageBox::Ok, QMessageBox::Yes}
                        : QList<QMessageBox::StandardButton>{QMessageBox::No, QMessageBox::Cancel};
            if (preferred != QMessageBox::NoButton)
                order.prepend(preferred);
            for (QMessageBox::StandardButton button : order) {
                if (QAbstractButton *b = box->button(button)) {
                    b->click();
                    return;
                }
            }
            box->reject();
        });
    }

    bool Done() const { return m_steps.isEmpty(); }
    const QStringList &Messages() const { return m_messages; }
    const QStringList &Failures() const { return m_failures; }
    const QStringList &Seen() const { return m_seen; }

    static void Click(QWidget *w, const QString &strButton)
    {
        if (auto *b = w->findChild<QAbstractButton *>(strButton))
            b->click();
    }

private:
    struct Step
    {
        QString strName;
        Action action;
    };

    void Poll()
    {
        QWidget *w = QApplication::activeModalWidget();
        if (!w || !w->isVisible())
            return;
        // A window answered already is active again for a moment when the box it
        // opened closes and it is still finishing: that is no new step.
        for (const QPointer<QWidget> &seen : std::as_const(m_handled)) {
            if (seen == w)
                return;
        }
        m_handled.append(w);
        QString name = w->objectName();
        m_seen << name;
        if (m_steps.isEmpty() || m_steps.first().strName != name) {
            QString text = name;
            if (auto *box = qobject_cast<QMessageBox *>(w))
                text += QStringLiteral(": ") + box->text();
            m_failures << QStringLiteral("unexpected window %1").arg(text);
            QTimer::singleShot(0, w, [w] {
                if (auto *d = qobject_cast<QDialog *>(w))
                    d->reject();
            });
            return;
        }
        Step step = m_steps.takeFirst();
        QPointer<QWidget> target = w;
        QTimer::singleShot(0, this, [step, target] {
            if (target)
                step.action(target);
        });
    }

    QTimer m_timer;
    QList<Step> m_steps;
    QList<QPointer<QWidget>> m_handled;
    QStringList m_messages;
    QStringList m_failures;
    QStringList m_seen;
};
