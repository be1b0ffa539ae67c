#pragma once

#include <optional>

namespace folvan::engine {
class PdfPage;
}

namespace folvan::pdfview {

// The zoom at which a page fills the width of the page view when a paper is
// first shown, leaving a margin of 24 points beside the page.
struct NativeViewportFit {
    static constexpr double kMargin = 24.0;

    // (width − 24) ÷ the page's width as shown (its crop box height when
    // the page is turned by 90 or 270 degrees), clamped to 0.5...4.0. None
    // for an invalid page, a width of 24 or less (or not finite), and a
    // crop box with no size. `pointPixels` is the view pixels a point
    // takes at scale 1 (the page view's screenPointPixels()).
    static std::optional<double> scale(const engine::PdfPage &page, double width, double pointPixels = 1.0);
};

} // namespace folvan::pdfview
