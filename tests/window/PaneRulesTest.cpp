// The pane's layout and presentation rules: panel widths and their shrink,
// the search bar's width, the tilt, the reading width, the Scholar address,
// the header texts, the welcome screen's date and greeting.

#include "window/PaneRules.h"

#include "platform/PreferenceKeys.h"
#include "platform/Preferences.h"

#include <QKeySequence>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cmath>

namespace folvan::window {
namespace {

SidePanelState allPanels(double width)
{
    SidePanelState state;
    state.windowWidth = width;
    state.showGG = state.showOutline = state.showNotes = true;
    return state;
}

// The stored width names and what any other stored value means.
TEST(PaneRulesTest, StoredWidthNamesAndAnyOtherValue)
{
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    platform::Preferences stored(folder.filePath(QStringLiteral("Folvan.json")));
    const std::pair<const char *, int> scholar[] = {{"Compact", 420}, {"Regular", 500}, {"Large", 600},
                                                    {"Extended", 700}, {"large", 420}, {"", 420}};
    for (const auto &[name, width] : scholar) {
        stored.setValue(platform::prefkey::ggViewWidth, QString::fromLatin1(name));
        EXPECT_EQ(ggViewActualWidth(stored.enumValue<platform::ScholarWidth>(platform::prefkey::ggViewWidth)), width)
            << name;
    }
    const std::pair<const char *, std::optional<int>> reading[] = {
        {"Small", 710}, {"Medium", 910}, {"Large", 1200}, {"Auto", std::nullopt}, {"Huge", std::nullopt}};
    for (const auto &[name, width] : reading) {
        stored.setValue(platform::prefkey::pdfViewWidth, QString::fromLatin1(name));
        EXPECT_EQ(readingWidthLimit(stored.enumValue<platform::ReadingWidth>(platform::prefkey::pdfViewWidth)), width)
            << name;
    }
}

TEST(PaneRulesTest, SidePanelsShrinkTogetherSoThatTheReadingAreaKeepsRoom)
{
    const SidePanelState narrow = allPanels(1000);
    EXPECT_DOUBLE_EQ(sidebarScale(narrow), 580.0 / 980.0);
    EXPECT_DOUBLE_EQ(searchLeading(narrow), (420.0 + 200.0) * 580.0 / 980.0 + 14);
    EXPECT_DOUBLE_EQ(notesRoom(narrow), 360.0 * 580.0 / 980.0 + 10);

    EXPECT_DOUBLE_EQ(sidebarScale(allPanels(1400)), 1.0);
    EXPECT_DOUBLE_EQ(sidebarScale(allPanels(2400)), 1.0);
    EXPECT_DOUBLE_EQ(searchLeading(allPanels(1400)), 620 + 14);

    SidePanelState none;
    none.windowWidth = 900;
    EXPECT_DOUBLE_EQ(sidebarScale(none), 1.0);
    EXPECT_DOUBLE_EQ(searchLeading(none), 14);

    // A pane narrower than the reserve shows its panels at no width.
    EXPECT_DOUBLE_EQ(sidebarScale(allPanels(300)), 0.0);
}

TEST(PaneRulesTest, TheComparisonLayoutCountsNoSidePanel)
{
    SidePanelState split = allPanels(500);
    split.isSplit = true;
    EXPECT_DOUBLE_EQ(sidebarScale(split), 1.0);
    EXPECT_DOUBLE_EQ(searchLeading(split), 14);
    EXPECT_DOUBLE_EQ(notesRoom(split), 0);
    EXPECT_DOUBLE_EQ(dockAvailableWidth(split), 500 - 14 - 16);
}

TEST(PaneRulesTest, SearchBarWidthStaysWithin220And380)
{
    EXPECT_EQ(searchBarWidth(200, 14), 220);
    EXPECT_EQ(searchBarWidth(300, 14), 272);
    EXPECT_EQ(searchBarWidth(1200, 14), 380);
    EXPECT_EQ(searchBarWidth(1000, 900), 220);
}

TEST(PaneRulesTest, TiltFactorsAtTheUsualAndTheLargestAngles)
{
    EXPECT_DOUBLE_EQ(tiltFactors(0).height, 1.0);
    EXPECT_DOUBLE_EQ(tiltFactors(0).width, 1.0);
    EXPECT_NEAR(tiltFactors(40).width, 1.2, 1e-12);
    EXPECT_NEAR(tiltFactors(40).height, 1.3054, 1e-4);
    for (const double angle : {70.0, -70.0}) {
        EXPECT_NEAR(tiltFactors(angle).width, 1.35, 1e-12);
        EXPECT_NEAR(tiltFactors(angle).height, 2.9238, 1e-4);
    }
    // Beyond the stored range the factors stay those of 70 degrees, and a
    // value that is no number counts as no tilt.
    EXPECT_DOUBLE_EQ(tiltFactors(89.9).height, tiltFactors(70).height);
    EXPECT_DOUBLE_EQ(tiltFactors(-400).width, tiltFactors(70).width);
    EXPECT_DOUBLE_EQ(tiltFactors(std::nan("")).height, 1.0);
}


TEST(PaneRulesTest, TiltTransformWidensOnlyAFixedWidthAndIsFlatWhileSelecting)
{
    const double w = 800, h = 600;
    const QPointF centre(w / 2, h / 2);
    // On the horizontal line through the centre the perspective divides by
    // one, so distances from the centre show the horizontal scale alone.
    const QTransform medium = readingTiltTransform(w, h, 40, platform::ReadingWidth::Medium, false);
    EXPECT_NEAR(medium.map(centre + QPointF(100, 0)).x() - centre.x(), 120, 1e-9);
    const QTransform automatic = readingTiltTransform(w, h, 40, platform::ReadingWidth::Auto, false);
    EXPECT_NEAR(automatic.map(centre + QPointF(100, 0)).x() - centre.x(), 100, 1e-9);
    EXPECT_TRUE(automatic.map(centre) == centre);
    // The tilt shortens the page vertically; the height factor restores it
    // near the centre line.
    const QPointF below = automatic.map(centre + QPointF(0, 1));
    EXPECT_NEAR(below.y() - centre.y(), 1.0, 0.01);
    EXPECT_FALSE(automatic.isAffine());

    EXPECT_TRUE(readingTiltTransform(w, h, 40, platform::ReadingWidth::Medium, true).isIdentity());
    EXPECT_TRUE(readingTiltTransform(w, h, 0, platform::ReadingWidth::Auto, false).isIdentity());
    // Input maps back through the inverse.
    bool invertible = false;
    const QTransform inverse = medium.inverted(&invertible);
    ASSERT_TRUE(invertible);
    const QPointF point(123, 456);
    const QPointF back = inverse.map(medium.map(point));
    EXPECT_NEAR(back.x(), point.x(), 1e-6);
    EXPECT_NEAR(back.y(), point.y(), 1e-6);
}

TEST(PaneRulesTest, ScholarAddressEncodesEveryReservedCharacterOfTheTitle)
{
    const auto search = [](const QString &title) {
        return googleScholarURL(title).value().toEncoded();
    };
    EXPECT_EQ(search(QStringLiteral("Deep Nets.pdf")),
              QByteArray("https://scholar.google.com/scholar?lr=&q=Deep%20Nets&hl=en&as_sdt=0,48"));
    EXPECT_TRUE(search(QStringLiteral("A & B.pdf")).contains("q=A%20%26%20B&"));
    EXPECT_TRUE(search(QStringLiteral("C++ x=y")).contains("q=C%2B%2B%20x%3Dy&"));
    // Only the exact lower-case extension is dropped.
    EXPECT_TRUE(search(QStringLiteral("Paper.PDF")).contains("q=Paper.PDF&"));
    EXPECT_TRUE(search(QStringLiteral("量子.pdf")).contains("q=%E9%87%8F%E5%AD%90&"));
    EXPECT_TRUE(search(QStringLiteral("#1 a/b?.pdf")).contains("q=%231%20a%2Fb%3F&hl=en&as_sdt=0,48"));
    EXPECT_TRUE(search(QStringLiteral(".pdf")).contains("q=&hl="));
    EXPECT_EQ(googleScholarURL(QString()), googleScholarRoot());
    // The panel opens the root page without a paper.
    EXPECT_EQ(scholarPanelURL(false, QStringLiteral("打开一篇论文，开始阅读")), googleScholarRoot());
    EXPECT_EQ(scholarPanelURL(true, QString()), googleScholarRoot());
    EXPECT_TRUE(scholarPanelURL(true, QStringLiteral("a.pdf")).toEncoded().contains("q=a&"));
}

TEST(PaneRulesTest, HeaderTitlesDropOnlyTheExactExtensionAndTheProgressLineNeverPassesTheEnd)
{
    EXPECT_EQ(singleHeaderTitle(false, QStringLiteral("Paper.pdf")), QStringLiteral("Folvan"));
    EXPECT_EQ(singleHeaderTitle(true, QStringLiteral("Paper.pdf")), QStringLiteral("Paper"));
    EXPECT_EQ(singleHeaderTitle(true, QStringLiteral("Paper.PDF")), QStringLiteral("Paper.PDF"));
    EXPECT_EQ(withoutPdfExtension(QStringLiteral("Paper.PDF")), QStringLiteral("Paper.PDF"));
    EXPECT_EQ(singleHeaderTitle(true, QStringLiteral("a.pdf.pdf")), QStringLiteral("a.pdf"));
    EXPECT_EQ(singleHeaderTitleLabel(true, QStringLiteral("Paper.pdf")), QStringLiteral("重命名论文：Paper.pdf"));
    EXPECT_EQ(singleHeaderTitleLabel(false, QStringLiteral("Paper.pdf")), QStringLiteral("Folvan"));
    EXPECT_EQ(splitHeaderDisplayName(false, QStringLiteral("Paper.pdf")), QStringLiteral("打开 PDF"));
    EXPECT_EQ(splitHeaderDisplayName(true, QStringLiteral("Paper.pdf")), QStringLiteral("Paper"));

    EXPECT_DOUBLE_EQ(readingProgress(0, 10), 0.1);
    EXPECT_DOUBLE_EQ(readingProgress(9, 10), 1.0);
    EXPECT_DOUBLE_EQ(readingProgress(14, 10), 1.0);
    EXPECT_DOUBLE_EQ(readingProgress(0, 0), 0.0);
    // Shortcuts in tooltips are printed in the platform's own form.
    EXPECT_EQ(withShortcut(QStringLiteral("搜索正文"), QStringLiteral("Ctrl+F")),
              QStringLiteral("搜索正文（") + QKeySequence(Qt::CTRL | Qt::Key_F).toString(QKeySequence::NativeText)
                  + QStringLiteral("）"));
}

TEST(PaneRulesTest, GreetingChangesAtTheHourBoundaries)
{
    // Each greeting from its first hour to its last.
    const std::pair<int, QString> bounds[] = {{0, QStringLiteral("夜深了，轻松读一会儿")}, {4, kMorningGreeting},
                                              {12, QStringLiteral("下午好")}, {18, QStringLiteral("晚上好")}};
    for (size_t i = 0; i < std::size(bounds); ++i) {
        const int last = i + 1 < std::size(bounds) ? bounds[i + 1].first - 1 : 23;
        EXPECT_EQ(greetingMessage(bounds[i].first), bounds[i].second);
        EXPECT_EQ(greetingMessage(last), bounds[i].second) << last;
    }
}


TEST(PaneRulesTest, DateLineIsChineseWithoutLeadingZerosWhateverTheSystemLanguage)
{
    const QLocale previous;
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    EXPECT_EQ(welcomeDateLine(QDateTime(QDate(2026, 1, 5), QTime(9, 0))), QStringLiteral("1月5日 星期一"));
    EXPECT_EQ(welcomeDateLine(QDateTime(QDate(2026, 12, 6), QTime(23, 59))), QStringLiteral("12月6日 星期日"));
    QLocale::setDefault(previous);
}

TEST(PaneRulesTest, SearchStatusShowsProgressThenCounterThenNoResults)
{
    EXPECT_EQ(searchStatus(true, 5, 0, QStringLiteral("a")).kind, SearchStatus::Progress);
    const SearchStatus counter = searchStatus(false, 12, 0, QStringLiteral("a"));
    EXPECT_EQ(counter.kind, SearchStatus::Counter);
    EXPECT_EQ(counter.text, QStringLiteral("1 / 12"));
    EXPECT_EQ(searchStatus(false, 0, 0, QStringLiteral("  ")).text, QStringLiteral("无结果"));
    EXPECT_EQ(searchStatus(false, 0, 0, QString()).kind, SearchStatus::Nothing);

    // Matches shown inside images are left out of the count and named beside it.
    EXPECT_EQ(searchStatus(false, 12, 5, QStringLiteral("a"), {1, 3, 7}).text, QStringLiteral("4 / 9（图中另有 3 处）"));
    EXPECT_EQ(searchStatus(false, 12, 0, QStringLiteral("a"), {1, 3, 99}).text, QStringLiteral("1 / 10（图中另有 2 处）"));
    const SearchStatus onlyImages = searchStatus(false, 2, 0, QStringLiteral("a"), {0, 1});
    EXPECT_EQ(onlyImages.kind, SearchStatus::Counter);
    EXPECT_EQ(onlyImages.text, QStringLiteral("仅图中有 2 处"));
}

} // namespace
} // namespace folvan::window
