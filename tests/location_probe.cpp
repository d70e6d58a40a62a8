// SPDX-License-Identifier: GPL-3.0-or-later

// Starts the settings as the main window's load does, from wherever this file is
// copied to, then saves one change of the output folder as typing would. Prints
// what it met, one "name<TAB>value" line each, for a test that runs it as
// another user.

#include "settings/cinifile.h"
#include "settings/location.h"
#include "settings/savedchoices.h"

#include <QCoreApplication>
#include <QTextStream>

#include <utility>

using namespace settings;

namespace {
struct ProbeView : ChoicesView {
    explicit ProbeView(SavedChoices &choices) : choices(choices) {}
    void setOutPathText(const QString &text) override
    {
        if (std::exchange(outPath, text) != text)
            choices.txtOutPath_Change(text);
    }
    void setCustomText(const QString &) override {}
    void setPresetButton(int) override {}

    SavedChoices &choices;
    QString outPath;
};
} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("Purlwave"));
    Cinifile ini;
    SavedChoices choices(ini);
    ProbeView view(choices);
    const StartKind kind = choices.restoreOrCreate(view);
    QTextStream out(stdout);
    out << "file\t" << ini.inifile() << '\n'
        << "start\t" << (kind == StartKind::Restored ? "restored" : "first run") << '\n'
        << "outPath\t" << view.outPath << '\n';
    view.setOutPathText(QStringLiteral("/typed/later"));
    return 0;
}
