// Printing prepared pages: every page on a sheet of its own paper size and orientation, drawn by
// the one renderer over the whole sheet (the layout already holds the margins), copies collated.
// Used by the preview's print command and by anything that prints without showing a window.
//
// Thread contract: call on the thread that owns the printer (normally the UI thread); `progress`
// is called on that thread after each sheet and stops the job when it returns false.
#pragma once

#include <QString>

#include <functional>
#include <vector>

class QPrinter;

namespace reportengine {

class TfrxPreparedPages;

struct PrintJob {
    std::vector<int> Pages;  // 0-based indexes in print order
    int Copies = 1;          // collated; the printer's own copy count is left at one
};

// Returns false with *error set when the printer cannot start or a page cannot be read, and
// false with an empty *error when progress cancelled the job.
bool PrintPreparedPages(QPrinter& printer, const TfrxPreparedPages& pages, const PrintJob& job,
                        const std::function<bool(int sheet)>& progress, QString* error);

}  // namespace reportengine
