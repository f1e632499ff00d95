#include "app/VellumarApplication.h"

#include "platform/Exception.h"
#include "platform/MessageBox.h"

VellumarApplication::VellumarApplication(int& argc, char** argv) : QApplication(argc, argv) {
    setApplicationName("Vellumar");
    setOrganizationName("Vellumar");
}

bool VellumarApplication::notify(QObject* receiver, QEvent* event) {
    try {
        return QApplication::notify(receiver, event);
    } catch (const platform::Exception& e) {
        platform::showError(activeWindow(), e.Message());
    } catch (const std::exception& e) {
        platform::showError(activeWindow(), QString::fromUtf8(e.what()));
    }
    return false;
}
