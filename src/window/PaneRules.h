#pragma once

// The pane's layout and presentation rules as plain functions: the widths of
// the side panels and how they shrink, the tilt of the reading view, the
// reading width, the Scholar address, the header's texts and the welcome
// screen's date line and greeting. The widgets read them; the tests check
// them without a screen.

#include "platform/ReadingModes.h"

#include <QDateTime>
#include <QList>
#include <QString>
#include <QTransform>
#include <QUrl>

#include <optional>

namespace folvan::window {

// ---- Side panels ----------------------------------------------------------

// What the side-panel arithmetic reads of a pane.
struct SidePanelState {
    double windowWidth = 1200;
    bool isSplit = false;
    bool showGG = false;
    bool showOutline = false;
    bool showNotes = false;
    platform::ScholarWidth ggViewWidth = platform::ScholarWidth::Compact;
};

inline constexpr double kOutlinePanelWidth = 200;
inline constexpr double kNotesPanelWidth = 360;

// The Scholar panel's width for its width class: Compact 420, Regular 500,
// Large 600, Extended 700.
double ggViewActualWidth(platform::ScholarWidth ggViewWidth);
// The factor (0...1) by which the open side panels shrink so that the
// reading area keeps its room. In the comparison layout no panel counts.
double sidebarScale(const SidePanelState &state);
// The leading inset of the search bar: the scaled widths of the left-hand
// panels plus 14.
double searchLeading(const SidePanelState &state);
// The room kept free on the trailing side for the notes panel (0 without).
double notesRoom(const SidePanelState &state);
// The search bar's width on a pane: clamped to 220...380.
double searchBarWidth(double windowWidth, double leading);
// The width the reading dock may use.
double dockAvailableWidth(const SidePanelState &state);
// The top inset of the reading view and of the welcome column.
inline double readingTopInset(bool isSplit) { return isSplit ? 99 : 65; }

// ---- Reading view -----------------------------------------------------------

// The tilt's two factors for an angle in degrees, the angle held to the
// book's tilt range first (clampedTiltAngle): the height factor 1 / cos(a)
// and the width factor 1 + min(a, 80) / 80 * (1.4 - 1.0).
struct TiltFactors {
    double height = 1;
    double width = 1;
};
double clampedTiltAngle(double degrees);
TiltFactors tiltFactors(double degrees);

// The largest width of the reading view for the stored "pdfViewWidth":
// Small 710, Medium 910, Large 1200; none for Auto.
std::optional<double> readingWidthLimit(platform::ReadingWidth pdfViewWidth);

// The transform that draws the page view tilted: a rotation about the
// horizontal axis through the centre of `size`, seen in perspective, then
// scaled about the centre (vertically by the height factor, horizontally by
// the width factor unless the width is Auto). The identity while text is
// being selected.
QTransform readingTiltTransform(double widthPx, double heightPx, double degrees,
                                platform::ReadingWidth pdfViewWidth, bool textSelectionMode);

// ---- Scholar ----------------------------------------------------------------

// The root page of the Scholar search endpoint.
QUrl googleScholarRoot();
// The search address for a paper title: a trailing ".pdf" (exact case) is
// dropped and every character but the unreserved ones is percent-encoded,
// so that "&", "=" and "+" in a title stay part of the query. An empty
// title gives the root page.
std::optional<QUrl> googleScholarURL(const QString &title);
// The address the Scholar panel opens: the search for `fileName` while a
// paper is open, else the root page.
QUrl scholarPanelURL(bool hasDocument, const QString &fileName);

// ---- Headers ------------------------------------------------------------------

// A shortcut written portably ("Ctrl+Shift+R") in the platform's own form
// ("Ctrl+Shift+R" on Linux, "⇧⌘R" on macOS). The key Enter is named
// "Enter" in every language ("Shift+Enter", "⇧Enter").
QString nativeShortcut(const QString &portable);
// `text` followed by the shortcut in full-width parentheses: "搜索正文（Ctrl+F）".
QString withShortcut(const QString &text, const QString &portable);

// `name` without a trailing ".pdf" (case-sensitive).
QString withoutPdfExtension(const QString &name);
// The single header's title: "Folvan" without a document, else the file
// name without ".pdf".
QString singleHeaderTitle(bool hasDocument, const QString &fileName);
// The accessibility label of the single header's title.
QString singleHeaderTitleLabel(bool hasDocument, const QString &fileName);
// The split header's file-name button: "打开 PDF" without a document.
QString splitHeaderDisplayName(bool hasDocument, const QString &fileName);
// The part of the header's width the progress line fills: 0 without pages.
double readingProgress(int currentPageIndex, int pageCount);

// ---- Welcome screen -------------------------------------------------------

// "M月d日 EEEE" in Chinese, whatever the system language.
QString welcomeDateLine(const QDateTime &now);
// The greeting for an hour of the day (0...23).
QString greetingMessage(int hour);
inline const QString kMorningGreeting = QStringLiteral("早上好");

// ---- Search bar -----------------------------------------------------------

// What the search bar's status place shows.
struct SearchStatus {
    enum Kind { Nothing, Progress, Counter, NoResults } kind = Nothing;
    QString text;
};
// `inImages` are the indices of matches shown inside images (the reflow
// view's cut-outs): they are left out of the count and named beside it.
SearchStatus searchStatus(bool searchRunning, int matchCount, int currentIndex, const QString &searchText,
                          const QList<int> &inImages = {});

} // namespace folvan::window
