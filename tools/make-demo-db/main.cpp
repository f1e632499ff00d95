// make-demo-db: writes the demo database of the stand-in data server.
//   make-demo-db [--events N] [--people N] FILE
// The same options always give the same file content.
#include "DemoDatabase.h"

#include <QElapsedTimer>
#include <QString>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

const char kUsage[] = "usage: make-demo-db [--events N] [--people N] FILE\n";

bool count(const char* text, int* out) {
    char* end = nullptr;
    const long value = std::strtol(text, &end, 10);
    if (!end || *end || value < 0 || value > 100000000)
        return false;
    *out = int(value);
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    demodb::DemoOptions options;
    const char* file = nullptr;
    for (int i = 1; i < argc; ++i) {
        const char* value = i + 1 < argc ? argv[i + 1] : nullptr;
        if (!std::strcmp(argv[i], "--events") && value && count(value, &options.events)) {
            ++i;
        } else if (!std::strcmp(argv[i], "--people") && value && count(value, &options.people) &&
                   options.people > 0) {
            ++i;
        } else if (argv[i][0] != '-' && !file) {
            file = argv[i];
        } else {
            std::fputs(kUsage, stderr);
            return 2;
        }
    }
    if (!file) {
        std::fputs(kUsage, stderr);
        return 2;
    }
    QElapsedTimer timer;
    timer.start();
    QString error;
    if (!demodb::BuildDemoDatabase(QString::fromLocal8Bit(file), options, &error)) {
        std::fprintf(stderr, "make-demo-db: %s\n", error.toLocal8Bit().constData());
        return 1;
    }
    std::printf("make-demo-db: %s: %d people, %d events in %.2f s\n", file, options.people + 3,
                options.events, double(timer.elapsed()) / 1000.0);
    return 0;
}
