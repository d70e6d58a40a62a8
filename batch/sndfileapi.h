// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

// The library's types and constants only: its functions are reached through sndfileApi().
#include <sndfile.h>

namespace batch {

// The functions of libsndfile that the batch calls, from the library loaded when they are first asked for
// rather than at every start of the program: with the decoders it brings along (FLAC, Vorbis, Opus, Ogg,
// MPEG audio) it costs each start about a millisecond of processor time, though only a run needs it. Each
// member holds the library's function of the same name, so that a call reads as the library's manual
// writes it: api->sf_open_fd(fd, SFM_READ, &info, SF_FALSE).
struct SndfileApi {
    decltype(&::sf_open) sf_open;
    decltype(&::sf_open_fd) sf_open_fd;
    decltype(&::sf_close) sf_close;
    decltype(&::sf_error) sf_error;
    decltype(&::sf_strerror) sf_strerror;
    decltype(&::sf_command) sf_command;
    decltype(&::sf_get_string) sf_get_string;
    decltype(&::sf_seek) sf_seek;
    decltype(&::sf_read_short) sf_read_short;
    decltype(&::sf_readf_short) sf_readf_short;
    decltype(&::sf_readf_int) sf_readf_int;
    decltype(&::sf_readf_float) sf_readf_float;
    decltype(&::sf_readf_double) sf_readf_double;
};

// The library, loaded at the first call and kept until the program ends; nullptr when it cannot be loaded
// or lacks one of the functions, and then sndfileLoadError() says why. Later calls cost a test.
const SndfileApi *sndfileApi();
QString sndfileLoadError();

} // namespace batch
