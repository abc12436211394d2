#pragma once

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QPointer>
#include <QStringList>
#include <QTimer>

#include <functional>

// Answers every message box that opens while it lives, and keeps their texts.
class CMessageBoxAnswerer : public QObject
{
public:
    explicit CMessageBoxAnswerer(QMessageBox::StandardButton button = QMessageBox::Ok)
        : m_button(button)
    {
        m_timer.setInterval(10);
        connect(&m_timer, &QTimer::timeout, this, [this] {
            auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
            if (!box || !box->isVisible())
                return;
            texts << box->text();
            if (QAbstractButton *b = box->button(m_button))
                b->click();
            else
                box->reject();
        });
        m_timer.start();
    }

    QStringList texts;

private:
    QMessageBox::StandardButton m_button;
    QTimer m_timer;
};

// Runs `action` once on the first visible modal dialog of type T.
template <typename T>
void WhenModal(QObject *context, std::function<void(T *)> action)
{
    auto *timer = new QTimer(context);
    timer->setInterval(10);
    QObject::connect(timer, &QTimer::timeout, context, [timer, action] {
        auto *dlg = qobject_cast<T *>(QApplication::activeModalWidget());
        if (!dlg || !dlg->isVisible())
            return;
        timer->stop();
        timer->deleteLater();
        action(dlg);
    });
    timer->start();
}
