#include "pdfview/NativeViewportFit.h"

#include <algorithm>
#include <cmath>

#include "engine/PdfPage.h"
#include "platform/ReaderPreferences.h"

namespace folvan::pdfview {

std::optional<double> NativeViewportFit::scale(const engine::PdfPage &page, double width, double pointPixels)
{
    if (!page.isValid() || !std::isfinite(width) || width <= kMargin)
        return std::nullopt;
    const QRectF crop = page.cropBox();
    const bool turned = std::abs(page.rotation() % 180) == 90;
    const double dimension = turned ? crop.height() : crop.width();
    if (!(dimension > 0) || !std::isfinite(dimension) || !(pointPixels > 0))
        return std::nullopt;
    return std::clamp((width - kMargin) / (dimension * pointPixels), platform::kMinZoom, platform::kMaxZoom);
}

} // namespace folvan::pdfview
