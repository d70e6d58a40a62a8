// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/sessionbus.h"

#include <QAtomicInteger>
#include <QCoreApplication>
#include <QDBusConnection>
#include <QThread>

namespace platform {

SessionBus::~SessionBus()
{
    if (m_state == State::Open)
        QDBusConnection::disconnectFromBus(m_name);
}

QString SessionBus::connectionName()
{
    if (m_state == State::Unopened) {
        static QAtomicInteger<quint64> opened;
        m_name = QStringLiteral("purlwave-session-%1").arg(opened.fetchAndAddRelaxed(1));
        // The address the session names is read afresh for each connection: the bus library would keep
        // the first one it read for the life of the process. Without one, the library looks where the
        // desktop keeps its bus.
        const QString address = qEnvironmentVariable("DBUS_SESSION_BUS_ADDRESS");
        const QDBusConnection bus = address.isEmpty()
                                        ? QDBusConnection::connectToBus(QDBusConnection::SessionBus, m_name)
                                        : QDBusConnection::connectToBus(address, m_name);
        m_state = bus.isConnected() ? State::Open : State::Absent;
        if (m_state == State::Absent)
            QDBusConnection::disconnectFromBus(m_name);
    }
    return m_state == State::Open ? m_name : QString();
}

void openSessionBusAheadOfQt()
{
    QCoreApplication *application = QCoreApplication::instance();
    QThread *opener = QThread::create([] { QDBusConnection::sessionBus(); });
    opener->setParent(application);
    QObject::connect(application, &QCoreApplication::aboutToQuit, opener, [opener] { opener->wait(); });
    opener->start();
}

} // namespace platform
