// SPDX-License-Identifier: GPL-3.0-or-later
#include "batch/sndfileapi.h"

#include <QLibrary>

#include <type_traits>

namespace batch {

namespace {

struct LoadedLibrary {
    SndfileApi api{};
    QString error;
};

LoadedLibrary load()
{
    LoadedLibrary loaded;
    // libsndfile.so.1 on Linux. The library stays loaded when this object goes.
    QLibrary library(QStringLiteral("sndfile"), 1);
    if (!library.load()) {
        loaded.error = library.errorString();
        return loaded;
    }
    const auto resolve = [&](auto &function, const char *name) {
        function = reinterpret_cast<std::remove_reference_t<decltype(function)>>(library.resolve(name));
        if (!function && loaded.error.isEmpty())
            loaded.error =
                QStringLiteral("%1 has no function %2").arg(library.fileName(), QLatin1String(name));
    };
#define PURLWAVE_RESOLVE(name) resolve(loaded.api.name, #name)
    PURLWAVE_RESOLVE(sf_open);
    PURLWAVE_RESOLVE(sf_open_fd);
    PURLWAVE_RESOLVE(sf_close);
    PURLWAVE_RESOLVE(sf_error);
    PURLWAVE_RESOLVE(sf_strerror);
    PURLWAVE_RESOLVE(sf_command);
    PURLWAVE_RESOLVE(sf_get_string);
    PURLWAVE_RESOLVE(sf_seek);
    PURLWAVE_RESOLVE(sf_read_short);
    PURLWAVE_RESOLVE(sf_readf_short);
    PURLWAVE_RESOLVE(sf_readf_int);
    PURLWAVE_RESOLVE(sf_readf_float);
    PURLWAVE_RESOLVE(sf_readf_double);
#undef PURLWAVE_RESOLVE
    return loaded;
}

const LoadedLibrary &loadedLibrary()
{
    static const LoadedLibrary library = load();
    return library;
}

} // namespace

const SndfileApi *sndfileApi()
{
    const LoadedLibrary &library = loadedLibrary();
    return library.error.isEmpty() ? &library.api : nullptr;
}

QString sndfileLoadError() { return loadedLibrary().error; }

} // namespace batch
