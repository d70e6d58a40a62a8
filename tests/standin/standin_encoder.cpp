// SPDX-License-Identifier: GPL-3.0-or-later
// A stand-in for the encoder, built for the tests only. It takes its behaviour
// from its own options, the way a custom parameter string would pass them, and
// treats its last argument as the output file, as the real encoder does. It
// writes there silent MPEG-1 Layer III frames (128 kbps, 44.1 kHz, 417 bytes a
// frame), so that a file of a frame or more reads as audio. Anything else (such
// as -h) is ignored.
//   --bytes N, --chunk K, --interval MS: write N bytes (default 0: an empty
//   file), K at a time (default:
//       all at once), sleeping MS milliseconds before each chunk; --delay MS:
//       sleep before opening the file
//   --no-output: create no output file; --hang: after writing, sleep until
//   killed
//   --stderr TEXT, --stderr-lines N, --stderr-file F: write TEXT and a newline,
//   then N numbered lines
//       ("error line 1"...), then the bytes of file F to standard error
//   --exit C: exit with code C (default 0); --signal S: end by raising signal S
//   instead
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

int main(int argc, char **argv)
{
    std::map<std::string, long long> number{{"--bytes", 0},       {"--chunk", 0}, {"--interval", 0},
                                            {"--delay", 0},       {"--exit", 0},  {"--signal", 0},
                                            {"--stderr-lines", 0}};
    std::map<std::string, bool> flag{{"--no-output", false}, {"--hang", false}};
    std::string errorFile;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (number.contains(arg) && hasValue)
            number[arg] = std::atoll(argv[++i]);
        else if (arg == "--stderr" && hasValue)
            std::cerr << argv[++i] << '\n';
        else if (arg == "--stderr-file" && hasValue)
            errorFile = argv[++i];
        else if (flag.contains(arg))
            flag[arg] = true;
    }
    const auto sleep = [](long long ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); };

    for (long long n = 1; n <= number["--stderr-lines"]; ++n)
        std::cerr << "error line " << n << '\n';
    if (!errorFile.empty())
        std::cerr << std::ifstream(errorFile, std::ios::binary).rdbuf();
    std::cerr.flush();

    sleep(number["--delay"]);
    if (!flag["--no-output"] && argc > 1) {
        std::FILE *out = std::fopen(argv[argc - 1], "wb");
        if (!out)
            return 2;
        std::string frame(417, '\0');
        frame.replace(0, 4, "\xFF\xFB\x90\x64");
        const long long bytes = number["--bytes"], chunk = number["--chunk"];
        for (long long written = 0; written < bytes;) {
            sleep(number["--interval"]);
            for (const long long end = chunk > 0 ? std::min(bytes, written + chunk) : bytes; written < end;
                 ++written)
                std::fputc(frame[static_cast<size_t>(written % 417)], out);
            std::fflush(out);
        }
        std::fclose(out);
    }

    while (flag["--hang"])
        sleep(1000);
    if (const int signal = static_cast<int>(number["--signal"]); signal != 0) {
        std::signal(signal, SIG_DFL);
        std::raise(signal);
    }
    return static_cast<int>(number["--exit"]);
}
