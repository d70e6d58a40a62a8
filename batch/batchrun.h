#pragma once

#include "batch/mainview.h"
#include "batch/shell.h"
#include "platform/process.h"

#include <QHash>
#include <QList>
#include <QSet>
#include <QString>
#include <QtGlobal>

#include <functional>
#include <memory>

namespace settings {
class Cinifile;
}

namespace batch {

class MainView;
class ConfigView;

// The main window's working variables for batch runs. They live as long as the
// window and carry over from one run to the next.
struct BatchState {
    qint32 lngStopRequest = 0; // 10: the user asked to stop
    QString strMp3Name;
    QString strOutFolder;
    QString strLamePath;
    // The four parameter strings are set at the start of every run and not read
    // again: the chosen preset's string goes to strParams. Kept as the design has them.
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
    // The window caption after a stopped run and after a completed one.
    static QString titleStopped();
    static QString titleCompleted();

    BatchRun(MainView &view, ConfigView &config, settings::Cinifile &settings,
             std::function<void()> doEvents);

    void cmdEncode_Click();
    void cmdCancel_Click();

    // For a window that is going away during a run: the running encoder is
    // killed at once (also from inside the runner's wait), what it wrote
    // removed (an earlier MP3 file stays), and nothing more is encoded. The run unwinds without touching the
    // view again.
    void abandon();

    // For the list's remove commands while a run is under way: rows first to
    // first + count - 1 (as numbered before the removal) have been taken out. The
    // run then goes on with the row that followed the current one. Rows removed
    // at or before the current one leave the later rows their numbers in the
    // status line; rows removed ahead of it shorten the run, and the rows after
    // them count on from the current one. Without this notice the run still never
    // selects past the end of the list, but a row that moves up into the current
    // place is passed over.
    void rowsRemoved(int first, int count);

    bool isRunning() const { return m_running; }
    const BatchState &state() const { return m_state; }

private:
    struct FailedFile {
        QString row;
        QString why;
        QString errorTail;
    };

    void run();
    void walkRows(const QString &strTrackCount);
    void letEventsRun();
    QString overwriteRefusal(const QString &row) const;
    void judgeRow(const QString &row, const ShellResult &result, EncoderRun &encoder);
    void showProgress(double fileShare);
    void returnToIdle(); // Encode on, Cancel off, lamps idle
    void setLampsIdle();
    void endEmptyList();
    void endRefusedRow(const QString &message);
    void endEncoderNotStarted();
    void endStopped();
    void endCompleted();
    void reportFailures();
    static QString listed(const QList<FailedFile> &files);
    void tellEnd(RunOutcome::End end);

    MainView &m_view;
    ConfigView &m_config;
    settings::Cinifile &m_settings;
    std::function<void()> m_doEvents;
    BatchState m_state;
    bool m_running = false;
    bool m_abandoned = false;
    bool m_inRows = false; // between the start of the first row and the end of the run

    // Last row index of this run; lowered when rows of the run are removed.
    int m_lastIndex = -1;
    // Rows removed at or before the current one: added to intTrack + 1 so that the
    // status line keeps counting the rows as they stood at the start.
    int m_removedBefore = 0;
    int m_filesTried = 0;
    QList<FailedFile> m_failures;
    // Rows encoded whole whose MP3 lacks something of the source (tags not carried).
    QList<FailedFile> m_notes;
    // MP3 files this run has written, each with the source it came from, and the
    // sources of the run's rows with their row texts: an MP3 never replaces one.
    QHash<platform::FileIdentity, platform::FileIdentity> m_written;
    QHash<platform::FileIdentity, QString> m_sources;
    // Folders whose leftovers of killed runs this run has removed.
    QSet<QString> m_cleanedFolders;
    // The encoder's run on the current row; abandon() reaches it there.
    std::unique_ptr<EncoderRun> m_encoder;
    bool m_rawInput = false; // the parameters tell the encoder to read raw samples
};

} // namespace batch
