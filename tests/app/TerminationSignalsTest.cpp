#include <gtest/gtest.h>

#include "app/TerminationSignals.h"

#include <QSignalSpy>

#include <csignal>

using folvan::app::TerminationSignals;

namespace {

TEST(TerminationSignals, EachTerminationRequestBecomesAQuitRequestOnTheMainThread)
{
    TerminationSignals termination;
    QSignalSpy requested(&termination, &TerminationSignals::quitRequested);
    for (int number : {SIGTERM, SIGINT, SIGHUP}) {
        requested.clear();
        ASSERT_EQ(std::raise(number), 0);
        ASSERT_TRUE(requested.wait(2000)) << number;
        EXPECT_EQ(requested.constFirst().constFirst().toInt(), number);
    }
}

} // namespace
