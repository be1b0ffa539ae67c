#pragma once

// Value sets that are stored or exchanged as text (a preference, a field of
// a stored file, a message of a local page) and held as an enum everywhere
// else. Each enum names its texts once, in a `textNames(E)` found beside it:
//
//     constexpr std::array<TextName<Mode>, 2> textNames(Mode)
//     { return {{{Mode::A, "a"}, {Mode::B, "b"}}}; }
//
// The text is read with fromText where it comes in and written with toText
// where it goes out.

#include <QLatin1StringView>
#include <QString>
#include <QStringView>

#include <optional>

namespace folvan::platform {

template <typename E>
struct TextName {
    E value;
    const char *text;
};

// The value whose text is exactly `text`; none for any other text.
template <typename E>
std::optional<E> fromText(QStringView text)
{
    for (const TextName<E> &name : textNames(E{}))
        if (text == QLatin1StringView(name.text))
            return name.value;
    return std::nullopt;
}

// The text of `value`, as stored.
template <typename E>
QString toText(E value)
{
    for (const TextName<E> &name : textNames(E{}))
        if (name.value == value)
            return QString::fromLatin1(name.text);
    return {};
}

} // namespace folvan::platform
