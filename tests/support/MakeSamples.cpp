// quorvel_make_samples: writes the fuzzers' seed corpora or the hostile corpus.
//
//   quorvel_make_samples seeds DIR     DIR/<target>/ for every fuzz target
//   quorvel_make_samples hostile DIR   the broken files and their MANIFEST
//                                      (tests/data/hostile is made this way)
#include "HostileCorpus.h"
#include "SeedCorpus.h"

#include <QCoreApplication>
#include <QTemporaryDir>
#include <cstdio>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() != 3 || (args[1] != QLatin1String("seeds") && args[1] != QLatin1String("hostile"))) {
        std::fprintf(stderr, "usage: quorvel_make_samples seeds|hostile DIR\n");
        return 2;
    }
    QTemporaryDir scratch;
    const bool ok = args[1] == QLatin1String("seeds") ? quorvel::samples::writeSeedCorpora(args[2], scratch.path())
                                                      : quorvel::samples::writeHostileCorpus(args[2], scratch.path());
    if (!ok) {
        std::fprintf(stderr, "quorvel_make_samples: could not write %s\n", qPrintable(args[2]));
        return 1;
    }
    return 0;
}
