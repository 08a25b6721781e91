// The view's copy of the settings: every key a settings dialog edits has its field there.
#include <gtest/gtest.h>

#include "settings/SettingKeys.h"
#include "settings/SettingsDialogs.h"
#include "settings/ViewSettings.h"
#include "settings/ViewSettingsFields.h"

namespace kestrel {
namespace {

TEST(ViewSettingsFields, EveryKeyTheDialogsEditHasAFieldOfItsType) {
    ViewSettings v;
    for (SettingsDialogKind kind :
         {SettingsDialogKind::Environment, SettingsDialogKind::Timer, SettingsDialogKind::Sound,
          SettingsDialogKind::UserInterface, SettingsDialogKind::Communicator,
          SettingsDialogKind::Broadcast, SettingsDialogKind::Places}) {
        for (const SettingKey* k : DialogKeys(kind)) {
            SCOPED_TRACE(k->name);
            if (k->type == SettingType::Int) {
                ASSERT_NE(IntField(v, *k), nullptr);
                EXPECT_EQ(StringField(v, *k), nullptr);
            } else {
                ASSERT_NE(StringField(v, *k), nullptr);
            }
        }
    }
    // Each key reaches its own field.
    *IntField(v, key::POPPort) = 1110;
    *StringField(v, key::SoundFile) = "x.wav";
    EXPECT_EQ(v.POPPort, 1110);
    EXPECT_EQ(v.SoundFile, "x.wav");
    EXPECT_EQ(v.NNTPPort, 0);
}

}  // namespace
}  // namespace kestrel
