// How long the main window takes to swallow the largest drop the list can hold,
// and to empty it again. Each round drops 32767 file paths onto the list of the
// real, shown window (enter, move and drop delivered to its window as the
// platform delivers them) and then presses Remove all. It prints the medians and
// the fastest rounds of:
//   drop            the drop event alone
//   drop + paint    the drop, the list's layout and one full repaint of the window
//   remove all      the click alone
//   remove + paint  the click and one full repaint
//
//   bench_drop [rounds]     (default 7; runs offscreen unless told otherwise)
#include "platform/profile.h"
#include "settings/location.h"
#include "ui/configurationref.h"
#include "ui/frmmain.h"
#include "ui/messagebox.h"

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
#include <memory>

namespace {

constexpr int Rows = 32767;

double median(QList<double> values)
{
    std::sort(values.begin(), values.end());
    const qsizetype n = values.size();
    return n % 2 ? values.at(n / 2) : (values.at(n / 2 - 1) + values.at(n / 2)) / 2;
}

double fastest(const QList<double> &values) { return *std::min_element(values.cbegin(), values.cend()); }

double millis(const QElapsedTimer &clock) { return static_cast<double>(clock.nsecsElapsed()) / 1e6; }

void print(const char *what, const QList<double> &values, double goal)
{
    std::printf("%-16s median %8.1f ms   fastest %8.1f ms   goal %6.0f ms   %s\n", what, median(values),
                fastest(values), goal, median(values) <= goal ? "met" : "MISSED");
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
    ui::RecordedMessageBoxes boxes;

    QList<QUrl> urls;
    urls.reserve(Rows);
    for (int i = 0; i < Rows; ++i)
        urls.append(
            QUrl::fromLocalFile(QStringLiteral("/home/user/Music/Recordings %1/take %2.wav").arg(i / 100).arg(i)));

    int failures = 0;
    {
        ui::ConfigurationRef configuration;
        auto window = std::make_unique<frmMain>(configuration);
        window->Form_Load();
        QApplication::processEvents();
        auto *list = window->findChild<QListWidget *>(QStringLiteral("lstWavefiles"));
        auto *removeAll = window->findChild<QPushButton *>(QStringLiteral("cmdClearWav"));
        QWindow *handle = window->windowHandle();
        const QPoint onList = list->mapTo(window.get(), list->rect().center());
        constexpr Qt::DropActions offered = Qt::CopyAction | Qt::MoveAction | Qt::LinkAction;

        QList<double> drop, dropPaint, remove, removePaint;
        for (int round = 0; round < rounds; ++round) {
            // A fresh offer each round, as each drag brings its own.
            QMimeData data;
            data.setUrls(urls);
            QDragEnterEvent enter(onList, offered, &data, Qt::LeftButton, Qt::NoModifier);
            QApplication::sendEvent(handle, &enter);
            QDragMoveEvent move(onList, offered, &data, Qt::LeftButton, Qt::NoModifier);
            QApplication::sendEvent(handle, &move);

            QElapsedTimer clock;
            clock.start();
            QDropEvent dropped(QPointF(onList), offered, &data, Qt::LeftButton, Qt::NoModifier);
            QApplication::sendEvent(handle, &dropped);
            drop << millis(clock);
            QApplication::processEvents();
            window->repaint();
            dropPaint << millis(clock);
            if (list->count() != Rows) {
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

        std::printf("%d rounds, %d paths per drop\n", rounds, Rows);
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
