// Masks its own arguments as the program does, then prints what the process
// list shows of it: /proc/self/cmdline, byte for byte.
#include "video/CaptureSource.h"

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>

int main(int argc, char* argv[]) {
    vigilux::video::CaptureSource::maskPasswordsInArguments(argc, argv);
    std::ifstream in("/proc/self/cmdline", std::ios::binary);
    const std::string shown{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    std::fwrite(shown.data(), 1, shown.size(), stdout);
    return 0;
}
