#include "localweb/BridgeJson.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonValue>

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

BridgeJson fromChannel(const QJsonValue &value)
{
    // The channel's values are Qt's; a document holds only an array or an object.
    const QByteArray text = QJsonDocument(QJsonArray{value}).toJson(QJsonDocument::Compact);
    const BridgeJson parsed = BridgeJson::parse(text.constData(), text.constData() + text.size(), nullptr, false);
    return parsed.is_array() && parsed.size() == 1 ? parsed[0] : BridgeJson();
}

} // namespace folvan::localweb
