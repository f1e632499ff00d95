// Message boxes, modal dialogs and the two ways of ending: after a termination request every
// box and dialog answers "cancelled" at once without being shown; a user action's exception
// ends up in an error box.
#include <gtest/gtest.h>

#include <QDialog>

#include "platform/Exception.h"
#include "platform/MessageBox.h"
#include "platform/Termination.h"

using namespace platform;

namespace {

struct Hooks {
    QStringList shown;
    int modalRuns = 0;
    Hooks() {
        setMessageHandler([this](const MessageRequest& r) {
            shown << r.text;
            return MsgResult::Yes;
        });
        setModalHandler([this](QDialog&) {
            ++modalRuns;
            return int(QDialog::Accepted);
        });
        setTerminationHandlers([] {}, nullptr);
    }
    ~Hooks() {
        setMessageHandler(nullptr);
        setModalHandler(nullptr);
        setTerminationHandlers(nullptr, nullptr);
        resetTerminationState();
    }
};

}  // namespace

TEST(MessageBox, AfterATerminationRequestBoxesAndDialogsAreCancelledUnseen) {
    Hooks hooks;
    QDialog dialog;
    EXPECT_TRUE(askYesNo(nullptr, "before"));
    EXPECT_EQ(runModal(dialog), QDialog::Accepted);

    requestTermination();
    EXPECT_TRUE(terminationRequested());
    EXPECT_FALSE(askYesNo(nullptr, "after"));
    EXPECT_EQ(showMessage(nullptr, {{}, "after", MsgType::Error, MsgButtons::Ok, MsgResult::Ok}),
              MsgResult::Cancel);
    EXPECT_EQ(runModal(dialog), QDialog::Rejected);
    EXPECT_EQ(hooks.shown, QStringList{"before"});
    EXPECT_EQ(hooks.modalRuns, 1);
}

TEST(MessageBox, GuardActionShowsTheExceptionAndCarriesOn) {
    Hooks hooks;
    guardAction(nullptr, [] { throw ERegistryException("Failed to set data for 'H1'"); });
    guardAction(nullptr, [] { throw std::runtime_error("plain"); });
    bool ran = false;
    guardAction(nullptr, [&] { ran = true; });
    EXPECT_TRUE(ran);
    EXPECT_EQ(hooks.shown, (QStringList{"Failed to set data for 'H1'", "plain"}));
}
