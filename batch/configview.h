#pragma once

#include <QString>

namespace batch {

// The configuration-window operations that the batch uses. Reading the path
// loads the window, hidden, when it is not loaded; its load fills the path box
// from the settings file.
class ConfigView {
public:
    virtual ~ConfigView() = default;

    // The text of txtLamePath.
    virtual QString lamePath() = 0;
    // Closes the window if it is open, destroys it and clears the reference to it.
    virtual void unloadAndRelease() = 0;
};

} // namespace batch
