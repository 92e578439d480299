#pragma once

#include <QApplication>
#include <QTimer>
#include <functional>
#include <memory>

namespace TestSupport {

// Runs fn on the next modal dialog of type T that opens (within a few seconds), from inside its event
// loop; fn must close the dialog. Returns at once; the watch ends with the owner.
template <class T> void WhenModal(QObject* owner, std::function<void(T*)> fn)
{
    auto* timer = new QTimer(owner);
    auto tries = std::make_shared<int>(0);
    QObject::connect(timer, &QTimer::timeout, [timer, tries, fn = std::move(fn)] {
        if (T* dlg = qobject_cast<T*>(QApplication::activeModalWidget()); dlg && dlg->isVisible()) {
            timer->stop();
            timer->deleteLater();
            fn(dlg);
            return;
        }
        if (++*tries > 500) {
            timer->stop();
            timer->deleteLater();
        }
    });
    timer->start(10);
}

} // namespace TestSupport
