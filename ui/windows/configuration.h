// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "settings/cinifile.h"

#include <QString>
#include <QWidget>

#include <memory>

class QLabel;
class QLineEdit;
class QPushButton;

namespace ui {

// The window where the user sets the path of the encoder program. Every change of
// the path box is written to the settings file at once.
//
// A window object is "loaded" once Form_Load has run on it. Closing it, by "Exit"
// or from its title bar, unloads it: the window destroys itself (WA_DeleteOnClose)
// and the next use makes a new one, whose load reads the path afresh. Use it
// through ConfigurationRef, which keeps the one window there may be.
class Configuration : public QWidget {
    Q_OBJECT

public:
    explicit Configuration(QWidget *parent = nullptr);
    ~Configuration() override;

    // The text of the path box, as the rest of the program sees the encoder path.
    QString lamePath() const;

    // Handlers. Form_Load gives the window its settings object and fills the path
    // box from the file; the change handler needs that object, so nothing changes
    // the box before the load.
    void Form_Load();
    void txtLamePath_Change();
    void cmdSelectlme_Click();
    void cmdQuit_Click();

signals:
    // The window is closing and will be destroyed.
    void unloaded();

protected:
    void closeEvent(QCloseEvent *event) override;
    // Escape closes the window as "Exit" does; Enter presses the focused button.
    void keyPressEvent(QKeyEvent *event) override;

private:
    void writeLamePath(const QString &value);

    // The controls, under the names the window's design gives them.
    QLabel *lblLamepath = nullptr;
    QLineEdit *txtLamePath = nullptr;
    QPushButton *cmdSelectlme = nullptr;
    QPushButton *cmdQuit = nullptr;

    std::unique_ptr<settings::Cinifile> m_ini;
    // Working copies the window's design keeps, though nothing reads them back.
    QString m_strLame;     // the path read at load
    QString m_strFileName; // the file last taken from the dialog
};

} // namespace ui
