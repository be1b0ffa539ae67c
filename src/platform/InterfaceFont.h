#pragma once

#include <QFont>

#include <functional>
#include <optional>

class QObject;

namespace folvan::platform {

// The text roles of the interface, each a step from the interface text size.
enum class InterfaceTextRole { body, callout, caption, headline, title3, title };

// Interface points are logical pixels (the screen's points at 72 per inch
// of the interface); Qt's point is 1/72 inch at 96 logical pixels per inch.
inline constexpr double kQtPointsPerInterfacePoint = 0.75;

// The size of a role at the interface size `base`, in interface points:
// the size plus the role's step (body 0, callout -1, caption -2, headline
// +1, title3 +3, title +7), never below 12.
double interfaceFontSize(InterfaceTextRole role, double base);

// The application font of a role at the current interface text size; the
// given weight, else semibold for headline and regular for the others. With
// `tabularDigits`, the digits are of one width while the letters stay
// proportional.
QFont interfaceFont(InterfaceTextRole role, std::optional<QFont::Weight> weight = std::nullopt,
                    bool tabularDigits = false);

// Gives `widget` (anything with a "font" property) the interface font of
// `role` (as interfaceFont) and sets it again at once whenever the
// interface text size is written, for the widget's life. Calling it again changes the role, weight and digits.
void useInterfaceFont(QObject *widget, InterfaceTextRole role, std::optional<QFont::Weight> weight = std::nullopt,
                      bool tabularDigits = false);

// Calls `follow` whenever the interface text size is written, for the life
// of `context`.
void onInterfaceTextSizeChange(QObject *context, std::function<void()> follow);

} // namespace folvan::platform
