// SPDX-License-Identifier: GPL-3.0-or-later
// A stand-in for the encoder, built for the tests only. It takes its behaviour from its own options, the
// way a custom parameter string would pass them, and treats its last argument as the output file, as the
// real encoder does. It writes there silent MPEG-1 Layer III frames (128 kbps, 44.1 kHz, 417 bytes a
// frame), so that a file of a frame or more reads as audio. Anything else (such as -h) is ignored.
//   --bytes N, --chunk K, --interval MS: write N bytes (default 0: an empty file), K at a time (default:
//       all at once), sleeping MS milliseconds before each chunk; --delay MS: sleep before opening the file
//   --no-output: create no output file; --hang: after writing, sleep until killed
//   --stderr TEXT, --stderr-lines N, --stderr-file F: write TEXT and a newline, then N numbered lines
//       ("error line 1"...), then the bytes of file F to standard error
//   --exit C: exit with code C (default 0); --signal S: end by raising signal S instead
#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <map>
#include <string>
#include <thread>
#include <vector>

namespace {
void sleepFor(long long milliseconds)
{
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}
} // namespace

int main(int argc, char **argv)
{
    long long bytes = 0, chunk = 0, interval = 0, delay = 0, errorLineCount = 0, exitCode = 0,
              signalNumber = 0;
    const std::map<std::string, long long *> numbers{{"--bytes", &bytes},
                                                     {"--chunk", &chunk},
                                                     {"--interval", &interval},
                                                     {"--delay", &delay},
                                                     {"--exit", &exitCode},
                                                     {"--signal", &signalNumber},
                                                     {"--stderr-lines", &errorLineCount}};
    bool noOutput = false, hang = false;
    std::string errorFile;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (numbers.contains(arg) && hasValue)
            *numbers.at(arg) = std::atoll(argv[++i]);
        else if (arg == "--stderr" && hasValue)
            std::cerr << argv[++i] << '\n';
        else if (arg == "--stderr-file" && hasValue)
            errorFile = argv[++i];
        noOutput = noOutput || arg == "--no-output";
        hang = hang || arg == "--hang";
    }

    for (long long n = 1; n <= errorLineCount; ++n)
        std::cerr << "error line " << n << '\n';
    if (!errorFile.empty())
        std::cerr << std::ifstream(errorFile, std::ios::binary).rdbuf();
    std::cerr.flush();

    sleepFor(delay);
    if (!noOutput && argc > 1) {
        std::FILE *out = std::fopen(argv[argc - 1], "wb");
        if (!out)
            return 2;
        std::vector<char> frame(417, '\0');
        frame[0] = '\xFF';
        frame[1] = '\xFB';
        frame[2] = '\x90';
        frame[3] = '\x64';
        for (long long written = 0; written < bytes;) {
            if (interval > 0)
                sleepFor(interval);
            const long long end = chunk > 0 ? std::min(bytes, written + chunk) : bytes;
            for (; written < end; ++written)
                std::fputc(frame[static_cast<size_t>(written % 417)], out);
            std::fflush(out);
        }
        std::fclose(out);
    }

    while (hang)
        sleepFor(1000);
    if (signalNumber != 0) {
        std::signal(static_cast<int>(signalNumber), SIG_DFL);
        std::raise(static_cast<int>(signalNumber));
    }
    return static_cast<int>(exitCode);
}
