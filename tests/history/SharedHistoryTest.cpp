// Two readers on one data folder: each one's history keeps the papers the
// other opened, updated or forgot meanwhile.

#include "history/HistoryTestSupport.h"

using folvan::history::ReadingHistory;
using folvan::history::RecentReading;
using folvan::test::HistoryTest;

namespace {

class SharedHistory : public HistoryTest {
protected:
    QStringList storedPaths()
    {
        QStringList paths;
        auto reader = makeStore();
        for (const RecentReading &record : reader->records())
            paths << record.path;
        return paths;
    }
};

TEST_F(SharedHistory, TwoStoresOnOneFileKeepEachOthersPapersNewestFirst)
{
    auto first = makeStore();
    auto second = makeStore();
    first->opened(QStringLiteral("/papers/a.pdf"), stateAt(1));
    first->flush();
    second->opened(QStringLiteral("/papers/b.pdf"), stateAt(2));
    second->flush();
    EXPECT_EQ(storedPaths(), (QStringList{QStringLiteral("/papers/b.pdf"), QStringLiteral("/papers/a.pdf")}));
    // The second now lists the first's paper too.
    EXPECT_EQ(second->records().size(), 2);

    // Each updates its own paper; the first also opens the second's paper
    // again, and the second forgets its paper meanwhile.
    first->update(QStringLiteral("/papers/a.pdf"), stateAt(5));
    first->opened(QStringLiteral("/papers/c.pdf"), stateAt(3));
    second->update(QStringLiteral("/papers/b.pdf"), stateAt(7));
    second->flush();
    first->flush();
    auto reader = makeStore();
    ASSERT_EQ(reader->records().size(), 3);
    EXPECT_EQ(reader->records().at(0).path, QStringLiteral("/papers/c.pdf"));
    EXPECT_EQ(reader->state(QStringLiteral("/papers/a.pdf"), 100, false).page, 5);
    EXPECT_EQ(reader->state(QStringLiteral("/papers/b.pdf"), 100, false).page, 7);

    first->forget(first->records().last().id);
    second->flush();
    EXPECT_EQ(storedPaths().size(), 2);

    // Both open one paper of their own: one record for it, the later one.
    first->opened(QStringLiteral("/papers/d.pdf"), stateAt(1));
    first->flush();
    second->opened(QStringLiteral("/papers/d.pdf"), stateAt(9));
    second->flush();
    reader = makeStore();
    EXPECT_EQ(storedPaths().count(QStringLiteral("/papers/d.pdf")), 1);
    EXPECT_EQ(reader->state(QStringLiteral("/papers/d.pdf"), 100, false).page, 9);
    EXPECT_TRUE(first->error().isEmpty());
    EXPECT_TRUE(second->error().isEmpty());
}

} // namespace
