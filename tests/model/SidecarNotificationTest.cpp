// The side-file notification between panes: who posts it, who ignores it,
// and which reload it leads to.

#include "support/SharedPDFViewModelTestPeer.h"
#include "ModelFixtures.h"
#include "platform/NotificationCenter.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

using namespace folvan;
using namespace folvan::model;

namespace {

class SidecarNotification : public test::PaneTest {
protected:
    // Writes a bookmark file for the document behind the model's back.
    void writeBookmarkFile(const QByteArray &content)
    {
        QDir().mkpath(model->annotationDirectory());
        QFile file(model->bookmarkURL(QUrl::fromLocalFile(pdf)));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(content);
    }
    void post(const SidecarChanged &change) { platform::NotificationCenter::shared().post(change); }
    SidecarChanged bookmarksChange(const QString &documentPath) const
    {
        return {QUuid(), documentPath, model->annotationDirectory(), SidecarKind::Bookmarks};
    }
    static constexpr const char *oneBookmark =
        R"([{"id":"00000000-0000-4000-8000-000000000001","location":{"page":2},"title":"t"}])";
};

// Annotations handed to the model that count what it asks of them.
class CountingAnnotations : public PaneAnnotationsInterface {
public:
    void reloadSharedAnnotations() override { ++reloads; }
    void retryUnsavedAnnotations() override { ++retries; }
    bool hasUnsavedAnnotations() const override { return false; }
    int reloads = 0;
    int retries = 0;
};

} // namespace

TEST_F(SidecarNotification, PostedWithSessionStandardizedPathFolderAndKind)
{
    std::vector<SidecarChanged> received;
    QObject context;
    platform::NotificationCenter::shared().observe<SidecarChanged>(
        &context, [&](const SidecarChanged &change) { received.push_back(change); });
    SharedPDFViewModelTestPeer(&*model).setPdfDocumentURL(QUrl::fromLocalFile(root() + "/./sub/../paper.pdf"));
    model->notifySidecarChanged(SidecarKind::Bookmarks);
    ASSERT_EQ(received.size(), 1u);
    EXPECT_EQ(received[0].session, model->readingSessionID());
    EXPECT_EQ(received[0].path, pdf);
    EXPECT_EQ(received[0].directory, model->annotationDirectory());
    EXPECT_EQ(received[0].kind, SidecarKind::Bookmarks);

    SharedPDFViewModelTestPeer(&*model).setPdfDocumentURL(QUrl());
    model->notifySidecarChanged(SidecarKind::Bookmarks);
    EXPECT_EQ(received.size(), 1u);
}

TEST_F(SidecarNotification, OwnSessionIsIgnoredAndANullSessionIsHandled)
{
    writeBookmarkFile(oneBookmark);
    SidecarChanged info = bookmarksChange(pdf);
    info.session = model->readingSessionID();
    post(info);
    EXPECT_TRUE(model->bookmarks().empty());
    post(bookmarksChange(pdf));
    EXPECT_EQ(model->bookmarks().size(), 1u);
}

TEST_F(SidecarNotification, SameDocumentMeansSameStandardizedPathAndFolder)
{
    writeBookmarkFile(oneBookmark);
    post(bookmarksChange(path("other.pdf")));
    EXPECT_TRUE(model->bookmarks().empty());

    SidecarChanged otherFolder = bookmarksChange(pdf);
    otherFolder.directory = root() + "/elsewhere";
    post(otherFolder);
    EXPECT_TRUE(model->bookmarks().empty());

    // The model's own URL spelled with "." and "..": still the same document.
    SharedPDFViewModelTestPeer(&*model).setPdfDocumentURL(QUrl::fromLocalFile(root() + "/./x/../paper.pdf"));
    post(bookmarksChange(pdf));
    EXPECT_EQ(model->bookmarks().size(), 1u);
}

TEST_F(SidecarNotification, KindDecidesWhatIsReloaded)
{
    writeBookmarkFile(oneBookmark);
    SidecarChanged info = bookmarksChange(pdf);
    info.kind = SidecarKind::Annotations;
    post(info);
    EXPECT_TRUE(model->bookmarks().empty());
    EXPECT_FALSE(model->navigationError());
}

TEST_F(SidecarNotification, AModelWithoutDocumentIgnoresPostsThatNameOne)
{
    writeBookmarkFile(oneBookmark);
    SharedPDFViewModel empty;
    QSignalSpy errors(&empty, &SharedPDFViewModel::navigationErrorChanged);
    post(bookmarksChange(pdf));
    EXPECT_EQ(errors.count(), 0);
    EXPECT_TRUE(empty.bookmarks().empty());
}

TEST_F(SidecarNotification, TheOtherPaneFollowsASaveAndTheSaverDoesNotReread)
{
    SharedPDFViewModel other;
    test::openAndShowInModel(other, document, QUrl::fromLocalFile(pdf));
    QSignalSpy otherRevision(&other, &SharedPDFViewModel::readingOverlayRevisionChanged);
    QSignalSpy ownBookmarks(model.get(), &SharedPDFViewModel::bookmarksChanged);

    SharedPDFViewModelTestPeer(&*model).setCurrentPageIndex(3);
    model->toggleBookmark();
    EXPECT_EQ(ownBookmarks.count(), 1); // set once by the toggle, not again by a reload
    ASSERT_EQ(other.bookmarks().size(), 1u);
    EXPECT_EQ(other.bookmarks()[0].id, model->bookmarks()[0].id);
    EXPECT_EQ(otherRevision.count(), 1);

    other.removeBookmark(other.bookmarks()[0].id);
    EXPECT_TRUE(model->bookmarks().empty());
}

TEST_F(SidecarNotification, ADestroyedModelNoLongerObserves)
{
    SharedPDFViewModel survivor;
    test::openAndShowInModel(survivor, document, QUrl::fromLocalFile(pdf));
    ASSERT_TRUE(survivor.bookmarks().empty());
    writeBookmarkFile(oneBookmark);
    const SidecarChanged change = bookmarksChange(pdf);
    model.reset();
    post(change); // reaches the model still alive, and not the destroyed one

    EXPECT_EQ(survivor.bookmarks().size(), 1u);
}

TEST_F(SidecarNotification, AnotherPanesAnnotationChangeReloadsOnlyTheHandedAnnotations)
{
    auto *annotations = new CountingAnnotations;
    model->setAnnotations(annotations);
    EXPECT_EQ(annotations->parent(), model.get());
    SidecarChanged info = bookmarksChange(pdf);
    info.kind = SidecarKind::Annotations;
    post(info);
    EXPECT_EQ(annotations->reloads, 1);
    EXPECT_EQ(annotations->retries, 0);

    model->notifySidecarChanged(SidecarKind::Annotations); // its own write is not re-read
    info.path = root() + "/other.pdf";
    post(info);
    EXPECT_EQ(annotations->reloads, 1);
}

TEST_F(SidecarNotification, TheSideFileRetryReachesTheAnnotationsAndReplacedOnesAreGone)
{
    QPointer<CountingAnnotations> first = new CountingAnnotations;
    model->setAnnotations(first);
    model->retryUnsavedSideFiles();
    EXPECT_EQ(first->retries, 1);

    QPointer<CountingAnnotations> second = new CountingAnnotations;
    model->setAnnotations(second);
    EXPECT_TRUE(first.isNull());
    EXPECT_EQ(model->annotations(), second.data());
    model.reset();
    EXPECT_TRUE(second.isNull());
}
