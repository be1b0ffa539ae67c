#include "window/PaneRules.h"

#include "platform/BookSettings.h"

#include <QKeySequence>
#include <QLocale>

#include <algorithm>
#include <cmath>
#include <numbers>

namespace folvan::window {

namespace {

const QString kPdfExtension = QStringLiteral(".pdf");
const QString kAppName = QStringLiteral("Folvan");

} // namespace

// ---- Side panels ----------------------------------------------------------

double ggViewActualWidth(platform::ScholarWidth ggViewWidth)
{
    switch (ggViewWidth) {
    case platform::ScholarWidth::Regular:
        return 500;
    case platform::ScholarWidth::Large:
        return 600;
    case platform::ScholarWidth::Extended:
        return 700;
    case platform::ScholarWidth::Compact:
        break;
    }
    return 420;
}

double sidebarScale(const SidePanelState &state)
{
    const bool single = !state.isSplit;
    const double side = (state.showGG && single ? ggViewActualWidth(state.ggViewWidth) : 0)
        + (state.showOutline && single ? kOutlinePanelWidth : 0) + (state.showNotes && single ? kNotesPanelWidth : 0);
    const double reserve = state.isSplit ? 280 : 420;
    return std::min(1.0, std::max(0.0, state.windowWidth - reserve) / std::max(1.0, side));
}

double searchLeading(const SidePanelState &state)
{
    const double scale = sidebarScale(state);
    const bool single = !state.isSplit;
    return (state.showGG && single ? ggViewActualWidth(state.ggViewWidth) * scale : 0)
        + (state.showOutline && single ? kOutlinePanelWidth * scale : 0) + 14;
}

double notesRoom(const SidePanelState &state)
{
    return state.showNotes && !state.isSplit ? kNotesPanelWidth * sidebarScale(state) + 10 : 0;
}

double searchBarWidth(double windowWidth, double leading)
{
    return std::clamp(windowWidth - leading - 14, 220.0, 380.0);
}

double dockAvailableWidth(const SidePanelState &state)
{
    return state.windowWidth - searchLeading(state) - notesRoom(state) - 16;
}

// ---- Reading view -----------------------------------------------------------

double clampedTiltAngle(double degrees)
{
    return platform::booksetting::angle.held(degrees);
}

TiltFactors tiltFactors(double degrees)
{
    const double a = std::abs(clampedTiltAngle(degrees));
    const double spread = 1.4 - 1.0;
    return {1.0 / std::cos(a * std::numbers::pi / 180.0), 1.0 + std::min(a, 80.0) / 80.0 * spread};
}

std::optional<double> readingWidthLimit(platform::ReadingWidth pdfViewWidth)
{
    switch (pdfViewWidth) {
    case platform::ReadingWidth::Small:
        return 710;
    case platform::ReadingWidth::Medium:
        return 910;
    case platform::ReadingWidth::Large:
        return 1200;
    case platform::ReadingWidth::Auto:
        break;
    }
    return std::nullopt;
}

QTransform readingTiltTransform(double widthPx, double heightPx, double degrees,
                                platform::ReadingWidth pdfViewWidth, bool textSelectionMode)
{
    if (textSelectionMode)
        return {};
    const double angle = clampedTiltAngle(degrees);
    const TiltFactors factors = tiltFactors(angle);
    const double horizontal = pdfViewWidth == platform::ReadingWidth::Auto ? 1.0 : factors.width;
    if (angle == 0 && horizontal == 1.0)
        return {};
    // The eye stands one view size in front of the page, as a perspective
    // of 1 does.
    const double distance = std::max({widthPx, heightPx, 1.0});
    QTransform transform;
    transform.translate(widthPx / 2, heightPx / 2);
    transform.scale(horizontal, factors.height);
    // A rotation about the x axis seen from `distance` in front of the
    // plane, composed as QTransform::rotate composes.
    const double radians = angle * std::numbers::pi / 180.0;
    const QTransform rotation(1, 0, 0, 0, std::cos(radians), -std::sin(radians) / distance, 0, 0, 1);
    transform = rotation * transform;
    transform.translate(-widthPx / 2, -heightPx / 2);
    return transform;
}

// ---- Scholar ----------------------------------------------------------------

QUrl googleScholarRoot()
{
    return QUrl(QStringLiteral("https://scholar.google.com/"));
}

std::optional<QUrl> googleScholarURL(const QString &title)
{
    if (title.isEmpty())
        return googleScholarRoot();
    const QString query = title.endsWith(kPdfExtension) ? title.chopped(kPdfExtension.size()) : title;
    const QByteArray encoded = QUrl::toPercentEncoding(query);
    const QByteArray address = QByteArrayLiteral("https://scholar.google.com/scholar?lr=&q=") + encoded
        + QByteArrayLiteral("&hl=en&as_sdt=0,48");
    const QUrl url = QUrl::fromEncoded(address, QUrl::StrictMode);
    if (!url.isValid())
        return std::nullopt;
    return url;
}

QUrl scholarPanelURL(bool hasDocument, const QString &fileName)
{
    if (!hasDocument)
        return googleScholarRoot();
    return googleScholarURL(fileName).value_or(googleScholarRoot());
}

// ---- Headers ------------------------------------------------------------------

QString nativeShortcut(const QString &portable)
{
    const QKeySequence sequence(portable, QKeySequence::PortableText);
    if (sequence.count() == 1 && sequence[0].key() == Qt::Key_Enter) {
        // Enter keeps the name it has where it is written on its own, not
        // Qt's translated one ("回车"); only the modifiers take the
        // platform's form.
        const QKeySequence withLetter(sequence[0].keyboardModifiers() | Qt::Key_A);
        return withLetter.toString(QKeySequence::NativeText).chopped(1) + QStringLiteral("Enter");
    }
    return sequence.toString(QKeySequence::NativeText);
}

QString withShortcut(const QString &text, const QString &portable)
{
    return text + QStringLiteral("（") + nativeShortcut(portable) + QStringLiteral("）");
}

QString withoutPdfExtension(const QString &name)
{
    return name.endsWith(kPdfExtension) ? name.chopped(kPdfExtension.size()) : name;
}

QString singleHeaderTitle(bool hasDocument, const QString &fileName)
{
    return hasDocument ? withoutPdfExtension(fileName) : kAppName;
}

QString singleHeaderTitleLabel(bool hasDocument, const QString &fileName)
{
    return hasDocument ? QStringLiteral("重命名论文：") + fileName : kAppName;
}

QString splitHeaderDisplayName(bool hasDocument, const QString &fileName)
{
    return hasDocument ? withoutPdfExtension(fileName) : QStringLiteral("打开 PDF");
}

double readingProgress(int currentPageIndex, int pageCount)
{
    if (pageCount <= 0)
        return 0;
    return std::clamp((double(currentPageIndex) + 1.0) / double(pageCount), 0.0, 1.0);
}

// ---- Welcome screen -------------------------------------------------------

QString welcomeDateLine(const QDateTime &now)
{
    return QLocale(QLocale::Chinese, QLocale::China).toString(now.date(), QStringLiteral("M月d日 dddd"));
}

QString greetingMessage(int hour)
{
    if (hour >= 4 && hour <= 11)
        return kMorningGreeting;
    if (hour >= 12 && hour <= 17)
        return QStringLiteral("下午好");
    if (hour >= 18 && hour <= 23)
        return QStringLiteral("晚上好");
    return QStringLiteral("夜深了，轻松读一会儿");
}

// ---- Search bar -----------------------------------------------------------

SearchStatus searchStatus(bool searchRunning, int matchCount, int currentIndex, const QString &searchText,
                          const QList<int> &inImages)
{
    if (searchRunning)
        return {SearchStatus::Progress, {}};
    const int hidden = int(std::count_if(inImages.begin(), inImages.end(),
                                         [&](int index) { return index >= 0 && index < matchCount; }));
    const int shown = matchCount - hidden;
    if (shown > 0) {
        const int before = int(std::count_if(inImages.begin(), inImages.end(),
                                             [&](int index) { return index >= 0 && index < currentIndex; }));
        const int position = std::clamp(currentIndex - before + 1, 1, shown);
        QString text = QStringLiteral("%1 / %2").arg(position).arg(shown);
        if (hidden > 0)
            text += QStringLiteral("（图中另有 %1 处）").arg(hidden);
        return {SearchStatus::Counter, text};
    }
    if (hidden > 0)
        return {SearchStatus::Counter, QStringLiteral("仅图中有 %1 处").arg(hidden)};
    if (!searchText.isEmpty())
        return {SearchStatus::NoResults, QStringLiteral("无结果")};
    return {};
}

} // namespace folvan::window
