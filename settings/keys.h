// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QLatin1String>

// The names in the settings file, written once for every part of the program
// and its tests. Sections and keys match without regard to case in the file.
namespace settings::keys {

inline constexpr QLatin1String kPaths("PATHS");
inline constexpr QLatin1String kSourcePath("Source Path");
inline constexpr QLatin1String kDestinationPath("Destination Path");
// Read as "LAME"; the configuration window writes it as "Lame", the same entry.
inline constexpr QLatin1String kLame("LAME");
inline constexpr QLatin1String kLameAsWritten("Lame");

inline constexpr QLatin1String kSettings("SETTINGS");
inline constexpr QLatin1String kDefaultEncoding("Default Encoding");

inline constexpr QLatin1String kCustom("CUSTOM");
inline constexpr QLatin1String kParameters("Parameters");

// The codes stored under "Default Encoding", one per preset.
inline constexpr QLatin1String kCode128("1");
inline constexpr QLatin1String kCodeVbr("2");
inline constexpr QLatin1String kCode256("3");
inline constexpr QLatin1String kCodeCustom("4");

} // namespace settings::keys
