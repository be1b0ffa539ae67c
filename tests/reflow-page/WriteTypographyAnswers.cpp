// Writes what the native side makes of typography values the reflow page may
// send, so that the page's node tests can check that the page clamps and
// corrects them the same way.
// Usage: write-typography-answers CASES.json ANSWERS.json
// CASES holds an array of objects; ANSWERS gets, in the same order, each one
// normalized.

#include "model/ReflowTypography.h"

#include <QMetaType>
#include <QVariantMap>

#include <nlohmann/json.hpp>

#include <cstdio>
#include <fstream>

using nlohmann::json;

namespace {

// A value as the reflow coordinator hands it on from a page's message.
QVariant variantOf(const json &value)
{
    if (value.is_boolean())
        return value.get<bool>();
    if (value.is_number_integer())
        return QVariant::fromValue(value.get<qint64>());
    if (value.is_number())
        return value.get<double>();
    if (value.is_string())
        return QString::fromStdString(value.get<std::string>());
    return {};
}

json jsonOf(const QVariant &value)
{
    switch (value.typeId()) {
    case QMetaType::Bool:
        return value.toBool();
    case QMetaType::Double:
        return value.toDouble();
    case QMetaType::QString:
        return value.toString().toStdString();
    default:
        return nullptr; // never a normalized value: the comparison fails
    }
}

} // namespace

int main(int argc, char **argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: write-typography-answers CASES.json ANSWERS.json\n");
        return 2;
    }
    std::ifstream in(argv[1]);
    const json cases = json::parse(in, nullptr, false);
    if (!cases.is_array()) {
        std::fprintf(stderr, "%s: not an array of cases\n", argv[1]);
        return 1;
    }
    json answers = json::array();
    for (const json &given : cases) {
        QVariantMap values;
        for (auto it = given.begin(); it != given.end(); ++it)
            values.insert(QString::fromStdString(it.key()), variantOf(it.value()));
        json answer = json::object();
        const QVariantMap normalized = folvan::model::ReflowTypography::normalized(values);
        for (auto it = normalized.begin(); it != normalized.end(); ++it)
            answer[it.key().toStdString()] = jsonOf(it.value());
        answers.push_back(answer);
    }
    std::ofstream out(argv[2]);
    out << answers.dump(2) << '\n';
    return out ? 0 : 1;
}
