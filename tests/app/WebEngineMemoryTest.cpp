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

// The page processes' allocator setting joins the user's own settings
// once, and one the user chose stays as it is.
TEST(WebEngineMemory, TheAllocatorThresholdJoinsTheUsersTunablesOnce)
{
    constexpr const char *kTunables = "GLIBC_TUNABLES";
    const bool had = qEnvironmentVariableIsSet(kTunables);
    const QByteArray old = qgetenv(kTunables);

    qunsetenv(kTunables);
    EXPECT_TRUE(folvan::app::askWebEngineToHandBackFreedMemory());
    EXPECT_EQ(qgetenv(kTunables), QByteArray("glibc.malloc.mmap_threshold=524288"));
    EXPECT_FALSE(folvan::app::askWebEngineToHandBackFreedMemory());
    EXPECT_EQ(qgetenv(kTunables), QByteArray("glibc.malloc.mmap_threshold=524288"));

    qputenv(kTunables, QByteArrayLiteral("glibc.malloc.arena_max=2"));
    EXPECT_TRUE(folvan::app::askWebEngineToHandBackFreedMemory());
    EXPECT_EQ(qgetenv(kTunables), QByteArray("glibc.malloc.arena_max=2:glibc.malloc.mmap_threshold=524288"));

    qputenv(kTunables, QByteArrayLiteral("glibc.malloc.mmap_threshold=65536:glibc.malloc.arena_max=2"));
    EXPECT_FALSE(folvan::app::askWebEngineToHandBackFreedMemory());
    EXPECT_EQ(qgetenv(kTunables), QByteArray("glibc.malloc.mmap_threshold=65536:glibc.malloc.arena_max=2"));

    if (had)
        qputenv(kTunables, old);
    else
        qunsetenv(kTunables);
}

} // namespace
