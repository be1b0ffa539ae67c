#include <gtest/gtest.h>

#include "app/WebEngineMemory.h"

#include <QByteArray>
#include <QtGlobal>

namespace {

constexpr const char *kSwitches = "QTWEBENGINE_CHROMIUM_FLAGS";

TEST(WebEngineMemory, TheLowMemorySwitchJoinsTheUsersSwitchesOnce)
{
    const bool had = qEnvironmentVariableIsSet(kSwitches);
    const QByteArray old = qgetenv(kSwitches);

    qunsetenv(kSwitches);
    EXPECT_TRUE(folvan::app::askWebEngineToKeepLittleMemory());
    EXPECT_EQ(qgetenv(kSwitches), QByteArray("--enable-low-end-device-mode"));
    EXPECT_FALSE(folvan::app::askWebEngineToKeepLittleMemory());
    EXPECT_EQ(qgetenv(kSwitches), QByteArray("--enable-low-end-device-mode"));

    // The user's own switches stay, before it.
    qputenv(kSwitches, QByteArrayLiteral("--disable-gpu --enable-low-end-device-mode-x"));
    EXPECT_TRUE(folvan::app::askWebEngineToKeepLittleMemory());
    EXPECT_EQ(qgetenv(kSwitches), QByteArray("--disable-gpu --enable-low-end-device-mode-x --enable-low-end-device-mode"));

    if (had)
        qputenv(kSwitches, old);
    else
        qunsetenv(kSwitches);
}

} // namespace
