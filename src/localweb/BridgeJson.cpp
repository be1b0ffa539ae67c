#include "localweb/BridgeJson.h"

#include "platform/StoredJson.h"


#include <algorithm>
#include <cmath>

namespace folvan::localweb {

bool allFinite(const BridgeJson &value)
{
    if (value.is_number_float())
        return std::isfinite(value.get<double>());
    if (value.is_structured()) {
        for (const BridgeJson &element : value) {
            if (!allFinite(element))
                return false;
        }
    }
    return true;
}

QString scriptArgument(const BridgeJson &payload)
{
    if (!allFinite(payload))
        return QStringLiteral("{}");
    QString text = QString::fromStdString(payload.dump(-1, ' ', false, BridgeJson::error_handler_t::replace));
    text.replace(QChar(0x2028), QStringLiteral("\\u2028"));
    text.replace(QChar(0x2029), QStringLiteral("\\u2029"));
    return text;
}

QString shownText(const std::string &utf8, qsizetype maximum)
{
    // No character takes more than four bytes: the prefix read holds more
    // than `maximum` characters whenever the whole text does.
    const size_t read = std::min(utf8.size(), size_t(maximum + 1) * 4);
    QString text = QString::fromUtf8(utf8.data(), qsizetype(read));
    if (text.size() <= maximum && read == utf8.size())
        return text;
    if (text.size() < maximum)
        return text + QChar(0x2026);
    qsizetype keep = maximum - 1;
    if (keep > 0 && text.at(keep - 1).isHighSurrogate())
        --keep;
    return text.left(keep) + QChar(0x2026);
}

BridgeJson parseMessage(const QByteArray &text)
{
    if (platform::jsonNestsDeeperThan(text.constBegin(), text.constEnd()))
        return BridgeJson(BridgeJson::value_t::discarded);
    return BridgeJson::parse(text.constData(), text.constData() + text.size(), nullptr, false);
}

} // namespace folvan::localweb
