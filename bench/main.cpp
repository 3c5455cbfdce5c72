#include "Bench.h"

#include <QGuiApplication>

#include <cstdio>
#include <cstring>

// vigilux-bench [name...]: runs every registered benchmark, or only those named.
int main(int argc, char* argv[]) {
    // Saving draws text, which needs a GUI application; no window is shown.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    int ran = 0;
    for (const auto& c : vigilux::bench::registry()) {
        bool wanted = argc < 2;
        for (int i = 1; i < argc; ++i)
            wanted = wanted || std::strcmp(argv[i], c.name) == 0;
        if (!wanted)
            continue;
        c.run();
        ++ran;
    }
    if (ran == 0)
        std::fprintf(stderr, "vigilux-bench: no benchmark ran\n");
    return ran == 0 ? 1 : 0;
}
