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

} // namespace platform
