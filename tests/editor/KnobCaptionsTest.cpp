#include "support/EditorFixture.h"

#include "editor/KnobCaptions.h"

using namespace morsello;

TEST (KnobCaptions, TablesHaveOneRowPerKind)
{
    EXPECT_EQ ((int) kBreadCaptions.size(), kBreadTypeNames.size());
    EXPECT_EQ ((int) kFillingCaptions.size(), kFillingTypeNames.size());
}

// Bread kinds from "granular" on run the filling's engine with its third control fixed, so
// each such row must be the filling row of the same kind without the third caption.
TEST (KnobCaptions, EngineBreadRowsAreFillingRowsWithoutTheirThirdCaption)
{
    for (int fillingType = 0; fillingType < (int) kFillingCaptions.size(); ++fillingType)
    {
        const auto& bread = kBreadCaptions[(size_t) fillingType + toIndex (BreadType::firstEngine)];
        const auto& filling = kFillingCaptions[(size_t) fillingType];
        ASSERT_EQ (kBreadTypeNames[fillingType + toIndex (BreadType::firstEngine)], kFillingTypeNames[fillingType]);

        EXPECT_STREQ (bread[0], filling[0]) << kFillingTypeNames[fillingType];
        EXPECT_STREQ (bread[1], filling[1]) << kFillingTypeNames[fillingType];
        EXPECT_STREQ (bread[2], filling[3]) << kFillingTypeNames[fillingType];
    }
}

TEST (KnobCaptions, LookUpsClampNoSelectionAndIndicesPastTheEnd)
{
    struct Case
    {
        int index;
        const char* breadFirst;
        const char* fillingFirst;
    };

    for (const auto& c : { Case { -1, "cut", "grain" }, Case { -1000, "cut", "grain" }, Case { 0, "cut", "grain" },
                           Case { 3, "time", "rate" }, Case { 8, "size", "rate" }, Case { 9, "frequency", "rate" },
                           Case { 12, "rate", "rate" }, Case { 13, "rate", "rate" }, Case { 1 << 30, "rate", "rate" } })
    {
        EXPECT_STREQ (breadCaptionsFor (c.index)[0], c.breadFirst) << c.index;
        EXPECT_STREQ (fillingCaptionsFor (c.index)[0], c.fillingFirst) << c.index;
    }

    EXPECT_STREQ (breadCaptionsFor (13)[1], "depth");
    EXPECT_STREQ (fillingCaptionsFor (9)[2], "stereo");
}

TEST_F (EditorTest, MenusWithoutSelectionCaptionTheFirstRow)
{
    processor.setParameterValue ("breadType", 10.0f);
    processor.setParameterValue ("fillingType", 6.0f);

    access->bread1Box.setText ({}, juce::sendNotificationSync);
    access->fillingBox.setText ({}, juce::sendNotificationSync);

    for (int i = 0; i < 3; ++i)
    {
        EXPECT_EQ (access->leftCaptions[(size_t) i].getText(), kBreadCaptions[0][(size_t) i]);
        EXPECT_EQ (access->rightCaptions[(size_t) i].getText(), kBreadCaptions[0][(size_t) i]);
    }

    for (int j = 0; j < 4; ++j)
        EXPECT_EQ (access->fillCaptions[(size_t) j].getText(), kFillingCaptions[0][(size_t) j]);
}
