#pragma once

#include "batch/shell.h"

#include <QString>
#include <QtGlobal>

#include <functional>

class MainView;
class ConfigView;
class Cinifile;

// The main window's working variables for batch runs. They live as long as the
// window and carry over from one run to the next.
struct BatchState {
    qint32 lngStopRequest = 0; // 10: the user asked to stop
    QString strMp3Name;
    QString strOutFolder;
    QString strLamePath;
    QString strParamVBR;
    QString strParam128;
    QString strParam256;
    QString strParamCustom;
    QString strParams; // kept from the previous run when no preset button is on
    qint16 intTrack = 0;
    QString strCommandBase;
    QString strCommand;
    QString strMp3Path;
};

// One batch run is one call of cmdEncode_Click. It keeps the window alive by
// letting pending events run (doEvents), so cmdCancel_Click and every other
// handler of the window may run nested inside it.
class BatchRun {
public:
    BatchRun(MainView &view, ConfigView &config, Cinifile &settings, std::function<void()> doEvents);

    void cmdEncode_Click();
    void cmdCancel_Click();

    // For a window that is going away during a run: the running encoder is
    // killed, its incomplete output removed, and nothing more is encoded. The
    // run unwinds without touching the view again.
    void abandon();

    bool isRunning() const { return m_running; }
    const BatchState &state() const { return m_state; }

private:
    MainView &m_view;
    ConfigView &m_config;
    Cinifile &m_settings;
    std::function<void()> m_doEvents;
    BatchState m_state;
    bool m_running = false;
    bool m_abandoned = false;
};
