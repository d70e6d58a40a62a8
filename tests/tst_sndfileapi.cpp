// SPDX-License-Identifier: GPL-3.0-or-later
// libsndfile, loaded at its first use and not before.
// This program links neither the library nor the test support (which writes files with it).
#include "batch/sndfileapi.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QtEndian>

using batch::SndfileApi;

namespace {

bool sndfileInMemory()
{
    QFile maps(QStringLiteral("/proc/self/maps"));
    return maps.open(QIODevice::ReadOnly) && maps.readAll().contains("/libsndfile.so");
}

constexpr qint16 kSamples[] = {1000, -1000, 2000, -2000};

// A 16-bit mono PCM WAV file at 8 kHz holding kSamples.
QByteArray toneWav()
{
    const auto le = [](auto value) {
        QByteArray bytes(sizeof value, '\0');
        qToLittleEndian(value, bytes.data());
        return bytes;
    };
    QByteArray data;
    for (qint16 sample : kSamples)
        data += le(sample);
    return "RIFF" + le(quint32(36 + data.size())) + "WAVEfmt " + le(quint32(16)) + le(quint16(1))
           + le(quint16(1)) + le(quint32(8000)) + le(quint32(16000)) + le(quint16(2)) + le(quint16(16))
           + "data" + le(quint32(data.size())) + data;
}

} // namespace

class TestSndfileApi : public QObject {
    Q_OBJECT

private slots:
    // The program asks for the library only when a run checks its first source.
    void libraryIsLoadedAtItsFirstUseOnly()
    {
        QVERIFY(!sndfileInMemory());
        const SndfileApi *api = batch::sndfileApi();
        QVERIFY2(api, qPrintable(batch::sndfileLoadError()));
        QVERIFY(sndfileInMemory());
        QCOMPARE(batch::sndfileApi(), api);
    }

    // Through sf_open_fd, as the batch opens a source it holds open; each function is the library's own
    // (a call through a wrong one reads wrong samples, or crashes).
    void functionsReadARealFile()
    {
        const SndfileApi *api = batch::sndfileApi();
        QVERIFY2(api, qPrintable(batch::sndfileLoadError()));
        QTemporaryDir dir;
        QFile file(dir.filePath(QStringLiteral("tone.wav")));
        QVERIFY(file.open(QIODevice::ReadWrite) && file.write(toneWav()) > 0 && file.seek(0));
        SF_INFO info{};
        SNDFILE *sound = api->sf_open_fd(file.handle(), SFM_READ, &info, SF_FALSE);
        QVERIFY2(sound, api->sf_strerror(nullptr));
        QCOMPARE(info.frames, sf_count_t(std::size(kSamples)));
        QCOMPARE(api->sf_seek(sound, 2, SEEK_SET), 2);
        qint16 samples[2]{};
        QCOMPARE(api->sf_readf_short(sound, samples, 2), 2);
        QCOMPARE(samples[1], kSamples[3]);
        float fractions[2]{};
        QCOMPARE(api->sf_seek(sound, 0, SEEK_SET), 0);
        QCOMPARE(api->sf_readf_float(sound, fractions, 2), 2);
        QCOMPARE(fractions[1], kSamples[1] / 32768.f);
        QCOMPARE(api->sf_error(sound), SF_ERR_NO_ERROR);
        QCOMPARE(api->sf_close(sound), 0);
    }
};

QTEST_GUILESS_MAIN(TestSndfileApi)
#include "tst_sndfileapi.moc"
