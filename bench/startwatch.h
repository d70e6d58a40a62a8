// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QApplication>
#include <QTimer>
#include <QWindow>

#include <chrono>
#include <cstdio>

// The application object of the two programs bench_startup starts. It prints the steady clock once the
// first window has been exposed and painted, then ends the event loop.
class StartWatch : public QApplication {
public:
    using QApplication::QApplication;

    static long long nowNanos()
    {
        return std::chrono::duration_cast<std::chrono::nanoseconds>(
                   std::chrono::steady_clock::now().time_since_epoch())
            .count();
    }

    bool notify(QObject *receiver, QEvent *event) override
    {
        const bool handled = QApplication::notify(receiver, event);
        if (!m_seen && event->type() == QEvent::Expose) {
            const auto *window = qobject_cast<QWindow *>(receiver);
            if (window && window->isExposed()) {
                m_seen = true; // painted by now: a widget window paints while it handles its exposure
                std::printf("exposed %lld\n", nowNanos());
                std::fflush(stdout);
                QTimer::singleShot(0, this, &QCoreApplication::quit);
            }
        }
        return handled;
    }

private:
    bool m_seen = false;
};
