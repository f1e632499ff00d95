// Shared set-up of the application tests: a private sandbox (registry, runtime and application
// folders), the demo catalog in place, message boxes answered and recorded instead of shown,
// and termination requests and process exits caught.
#pragma once

#include <gtest/gtest.h>

#include <QFile>
#include <QStringList>
#include <memory>
#include <optional>
#include <vector>

#include "TestEnv.h"
#include "app/LanguagesData.h"
#include "app/Main.h"
#include "app/ZarinLangData.h"
#include "platform/MessageBox.h"
#include "platform/Termination.h"

struct ProcessExit {
    int code;
};

class AppTest : public ::testing::Test {
protected:
    void SetUp() override {
        QFile::copy(VELLUMAR_SOURCE_DIR "/resources/demo/Reports.XML",
                    sandbox.appDir() + "Reports.XML");
        platform::setMessageHandler([this](const platform::MessageRequest& r) {
            messages.append(r.text);
            return r.buttons == platform::MsgButtons::Ok ? platform::MsgResult::Ok : answer;
        });
        platform::setModalHandler([](QDialog&) { return 0; });
        platform::setTerminationHandlers([] {}, [](int code) { throw ProcessExit{code}; });
    }
    void TearDown() override {
        platform::setMessageHandler(nullptr);
        platform::setModalHandler(nullptr);
        platform::setTerminationHandlers(nullptr, nullptr);
        platform::resetTerminationState();
    }

    // The modules as the program entry creates them, up to the main window.
    std::unique_ptr<TMainForm> startProgram(QStringList arguments = {"vellumar", "/notshell"}) {
        zarinLang = std::make_unique<TZarinLang>();
        languages = std::make_unique<TLanguages>();
        return std::make_unique<TMainForm>(arguments);
    }

    // The instance lock is held until the process ends; a later "start" in the same test gets a
    // runtime folder of its own so that it is a first instance again.
    void freshRuntimeFolder() {
        runtimeFolders.push_back(std::make_unique<QTemporaryDir>());
        runtimeEnv.reset();  // restore before the next one saves the value to restore
        runtimeEnv =
            std::make_unique<testenv::ScopedEnv>("XDG_RUNTIME_DIR", runtimeFolders.back()->path());
    }

    testenv::Sandbox sandbox;
    std::vector<std::unique_ptr<QTemporaryDir>> runtimeFolders;
    std::unique_ptr<testenv::ScopedEnv> runtimeEnv;
    QStringList messages;
    platform::MsgResult answer = platform::MsgResult::Yes;
    std::unique_ptr<TZarinLang> zarinLang;
    std::unique_ptr<TLanguages> languages;
};
