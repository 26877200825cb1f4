// Scans the music library in the folder given and prints the songs found
// and the seconds the scan took.
//   library_scan <folder>
#include "platform/musiclibrary/MPMediaLibrary.h"

#include <QCoreApplication>
#include <QTemporaryDir>
#include <chrono>
#include <cstdio>

using namespace quorvel;

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <music folder>\n", argv[0]);
        return 2;
    }
    QTemporaryDir noDemo;
    qputenv("QUORVEL_MUSIC", argv[1]);
    qputenv("QUORVEL_DEMO_DIR", noDemo.path().toUtf8());
    auto& library = MPMediaLibrary::defaultMediaLibrary();
    const auto start = std::chrono::steady_clock::now();
    library.beginScan();
    library.waitForScan();
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const auto items = library.items();
    std::printf("%zu songs in %.3f s\n", items.size(), seconds);
    std::printf("seconds=%.6f\n", seconds);
    return items.empty() ? 1 : 0;
}
