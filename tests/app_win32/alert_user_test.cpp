// AlertUser's error policy: outside the settings dialog the first message is
// shown and ends the resident program, later ones only end it; inside the
// dialog every message is shown and the dialog stays unless an error came first.
#include "app_test_support.h"

#include "app/alert_user.h"
#include "app/app_state.h"
#include "resources/messages.h"

namespace {

class AlertUserTest : public ShellTest {};

TEST_F(AlertUserTest, EachRowOfThePolicy)
{
    ProbeWindow resident("AlertTestResident");
    ProbeWindow dialog("AlertTestDialog");
    const struct {
        const char* row;
        bool dialogOpen;
        int errorsBefore;
        bool boxShown;
        int errorsAfter;
        bool residentClosed;
    } rows[] = {
        {"outside the dialog, first message", false, 0, true, 1, true},
        {"outside the dialog, after an error", false, 1, false, 1, true},
        {"inside the dialog, no earlier error", true, 0, true, 0, false},
        {"inside the dialog, after an error", true, 1, true, 1, true},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.row);
        recordedBoxes.clear();
        resident.closes = 0;
        appState.residentWindow = resident.handle();
        appState.messageOwner = r.dialogOpen ? dialog.handle() : resident.handle();
        appState.uiFlags = r.dialogOpen ? static_cast<unsigned>(DialogOpen) : 0u;
        appState.errorCount = r.errorsBefore;

        AlertUser("text of the message");

        ASSERT_EQ(recordedBoxes.size(), r.boxShown ? 1u : 0u);
        if (r.boxShown) {
            EXPECT_EQ(recordedBoxes[0].owner, appState.messageOwner);
            EXPECT_EQ(recordedBoxes[0].text, "text of the message");
            EXPECT_EQ(recordedBoxes[0].caption, MessageText(MSG_TITLE));
            EXPECT_EQ(recordedBoxes[0].type, static_cast<UINT>(MB_OK));
        }
        EXPECT_EQ(appState.errorCount, r.errorsAfter);
        EXPECT_EQ(resident.closes, r.residentClosed ? 1 : 0);
        // The flags belong to the dialog and the About box, never to AlertUser.
        EXPECT_EQ(appState.uiFlags, r.dialogOpen ? static_cast<unsigned>(DialogOpen) : 0u);
    }
}

TEST_F(AlertUserTest, OnlyTheFirstErrorOfARunIsShown)
{
    ProbeWindow resident("AlertTestResident");
    appState.residentWindow = resident.handle();
    appState.messageOwner = resident.handle();
    appState.uiFlags = AboutOpen;  // the About box is not the settings dialog

    AlertUser("first");
    AlertUser("second");
    AlertUser("third");

    ASSERT_EQ(recordedBoxes.size(), 1u);
    EXPECT_EQ(recordedBoxes[0].text, "first");
    EXPECT_EQ(appState.errorCount, 1);
    EXPECT_EQ(resident.closes, 3);
}

TEST_F(AlertUserTest, StartUpMessagesHaveNoOwnerAndCountAsTheFirstError)
{
    // No window exists yet: the box has no owner and nothing is closed.
    AlertUser("start-up failure");
    ASSERT_EQ(recordedBoxes.size(), 1u);
    EXPECT_EQ(recordedBoxes[0].owner, nullptr);
    EXPECT_EQ(appState.errorCount, 1);

    // A later failure outside the dialog shows nothing.
    AlertUser("later failure");
    EXPECT_EQ(recordedBoxes.size(), 1u);

    // Inside the start-up dialog every message is shown and nothing breaks,
    // whatever the count, as there is no resident window to close.
    appState.uiFlags = DialogOpen;
    AlertUser("warning in the dialog");
    ASSERT_EQ(recordedBoxes.size(), 2u);
    EXPECT_EQ(recordedBoxes[1].text, "warning in the dialog");
    EXPECT_EQ(appState.errorCount, 1);
}

}  // namespace
