#include "platform/SystemErrors.h"

#include <QStringList>

#include <array>
#include <cerrno>
#include <cstring>

namespace folvan::platform {

namespace {

struct Cause {
    const char *said;
    std::array<int, 2> codes;
    // Qt's own words for it, beside the system's.
    const char *qtWords;
};

const std::array<Cause, 4> &causes()
{
    static const std::array<Cause, 4> table{{
        {"同名文件已存在", {EEXIST, EEXIST}, "file exists"},
        {"没有访问权限", {EACCES, EPERM}, "permission denied"},
        {"磁盘空间不足", {ENOSPC, EDQUOT}, "no space left"},
        {"磁盘是只读的", {EROFS, EROFS}, "read-only file system"},
    }};
    return table;
}

QString systemWords(int code) { return QString::fromLocal8Bit(std::strerror(code)); }

bool onlyPunctuation(const QString &text)
{
    for (const QChar c : text)
        if (!c.isSpace() && !c.isPunct())
            return false;
    return true;
}

} // namespace

QString systemErrorText(int code)
{
    for (const Cause &cause : causes())
        for (const int known : cause.codes)
            if (code == known)
                return QString::fromUtf8(cause.said);
    return systemWords(code);
}

QString describedSystemError(const QString &systemText)
{
    for (const Cause &cause : causes()) {
        // The system's whole words first, then Qt's shorter ones.
        QStringList words;
        for (const int code : cause.codes)
            words << systemWords(code);
        words << QString::fromLatin1(cause.qtWords);
        for (const QString &phrase : std::as_const(words)) {
            const qsizetype at = systemText.indexOf(phrase, 0, Qt::CaseInsensitive);
            if (at < 0)
                continue;
            const QString said = QString::fromUtf8(cause.said);
            // "Destination file exists" says no more than the cause.
            QString rest = systemText;
            rest.remove(at, phrase.size());
            rest.remove(QStringLiteral("destination"), Qt::CaseInsensitive);
            return onlyPunctuation(rest) ? said : said + QStringLiteral("（") + systemText + QStringLiteral("）");
        }
    }
    return systemText;
}

} // namespace folvan::platform
