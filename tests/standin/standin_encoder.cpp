// SPDX-License-Identifier: GPL-3.0-or-later
// A stand-in encoder for the tests, for what the real one cannot do on demand. Like the real one it takes
// its last argument as the output file, and writes silent 128 kbps frames of 417 bytes there, so that a
// file of a frame or more reads as audio of 26 ms a frame. Options (anything else, such as -h, is ignored):
//   --bytes N (default 0: an empty file), written --chunk K at a time with --interval MS before each;
//   --delay MS before opening the file; --no-output; --hang: after writing, sleep until killed;
//   --stderr TEXT, then --stderr-lines N ("error line 1"...), then --stderr-file F to standard error;
//   --exit C, or --signal S: end by raising signal S.
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
        if (number.contains(arg) && i + 1 < argc)
            number[arg] = std::atoll(argv[++i]);
        else if (arg == "--stderr" && i + 1 < argc)
            std::cerr << argv[++i] << '\n';
        else if (arg == "--stderr-file" && i + 1 < argc)
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
        const long long bytes = number["--bytes"], chunk = number["--chunk"] > 0 ? number["--chunk"] : bytes;
        for (long long written = 0; written < bytes; std::fflush(out)) {
            sleep(number["--interval"]);
            for (const long long end = std::min(bytes, written + chunk); written < end; ++written)
                std::fputc(frame[static_cast<size_t>(written % 417)], out);
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
