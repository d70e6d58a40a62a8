// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "batch/configview.h"

#include <QPointer>
#include <QString>

namespace ui {

class Configuration;

// The program's one reference to the configuration window. Whatever touches the
// window through it (showing it, reading its path box) makes and loads the window
// first when none is loaded, so there is never a second one.
//
// Ending the program: a hidden window never keeps it alive. The program ends when
// its last visible window closes (QApplication::quitOnLastWindowClosed, Qt's
// default), and a hidden window does not count. A window still loaded then,
// shown or hidden, closes and is destroyed as the event loop ends.
class ConfigurationRef final : public batch::ConfigView {
public:
    ConfigurationRef() = default;
    // Destroys a window that is still loaded.
    ~ConfigurationRef() override;
    ConfigurationRef(const ConfigurationRef &) = delete;
    ConfigurationRef &operator=(const ConfigurationRef &) = delete;

    // The reference the whole program uses.
    static ConfigurationRef &program();

    // The text of the window's path box. When no window is loaded, one is made
    // and loaded without being shown; its load fills the box from the settings file.
    QString lamePath() override;

    // Closes the window if it is open and destroys it; the next use loads a new one.
    // Nothing happens when none is loaded.
    void unloadAndRelease() override;

    // Shows the window modeless and without an owner, loading it first if none is
    // loaded, and brings it to the front. Returns at once.
    void show();

    // The loaded window, or nullptr. A window that is closing no longer counts.
    Configuration *window() const;

private:
    Configuration *loaded();

    QPointer<Configuration> m_window;
};

} // namespace ui
