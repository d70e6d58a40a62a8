#pragma once

#include <QLatin1String>
#include <QList>
#include <QString>

#include <functional>
#include <optional>

namespace batch {

// The text logic of an encoding run: encoder parameters, MP3 names and the
// encoder's command line. Pure functions: no window, no settings file, no disk.

// The three fixed parameter strings. Each begins and ends with one blank.
inline constexpr QLatin1String kParam128(" -h ");
inline constexpr QLatin1String kParamVBR(" -V 1 -b 128 -h -m j -q1 ");
inline constexpr QLatin1String kParam256(" -b 256 -h ");

// One of the four encoding choices: its parameter string, placed into the command
// line unchanged, and its code in the settings file ("Default Encoding").
struct EncodePreset {
    enum class Kind { P128, VBR, P256, Custom };
    Kind kind = Kind::P128;
    QString strParams;
    QString code; // "1" to "4"

    friend bool operator==(const EncodePreset &, const EncodePreset &) = default;
};

// The preset of one button. The custom string is one blank, the box's text
// unchanged (not trimmed), one blank.
EncodePreset MakeEncodePreset(EncodePreset::Kind kind, const QString &customText);

// The buttons are tested in the order opt128, optVar, Opt256, optCustom; the last
// one that reads on wins, none when no button is on. eachOn, when given, hears the
// preset of every button that reads on, in that order: the batch saves each code
// at once, so the last one is left in the settings file.
std::optional<EncodePreset> ChooseEncodePreset(bool opt128, bool optVar, bool Opt256, bool optCustom,
                                               const QString &customText,
                                               const std::function<void(const EncodePreset &)> &eachOn = {});

// The folder text ending in the native separator. An empty text gives "/", which
// means "beside the source".
QString NormalizeOutFolder(const QString &folder);

// Why a row gets no MP3 name: the wrong extension, no folder separator (so no file named), a name that
// is only the letters wav, a double quote (it would end the quoted path on the command line) or a zero
// character (it would end the path on its way to the encoder).
struct Mp3NameRefusal {
    // What the batch shows the user.
    QString message;
};

struct Mp3Naming {
    std::optional<Mp3NameRefusal> refusal;
    QString strMp3Name; // file name only, also shown in the status line
    QString strMp3Path; // where the encoder is told to write

    bool refused() const { return refusal.has_value(); }
};

// Derives the MP3 name and path of one row (the full path of a WAV file). With
// strOutFolder exactly "/" the MP3 goes beside its source, otherwise into the
// folder under the source's name.
Mp3Naming MakeMp3Name(const QString &rowText, const QString &strOutFolder);

// strCommandBase (the encoder path directly followed by the parameter string),
// then a blank and the quoted row text, then a blank and the quoted MP3 path.
// The encoder path is never quoted and nothing inside the quotes is escaped.
QString BuildCommandLine(const QString &strCommandBase, const QString &rowText, const QString &strMp3Path);

// Whether encoder parameters tell the encoder to read its input as bare samples:
// an -r among short options ("-r", "-hr", "-xr"), the parameters split into
// arguments as the runner splits them. A value of a short option is skipped as
// the encoder skips it (-m, -e and -X take any text; -b, -B, -V, -q and -s a
// number, and without one the letters after them are options). Limit: a value of
// a long option that looks like such a cluster ("--tt -r") reads as raw input.
bool asksForRawInput(const QString &strParams);

} // namespace batch
