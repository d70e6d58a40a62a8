// How long the main window takes to follow a drag of the largest file list it can hold, to swallow it,
// and to empty it again. Each round drags 32767 file paths over the list of the real, shown window
// (enter, ten moves, drop, each delivered to its window as the platform delivers them) and then presses
// Remove all. The paths are offered as another program offers them: a text/uri-list handed over afresh,
// 1.9 MB each time it is asked for, as the X server does. It prints the medians and the fastest rounds of:
//   drag, CPU       processor time of the whole drag: enter, the ten moves and the drop
//   moves, CPU      the part before the drop: enter and the ten moves
//   list reads      how often the drag's file list was asked for, before the drop and in all: offscreen
//                   only the reading is paid, while a real drag also copies the list from the X server
//                   each time
//   drop            the drop event alone
//   drop + paint    the drop, the list's layout and one full repaint of the window
//   remove all      the click alone
//   remove + paint  the click and one full repaint
//
//   bench_drop [rounds]     (default 7; runs offscreen unless told otherwise)
#include "dialogstandins.h"
#include "platform/profile.h"
#include "settings/location.h"
#include "ui/windows/configurationref.h"
#include "ui/windows/frmmain.h"

#include "benchsupport.h"

#include <QApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QElapsedTimer>
#include <QListWidget>
#include <QMimeData>
#include <QPushButton>
#include <QTemporaryDir>
#include <QUrl>
#include <QWindow>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <memory>

namespace {

constexpr int kRows = 32767;
constexpr int kMoves = 10;
constexpr Qt::DropActions kOffered = Qt::CopyAction | Qt::MoveAction | Qt::LinkAction;

// A drag's data as it comes from another program: only the names of its formats are at hand, and each
// request for the file list copies the whole list across, as a request to the X server does.
class OfferedFiles : public QMimeData {
public:
    explicit OfferedFiles(QByteArray uriList) : m_uriList(std::move(uriList)) {}

    QStringList formats() const override { return {QStringLiteral("text/uri-list")}; }

    mutable int reads = 0;

protected:
    QVariant retrieveData(const QString &mimeType, QMetaType) const override
    {
        if (mimeType != QLatin1String("text/uri-list"))
            return {};
        ++reads;
        return QByteArray(m_uriList.constData(), m_uriList.size()); // a copy, as a transfer makes one
    }

private:
    QByteArray m_uriList;
};

double millis(const QElapsedTimer &clock) { return static_cast<double>(clock.nsecsElapsed()) / 1e6; }

double cpuMillisSince(std::clock_t start)
{
    return 1000.0 * static_cast<double>(std::clock() - start) / CLOCKS_PER_SEC;
}

void print(const char *what, const QList<double> &values, double goal)
{
    const double median = testsupport::median(values);
    std::printf("%-16s median %8.1f ms   fastest %8.1f ms   goal %6.0f ms   %s\n", what, median,
                testsupport::fastest(values), goal, median <= goal ? "met" : "MISSED");
}

} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Purlwave"));
    const int rounds = argc > 1 ? std::max(1, QByteArray(argv[1]).toInt()) : 7;

    QTemporaryDir folder;
    if (!folder.isValid())
        return 1;
    settings::setProgramFolderForTesting(folder.path());
    testsupport::RecordedMessageBoxes boxes;

    QByteArray uriList;
    for (int i = 0; i < kRows; ++i) {
        const QString path = QStringLiteral("/home/user/Music/Recordings %1/take %2.wav").arg(i / 100).arg(i);
        uriList += QUrl::fromLocalFile(path).toEncoded() + "\r\n";
    }

    int failures = 0;
    {
        ui::ConfigurationRef configuration;
        auto window = std::make_unique<ui::frmMain>(configuration);
        window->Form_Load();
        QApplication::processEvents();
        auto *list = window->findChild<QListWidget *>(QStringLiteral("lstWavefiles"));
        auto *removeAll = window->findChild<QPushButton *>(QStringLiteral("cmdClearWav"));
        QWindow *handle = window->windowHandle();
        // Down the middle of the list, as a hand moves a drag in.
        const auto onList = [&](int step) {
            return list->mapTo(window.get(),
                               QPoint(list->width() / 2, list->height() * (step + 1) / (kMoves + 2)));
        };

        QList<double> dragCpu, movesCpu, drop, dropPaint, remove, removePaint;
        int readsBeforeDrop = 0;
        int readsInAll = 0;
        for (int round = 0; round < rounds; ++round) {
            // A fresh offer each round, as each drag brings its own.
            OfferedFiles data(uriList);
            const std::clock_t dragStart = std::clock();
            QDragEnterEvent enter(onList(0), kOffered, &data, Qt::LeftButton, Qt::NoModifier);
            QApplication::sendEvent(handle, &enter);
            for (int step = 1; step <= kMoves; ++step) {
                QDragMoveEvent move(onList(step), kOffered, &data, Qt::LeftButton, Qt::NoModifier);
                QApplication::sendEvent(handle, &move);
                if (!move.isAccepted()) {
                    std::fprintf(stderr, "round %d: move %d refused\n", round, step);
                    ++failures;
                }
            }
            movesCpu << cpuMillisSince(dragStart);
            readsBeforeDrop = data.reads;

            QElapsedTimer clock;
            clock.start();
            QDropEvent dropped(QPointF(onList(kMoves)), kOffered, &data, Qt::LeftButton, Qt::NoModifier);
            QApplication::sendEvent(handle, &dropped);
            drop << millis(clock);
            dragCpu << cpuMillisSince(dragStart);
            readsInAll = data.reads;
            QApplication::processEvents();
            window->repaint();
            dropPaint << millis(clock);
            if (list->count() != kRows) {
                std::fprintf(stderr, "round %d: %d rows after the drop\n", round, list->count());
                ++failures;
            }

            clock.restart();
            removeAll->click();
            remove << millis(clock);
            QApplication::processEvents();
            window->repaint();
            removePaint << millis(clock);
            if (list->count() != 0) {
                std::fprintf(stderr, "round %d: %d rows after Remove all\n", round, list->count());
                ++failures;
            }
        }

        std::printf(
            "%d rounds, %d paths per drag (%.1f MB as text/uri-list), %d moves before the drop, on %s\n",
            rounds, kRows, uriList.size() / 1e6, kMoves, qPrintable(QApplication::platformName()));
        print("drag, CPU", dragCpu, 300);
        print("moves, CPU", movesCpu, 300);
        // Each read of a real drag's list is a transfer from the X server: the moves need none, the drop one.
        std::printf("%-16s %d before the drop, %d in all (last round)   goal 0 and 1   %s\n", "list reads",
                    readsBeforeDrop, readsInAll, readsBeforeDrop == 0 && readsInAll == 1 ? "met" : "MISSED");
        print("drop", drop, 300);
        print("drop + paint", dropPaint, 300);
        print("remove all", remove, 50);
        print("remove + paint", removePaint, 50);
    }
    if (!boxes.boxes.isEmpty()) {
        std::fprintf(stderr, "unexpected box: %s\n", qPrintable(boxes.boxes.first().text));
        ++failures;
    }
    settings::setProgramFolderForTesting(QString());
    return failures == 0 ? 0 : 1;
}
