// SPDX-License-Identifier: GPL-3.0-or-later
// Shows the main window in its idle look, as it stands after start-up, and saves
// a picture of it. Run by scripts/screenshot.sh; not a test.
//
//   purlwave_windowshot OUTPUT.png [--busy | --configuration] [-style NAME]
//
// --busy shows the look during a run instead, with the longest status texts;
// --configuration shows the configuration window; Qt's -style shows either in
// another style, as the program itself does.
#include "batch/mainview.h"
#include "platform/profile.h"
#include "settings/keys.h"
#include "settings/location.h"
#include "ui/layout.h"
#include "ui/windows/configuration.h"
#include "ui/windows/configurationref.h"
#include "ui/windows/frmmain.h"

#include <QApplication>
#include <QLineEdit>
#include <QListWidget>
#include <QRadioButton>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <QWindow>

#include <cstdio>

using namespace batch;

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Purlwave"));
    const QStringList args = QApplication::arguments();
    if (args.size() < 2) {
        std::fprintf(stderr, "usage: purlwave_windowshot OUTPUT.png [--busy | --configuration]\n");
        return 2;
    }
    const bool busy = args.contains(QStringLiteral("--busy"));

    // The program lives in a folder of its own for the picture, so that no settings
    // file of the user's is touched.
    QTemporaryDir folder;
    settings::setProgramFolderForTesting(folder.path());
    platform::WritePrivateProfileString(settings::keys::kPaths, settings::keys::kLame,
                                        QStringLiteral("/usr/bin/lame"), settings::settingsFilePath());
    ui::keepTextsWholeInFixedWindows(); // as the program's start does
    ui::ConfigurationRef config;
    ui::frmMain window(config);
    // The real load: the new settings file's defaults, the idle lamps, Cancel off.
    window.Form_Load();

    auto *list = window.findChild<QListWidget *>(QStringLiteral("lstWavefiles"));
    for (const char *row : {"/home/ann/Music/Harbour Lights.wav", "/home/ann/Music/Tide Pool (live).wav",
                            "/home/ann/Music/Undertow.wav"})
        list->addItem(QString::fromUtf8(row));
    window.findChild<QRadioButton *>(QStringLiteral("optVar"))->setChecked(true);
    window.findChild<QLineEdit *>(QStringLiteral("txtOutPath"))
        ->setText(QStringLiteral("/home/ann/Music/Encoded"));

    if (busy) {
        window.setLampColour(Lamp::shpReady, colours::ReadyDim);
        window.setLampColour(Lamp::shpWait, colours::WaitLit);
        window.setLampColour(Lamp::shpRecord, colours::RecordLit);
        window.setEncodeEnabled(false);
        window.setCancelEnabled(true);
        window.selectRow(1);
        window.setActivityColour(colours::TextWorking);
        window.setActivityText(QStringLiteral("Encoding track Tide Pool (live).mp3 (2/3)"));
        window.setProgressText(QStringLiteral("1234kbytes"));
    }

    window.show();
    QWidget *shown = &window;
    if (args.contains(QStringLiteral("--configuration"))) {
        config.show();
        shown = config.window();
    }
    if (!QTest::qWaitForWindowExposed(shown))
        return 1;
    // Under a real X server the picture is taken from the screen, so it shows what
    // the server drew; elsewhere the window renders itself.
    QPixmap picture;
    if (QGuiApplication::platformName() == QLatin1String("xcb"))
        picture = shown->screen()->grabWindow(shown->winId());
    if (picture.isNull())
        picture = shown->grab();
    if (!picture.save(args.at(1))) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(args.at(1)));
        return 1;
    }
    return 0;
}
