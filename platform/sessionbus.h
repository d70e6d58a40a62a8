// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

namespace platform {

// A connection of its own to the desktop session's message bus, opened at its first use. Where the
// session has no bus, that first use finds out once, silently, and every later use costs a test of a flag.
class SessionBus {
public:
    SessionBus() = default;
    ~SessionBus();
    SessionBus(const SessionBus &) = delete;
    SessionBus &operator=(const SessionBus &) = delete;

    // The name under which the open connection is known to the bus library; empty without a bus.
    QString connectionName();

private:
    enum class State { Unopened, Open, Absent };
    State m_state = State::Unopened;
    QString m_name;
};

// Qt's bridge to screen readers opens its own connection to the session bus the first time a control
// changes, and waits there for the bus to answer: inside the construction of the first window. Called
// before that, this opens the same connection on a thread of its own, so that the window is built
// meanwhile and the bridge finds the connection open. It sends nothing: what goes over the connection is
// Qt's. Without a session bus the thread finds none, silently. The application waits for the thread, if
// it is still at work, when it quits.
void openSessionBusAheadOfQt();

} // namespace platform
