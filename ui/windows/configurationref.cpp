// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/windows/configurationref.h"

#include "ui/windows/configuration.h"

#include <QCoreApplication>

namespace ui {

ConfigurationRef::~ConfigurationRef()
{
    // Widgets cannot outlive the application object; without one there is
    // nothing left to destroy safely.
    if (m_window && QCoreApplication::instance())
        delete m_window.data();
}

ConfigurationRef &ConfigurationRef::program()
{
    static ConfigurationRef reference;
    return reference;
}

Configuration *ConfigurationRef::loaded()
{
    if (m_window)
        return m_window;
    auto *window = new Configuration;
    // Closed by "Exit", from its title bar or by unloadAndRelease: from then on
    // it is on its way to destruction, and the next use loads a new window.
    QObject::connect(window, &Configuration::unloaded, window, [this, window] {
        if (m_window == window)
            m_window.clear();
    });
    m_window = window;
    window->Form_Load();
    return window;
}

Configuration *ConfigurationRef::window() const { return m_window.data(); }

QString ConfigurationRef::lamePath() { return loaded()->lamePath(); }

void ConfigurationRef::unloadAndRelease()
{
    if (Configuration *window = m_window) {
        m_window.clear();
        window->close(); // destroys itself once control is back in the event loop
    }
}

void ConfigurationRef::show()
{
    Configuration *window = loaded();
    window->show();
    window->raise();
    window->activateWindow();
}

} // namespace ui
