// Entry point of every test executable: a QApplication on the offscreen platform (widget tests
// need one; the rest do not mind) and a private registry and runtime folder for the whole run, so
// no test ever touches the developer's own settings.
#include <gtest/gtest.h>

#include <QApplication>
#include <QTemporaryDir>

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM",
            qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    QTemporaryDir sandbox;
    qputenv("VELLUMAR_REGISTRY_DIR", (sandbox.path() + "/registry").toUtf8());
    qputenv("XDG_RUNTIME_DIR", (sandbox.path() + "/run").toUtf8());
    qputenv("VELLUMAR_HOME", (sandbox.path() + "/app").toUtf8());
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
