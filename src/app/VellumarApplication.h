// The application object. Its one addition is the last line of defence for user actions: an
// exception that escapes an event handler is shown in an error box and the program keeps
// running, instead of unwinding through Qt.
// Thread contract: UI thread.
#pragma once

#include <QApplication>

class VellumarApplication : public QApplication {
public:
    VellumarApplication(int& argc, char** argv);
    bool notify(QObject* receiver, QEvent* event) override;
};
