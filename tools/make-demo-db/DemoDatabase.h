// The demo database of the stand-in data server: people (pList) with their pass codes (pMark) in
// the stored form the sign-in reads, devices, event codes and an event log over fixed months.
// The content is a pure function of the options (a seeded generator, a fixed calendar), except
// for the validity periods, which are fixed years that cover the present for a long time.
// Thread contract: BuildDemoDatabase may run on any thread; it touches only the file it writes.
#pragma once

#include <QString>

namespace demodb {

struct DemoOptions {
    int events = 300000;  // rows of the event log
    int people = 2000;    // people besides the demo operators
};

// Writes the database to path (replaced atomically: a temporary file beside it, then a rename).
// False with a message on failure; the old file, if any, is then left as it was.
bool BuildDemoDatabase(const QString& path, const DemoOptions& options, QString* error);

}  // namespace demodb
