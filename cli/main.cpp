#include <QCoreApplication>
#include <cstdio>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    std::fprintf(stdout, "quorvel-cli %s\n", QUORVEL_VERSION);
    return 0;
}
