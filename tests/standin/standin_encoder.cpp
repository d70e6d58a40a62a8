// SPDX-License-Identifier: GPL-3.0-or-later
// A stand-in for the encoder, built for the tests only. It takes its behaviour
// from its own options, the way a custom parameter string would pass them, and
// treats its last argument as the output file, as the real encoder does. What it
// writes there is a run of silent MPEG-1 Layer III frame headers (128 kbps,
// 44.1 kHz, 417 bytes a frame), so that a file of a frame or more reads as audio:
//
//   --bytes N        write N bytes to the output file (default 0: an empty file)
//   --chunk K        write them K bytes at a time (default: all at once)
//   --interval MS    sleep MS milliseconds before each chunk
//   --delay MS       sleep MS milliseconds before opening the output file
//   --no-output      do not create the output file at all
//   --stderr TEXT    write TEXT and a newline to standard error first
//   --stderr-lines N then write N numbered lines ("error line 1"...) to it
//   --stderr-file F  then copy the bytes of file F to it, as they are
//   --stdout N       write N bytes to standard output
//   --exit C         exit with code C (default 0)
//   --signal S       end by raising signal S instead of exiting
//   --hang           after writing, sleep until killed
//
// Anything else (encoder options such as -h) is ignored.
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <algorithm>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

int main(int argc, char **argv)
{
    long long bytes = 0;
    long long chunk = -1;
    long interval = 0;
    long delay = 0;
    bool noOutput = false;
    bool hang = false;
    int exitCode = 0;
    int signalNumber = 0;
    std::vector<std::string> errorLines;
    std::string errorFile;
    long errorLineCount = 0;
    long long stdoutBytes = 0;

    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (arg == "--bytes" && hasValue) bytes = std::atoll(argv[++i]);
        else if (arg == "--chunk" && hasValue) chunk = std::atoll(argv[++i]);
        else if (arg == "--interval" && hasValue) interval = std::atol(argv[++i]);
        else if (arg == "--delay" && hasValue) delay = std::atol(argv[++i]);
        else if (arg == "--exit" && hasValue) exitCode = std::atoi(argv[++i]);
        else if (arg == "--signal" && hasValue) signalNumber = std::atoi(argv[++i]);
        else if (arg == "--stderr" && hasValue) errorLines.emplace_back(argv[++i]);
        else if (arg == "--stderr-lines" && hasValue) errorLineCount = std::atol(argv[++i]);
        else if (arg == "--stderr-file" && hasValue) errorFile = argv[++i];
        else if (arg == "--stdout" && hasValue) stdoutBytes = std::atoll(argv[++i]);
        else if (arg == "--no-output") noOutput = true;
        else if (arg == "--hang") hang = true;
    }

    for (const std::string &line : errorLines)
        std::fprintf(stderr, "%s\n", line.c_str());
    for (long n = 1; n <= errorLineCount; ++n)
        std::fprintf(stderr, "error line %ld\n", n);
    if (!errorFile.empty()) {
        std::ifstream in(errorFile, std::ios::binary);
        const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        std::fwrite(bytes.data(), 1, bytes.size(), stderr);
    }
    std::fflush(stderr);
    for (long long n = 0; n < stdoutBytes; ++n)
        std::fputc('o', stdout);
    std::fflush(stdout);

    std::this_thread::sleep_for(std::chrono::milliseconds(delay));
    if (!noOutput && argc > 1) {
        std::FILE *out = std::fopen(argv[argc - 1], "wb");
        if (!out)
            return 2;
        if (chunk <= 0)
            chunk = bytes > 0 ? bytes : 1;
        constexpr long long kFrameBytes = 417;
        std::vector<char> frames(static_cast<size_t>(kFrameBytes), '\0');
        frames[0] = '\xFF', frames[1] = '\xFB', frames[2] = '\x90', frames[3] = '\x64';
        std::vector<char> block(static_cast<size_t>(chunk));
        for (long long written = 0; written < bytes;) {
            if (interval > 0)
                std::this_thread::sleep_for(std::chrono::milliseconds(interval));
            const long long n = std::min(chunk, bytes - written);
            for (long long k = 0; k < n; ++k)
                block[static_cast<size_t>(k)] = frames[static_cast<size_t>((written + k) % kFrameBytes)];
            std::fwrite(block.data(), 1, static_cast<size_t>(n), out);
            std::fflush(out);
            written += n;
        }
        std::fclose(out);
    }

    while (hang)
        std::this_thread::sleep_for(std::chrono::seconds(1));
    if (signalNumber != 0) {
        std::signal(signalNumber, SIG_DFL);
        std::raise(signalNumber);
    }
    return exitCode;
}
