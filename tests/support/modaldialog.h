#ifndef TESTS_MODALDIALOG_H
#define TESTS_MODALDIALOG_H

#include <QApplication>
#include <QTimer>

#include <functional>

// Runs `act` on the modal dialog of type T once its exec() is up.
template <typename T>
void whenModal(QObject *context, std::function<void(T *)> act)
{
    auto *timer = new QTimer(context);
    timer->setInterval(10);
    QObject::connect(timer, &QTimer::timeout, context, [timer, act] {
        if (auto *dialog = qobject_cast<T *>(QApplication::activeModalWidget())) {
            timer->stop();
            timer->deleteLater();
            act(dialog);
        }
    });
    timer->start();
}

#endif // TESTS_MODALDIALOG_H
