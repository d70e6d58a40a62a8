#include "batch/commandline.h"

#include "platform/process.h"
#include "settings/keys.h"

#include <QRegularExpression>

#include <utility>

namespace batch {

namespace {

const QChar kSeparator = QLatin1Char('/');
const QLatin1String kWav("WAV");

// The last three characters; a shorter text is taken whole.
QString lastThreeUpper(const QString &text) { return text.right(3).toUpper(); }

Mp3Naming refuse(const QString &message)
{
    Mp3Naming result;
    result.refusal = Mp3NameRefusal{message};
    return result;
}

// characters: the tested ones (at most three), upper-cased.
Mp3Naming refuseExtension(const QString &characters)
{
    return refuse(characters + QLatin1String(" is not a valid extension."));
}

} // namespace

EncodePreset MakeEncodePreset(EncodePreset::Kind kind, const QString &customText)
{
    switch (kind) {
    case EncodePreset::Kind::P128:
        return {kind, kParam128, settings::keys::kCode128};
    case EncodePreset::Kind::VBR:
        return {kind, kParamVBR, settings::keys::kCodeVbr};
    case EncodePreset::Kind::P256:
        return {kind, kParam256, settings::keys::kCode256};
    case EncodePreset::Kind::Custom:
        break;
    }
    return {EncodePreset::Kind::Custom, QLatin1Char(' ') + customText + QLatin1Char(' '),
            settings::keys::kCodeCustom};
}

std::optional<EncodePreset> ChooseEncodePreset(bool opt128, bool optVar, bool Opt256, bool optCustom,
                                               const QString &customText,
                                               const std::function<void(const EncodePreset &)> &eachOn)
{
    std::optional<EncodePreset> chosen;
    const std::pair<bool, EncodePreset::Kind> buttons[] = {{opt128, EncodePreset::Kind::P128},
                                                           {optVar, EncodePreset::Kind::VBR},
                                                           {Opt256, EncodePreset::Kind::P256},
                                                           {optCustom, EncodePreset::Kind::Custom}};
    for (const auto &[on, kind] : buttons) {
        if (!on)
            continue;
        chosen = MakeEncodePreset(kind, customText);
        if (eachOn)
            eachOn(*chosen);
    }
    return chosen;
}

QString NormalizeOutFolder(const QString &folder)
{
    if (folder.endsWith(kSeparator))
        return folder;
    return folder + kSeparator;
}

Mp3Naming MakeMp3Name(const QString &rowText, const QString &strOutFolder)
{
    const bool besideSource = strOutFolder == QString(kSeparator);

    // Beside the source the whole row is tested before anything else, so a row
    // too short to hold a name is refused with its own last characters.
    if (besideSource) {
        const QString tested = lastThreeUpper(rowText);
        if (tested != kWav)
            return refuseExtension(tested);
    }

    // The file name is everything after the last separator. A leading separator
    // counts: "/a.wav" is a file in the root folder.
    const qsizetype sep = rowText.lastIndexOf(kSeparator);
    if (sep < 0) {
        return refuse(QLatin1String("Not a full path to a file: ") + rowText);
    }
    const QString fileName = rowText.mid(sep + 1);

    const QString tested = lastThreeUpper(fileName);
    if (tested != kWav)
        return refuseExtension(tested);

    // The extension is three letters but four characters are cut off; a name
    // that is only those three letters has nothing left to cut into.
    if (fileName.size() < 4) {
        return refuse(QLatin1String("The file name ") + fileName
                      + QLatin1String(" has nothing before its extension."));
    }

    Mp3Naming result;
    result.strMp3Name = fileName.chopped(4) + QLatin1String(".mp3");
    result.strMp3Path = besideSource ? rowText.chopped(4) + QLatin1String(".mp3")
                                     : strOutFolder + result.strMp3Name;

    // Each path goes between double quotes on the encoder's command line, with
    // nothing escaped: a quote inside one would end it early and hand the rest
    // of the name to the encoder as options.
    if (rowText.contains(QLatin1Char('"'))) {
        return refuse(QLatin1String("A path with a double quote cannot be passed to the encoder: ")
                      + rowText);
    }
    if (result.strMp3Path.contains(QLatin1Char('"'))) {
        return refuse(QLatin1String("An output folder with a double quote cannot be passed to the encoder: ")
                      + strOutFolder);
    }
    // A zero character ends an argument on its way to the encoder, which would
    // then read or write a file of a shorter name: no file has one in its name.
    for (const QString &path : {rowText, strOutFolder}) {
        if (path.contains(QChar(0))) {
            return refuse(QLatin1String("A path with a zero character cannot be passed to the encoder: ")
                          + QString(path).replace(QChar(0), QLatin1String("\\0")));
        }
    }
    return result;
}

QString BuildCommandLine(const QString &strCommandBase, const QString &rowText, const QString &strMp3Path)
{
    return strCommandBase + QLatin1String(" \"") + rowText + QLatin1String("\" \"") + strMp3Path
           + QLatin1Char('"');
}

bool asksForRawInput(const QString &strParams)
{
    static const QRegularExpression kNumber(QStringLiteral("^\\s*[-+]?\\.?\\d"));
    const QStringList arguments = platform::splitArguments(strParams);
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString &argument = arguments.at(i);
        if (argument.size() < 2 || argument[0] != u'-' || argument[1] == u'-')
            continue;
        for (qsizetype at = 1; at < argument.size(); ++at) {
            const QChar option = argument[at];
            if (option == u'r')
                return true;
            const bool anyValue = QStringView(u"meX").contains(option);
            if (!anyValue && !QStringView(u"bBVqs").contains(option))
                continue;
            const bool inArgument = at + 1 < argument.size();
            const QString value = inArgument ? argument.mid(at + 1) : arguments.value(i + 1);
            if (anyValue || kNumber.match(value).hasMatch()) {
                i += inArgument ? 0 : 1;
                break;
            }
        }
    }
    return false;
}

} // namespace batch
