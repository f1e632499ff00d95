// Finding the suite's control shell and posting it a message. The shell listens on a local socket
// named after its window class ("TfrmZarinShell") in runtimeDir(). The exchange is line based,
// UTF-8, one request and one answer per connection:
//   client: "HELLO\n"                         shell: "<its window title>\n"
//   client: "POST <msg> <wParam> <lParam>\n"  shell: "OK\n"
// A shell counts as found when it answers the hello with exactly the expected title.
// Thread contract: blocking calls with short time-outs; any thread, one object per thread.
#pragma once

#include <QString>
#include <cstdint>

namespace platform {

class ControlShellLocator {
public:
    // Socket path of a window class: runtimeDir() + "/" + windowClass.
    static QString socketPath(const QString& windowClass);

    // True when a shell of that class answers with exactly that title.
    static bool findWindow(const QString& windowClass, const QString& title, int timeoutMs = 1000);

    // Posts the message; true when the shell acknowledged it.
    static bool postMessage(const QString& windowClass, quint32 message, quint64 wParam,
                            qint64 lParam, int timeoutMs = 1000);
};

}  // namespace platform
