#include "model/ReflowTypography.h"
#include "platform/Preferences.h"
#include "support/TestEnv.h"

#include <gtest/gtest.h>

#include <limits>

using folvan::model::ReflowTypography;

TEST(ReflowTypographyNormalization, NumbersAreClampedAndWrongKindsFallBack)
{
    const auto n = [](const QString &key, const QVariant &value) {
        return ReflowTypography::normalized({{key, value}}).value(key);
    };
    EXPECT_EQ(n("fontSize", 40), 32.0);
    EXPECT_EQ(n("fontSize", 10.0), 14.0);
    EXPECT_EQ(n("fontSize", QStringLiteral("18")), 20.0);
    EXPECT_EQ(n("fontSize", std::numeric_limits<double>::infinity()), 20.0);
    EXPECT_EQ(n("fontSize", std::numeric_limits<double>::quiet_NaN()), 20.0);
    EXPECT_EQ(n("fontSize", true), 20.0);
    EXPECT_EQ(n("width", 1040), 1040.0);
    EXPECT_EQ(n("width", 5000), 1040.0);
    EXPECT_EQ(n("paragraphSpacing", -1), 0.0);
    EXPECT_EQ(n("face", QStringLiteral("Sans")), QStringLiteral("serif"));
    EXPECT_EQ(n("face", QStringLiteral("sans")), QStringLiteral("sans"));
    EXPECT_EQ(n("alignment", QStringLiteral("center")), QStringLiteral("start"));
    EXPECT_EQ(n("alignment", QStringLiteral("justify")), QStringLiteral("justify"));
    EXPECT_EQ(n("indent", QStringLiteral("true")), false);
    EXPECT_EQ(n("indent", true), true);
    // Numbers are handed on as floating-point numbers.
    EXPECT_EQ(n("width", 600).typeId(), QMetaType::Double);
}

TEST(ReflowTypographyNormalization, OtherKeysAreDroppedAndMissingOnesDefault)
{
    const QVariantMap n = ReflowTypography::normalized(
        {{"query", "x"}, {"event", "typography"}, {"token", "t"}, {"leading", 2.0}});
    EXPECT_EQ(n.size(), 7);
    EXPECT_FALSE(n.contains("query"));
    EXPECT_EQ(n.value("leading"), 2.0);
    EXPECT_EQ(ReflowTypography::normalized({}), ReflowTypography::defaults());
}

class ReflowTypographyStorage : public folvan::test::TempHomeTest {
protected:
    QVariant stored(const char *key) const { return prefs->value(QString::fromLatin1(key)); }
    void SetUp() override
    {
        TempHomeTest::SetUp();
        prefs = std::make_unique<folvan::platform::Preferences>(path("prefs.json"));
    }
    std::unique_ptr<folvan::platform::Preferences> prefs;
};

TEST_F(ReflowTypographyStorage, APartialSaveWritesOnlyTheKeysItHolds)
{
    prefs->setValue("folvan.reflowLeading", 2.0);
    prefs->setValue("folvan.reflowWidth", 5000);
    prefs->setValue("folvan.reflowFace", QStringLiteral("bogus"));
    ReflowTypography::save({{"fontSize", 18}, {"event", "typography"}}, *prefs);
    EXPECT_EQ(stored("folvan.reflowFontSize"), 18.0);
    EXPECT_EQ(stored("folvan.reflowLeading"), 2.0);
    EXPECT_EQ(stored("folvan.reflowWidth"), 5000); // read as 1040 until the width changes
    EXPECT_EQ(stored("folvan.reflowFace"), QStringLiteral("bogus"));
    EXPECT_FALSE(prefs->contains("folvan.reflowAlignment"));
    EXPECT_FALSE(prefs->contains("folvan.reflowEvent"));
}

TEST_F(ReflowTypographyStorage, SavingTheDefaultsOverwritesEverythingAndReadingWritesNothing)
{
    prefs->setValue("folvan.reflowFace", QStringLiteral("sans"));
    prefs->setValue("folvan.reflowIndent", true);
    ReflowTypography::save(ReflowTypography::defaults(), *prefs);
    EXPECT_EQ(ReflowTypography::effective(*prefs), ReflowTypography::defaults());

    // Reading the effective set normalizes without writing.
    prefs->remove("folvan.reflowFontSize");
    prefs->setValue("folvan.reflowLeading", 5);
    EXPECT_EQ(ReflowTypography::effective(*prefs).value("leading"), 2.2);
    EXPECT_EQ(stored("folvan.reflowLeading"), 5);
    EXPECT_FALSE(prefs->contains("folvan.reflowFontSize"));
}
