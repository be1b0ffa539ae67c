#include "annotations/MarkupColor.h"

namespace folvan::annotations {

namespace {

struct ColorRow {
    const char *rawValue;
    const char *displayName;
    double red, green, blue;
};

constexpr ColorRow kRows[] = {
    {"yellow", "黄色", 1.0, 0.79, 0.12},
    {"green", "绿色", 0.35, 0.78, 0.43},
    {"blue", "蓝色", 0.32, 0.64, 1.0},
    {"pink", "粉色", 0.98, 0.45, 0.64},
};

} // namespace

std::optional<MarkupColor> MarkupColor::fromRawValue(const QString &rawValue)
{
    for (MarkupColor color : allCases()) {
        if (color.rawValue() == rawValue)
            return color;
    }
    return std::nullopt;
}

std::array<MarkupColor, 4> MarkupColor::allCases()
{
    return {yellow, green, blue, pink};
}

QString MarkupColor::rawValue() const
{
    return QString::fromLatin1(kRows[m_value].rawValue);
}

QString MarkupColor::displayName() const
{
    return QString::fromUtf8(kRows[m_value].displayName);
}

engine::PdfColor MarkupColor::color(const QString &kind) const
{
    const ColorRow &row = kRows[m_value];
    return {row.red, row.green, row.blue, kind == QLatin1String("highlight") ? 0.35 : 1.0};
}

} // namespace folvan::annotations
