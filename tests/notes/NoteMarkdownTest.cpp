// A note exported as Markdown.

#include "NotesTestSupport.h"

#include <gtest/gtest.h>

namespace folvan::test {
namespace {

class NoteMarkdown : public NotesStoreTest {
protected:
    void SetUp() override
    {
        NotesStoreTest::SetUp();
        store = openStore();
        notes::NotePaper paper;
        paper.title = QStringLiteral("Vision Notes");
        store->setPapers({paper});
        paperID = paper.id;
    }

    notes::PaperNote example() const
    {
        notes::PaperNote note = makeNote(QStringLiteral(" Attention maps "), QStringLiteral("My comment"), 1, paperID);
        note.page = 4;
        note.sources = std::vector<model::ReadingTextSource>{quoteSource(QStringLiteral("first line\nsecond line")),
                                                      quoteSource(QStringLiteral("another passage"))};
        return note;
    }

    std::unique_ptr<notes::PaperNotesStore> store;
    QUuid paperID;
};

TEST_F(NoteMarkdown, NoteWithPaperPageAndPassages)
{
    EXPECT_EQ(store->markdown(example()),
              QStringLiteral("# Attention maps\n"
                             "\n"
                             "来源：Vision Notes · PDF 第 5 页\n"
                             "\n"
                             "> first line\n"
                             "> second line\n"
                             "> \n"
                             "> another passage\n"
                             "\n"
                             "My comment\n"));
}

TEST_F(NoteMarkdown, NoteWithoutPassagesOrPaper)
{
    notes::PaperNote note = example();
    note.sources = std::vector<model::ReadingTextSource>{};
    EXPECT_EQ(store->markdown(note),
              QStringLiteral("# Attention maps\n\n来源：Vision Notes · PDF 第 5 页\n\nMy comment\n"));

    note.sources.reset();
    note.paperID = QUuid::createUuid(); // a paper record that is gone
    note.page = 0;
    EXPECT_EQ(store->markdown(note),
              QStringLiteral("# Attention maps\n\n来源：旧版笔记 · 来源未记录 · PDF 第 1 页\n\nMy comment\n"));

    note.paperID.reset();
    note.page.reset();
    EXPECT_EQ(store->markdown(note), QStringLiteral("# Attention maps\n\n来源：旧版笔记 · 来源未记录\n\nMy comment\n"));
}

TEST_F(NoteMarkdown, TitleBodyAndQuotesKeepTheirOwnSpacing)
{
    notes::PaperNote note = makeNote(QStringLiteral(" \n\t\u3000"), QString(), 1, paperID);
    EXPECT_EQ(store->markdown(note), QStringLiteral("# 未命名笔记\n\n来源：Vision Notes\n\n\n"));

    note.title = QStringLiteral("  两行\n标题 ");
    note.body = QStringLiteral("\n  正文  \n\n");
    note.sources = std::vector<model::ReadingTextSource>{quoteSource(QStringLiteral("上\n\n下\n"))};
    EXPECT_EQ(store->markdown(note), QStringLiteral("# 两行\n标题\n\n来源：Vision Notes\n\n"
                                                    "> 上\n> \n> 下\n> \n\n"
                                                    "\n  正文  \n\n\n"));
}

} // namespace
} // namespace folvan::test
