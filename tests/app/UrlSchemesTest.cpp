#include <gtest/gtest.h>

#include "app/UrlSchemes.h"

TEST(UrlSchemes, BothLocalSchemesAreSecureLocalAndOpenToCors)
{
    const QList<QWebEngineUrlScheme> schemes = folvan::app::localUrlSchemes();
    ASSERT_EQ(schemes.size(), 2);
    EXPECT_EQ(schemes[0].name(), QByteArray("folvan-reflow"));
    EXPECT_EQ(schemes[1].name(), QByteArray("folvan-book"));
    for (const auto &scheme : schemes) {
        EXPECT_TRUE(scheme.flags() & QWebEngineUrlScheme::SecureScheme);
        EXPECT_TRUE(scheme.flags() & QWebEngineUrlScheme::LocalAccessAllowed);
        EXPECT_TRUE(scheme.flags() & QWebEngineUrlScheme::CorsEnabled);
    }
}
