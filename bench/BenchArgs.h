#pragma once

// The command line of a bench program: options with a value, flags and
// positional arguments, each taken out as it is read. Whatever is missing
// or bad (an option without its value, a number out of range, an unknown
// option, too few or too many positional arguments) prints what was wrong
// and the program's usage and exits with 2, so that a mistyped run never
// measures something else.

#include <cmath>
#include <cstdio>
#include <cstdlib>

#include <QStringList>

class BenchArgs {
public:
    // `arguments` without the program's name; `usage` is printed as it is.
    BenchArgs(QStringList arguments, const char *usage)
        : m_args(std::move(arguments))
        , m_usage(usage)
    {
        if (m_args.contains(QStringLiteral("--help")) || m_args.contains(QStringLiteral("-h"))) {
            std::printf("%s", m_usage);
            std::exit(0);
        }
    }
    BenchArgs(int argc, char **argv, const char *usage)
        : BenchArgs(fromArgv(argc, argv), usage)
    {
    }

    static QStringList fromArgv(int argc, char **argv)
    {
        QStringList args;
        for (int i = 1; i < argc; ++i)
            args << QString::fromLocal8Bit(argv[i]);
        return args;
    }

    // Takes `name VALUE` out; `fallback` when the option is not given.
    QString option(const QString &name, const QString &fallback = {})
    {
        const qsizetype at = m_args.indexOf(name);
        if (at < 0)
            return fallback;
        if (at + 1 >= m_args.size() || m_args[at + 1].startsWith(QLatin1String("--")))
            fail(QStringLiteral("%1 needs a value").arg(name));
        const QString value = m_args[at + 1];
        m_args.remove(at, 2);
        return value;
    }
    // A whole number of at least `minimum`.
    int intOption(const QString &name, int fallback, int minimum = 1)
    {
        const QString text = option(name);
        if (text.isNull())
            return fallback;
        bool ok = false;
        const int value = text.toInt(&ok);
        if (!ok || value < minimum)
            fail(QStringLiteral("%1 wants a whole number of at least %2, not \"%3\"").arg(name).arg(minimum).arg(text));
        return value;
    }
    // A number above 0.
    double positiveOption(const QString &name, double fallback)
    {
        const QString text = option(name);
        if (text.isNull())
            return fallback;
        bool ok = false;
        const double value = text.toDouble(&ok);
        if (!ok || !std::isfinite(value) || value <= 0)
            fail(QStringLiteral("%1 wants a number above 0, not \"%2\"").arg(name, text));
        return value;
    }
    // Takes a flag out with the count that may follow it, a whole number of
    // at least 1; `fallback` when the flag or the count is not given.
    int flagWithCount(const QString &name, int fallback)
    {
        const qsizetype at = m_args.indexOf(name);
        if (at < 0)
            return fallback;
        int count = fallback;
        bool number = false;
        if (at + 1 < m_args.size()) {
            const int value = m_args[at + 1].toInt(&number);
            if (number && value < 1)
                fail(QStringLiteral("%1 wants a count of at least 1, not %2").arg(name).arg(value));
            if (number) {
                count = value;
                m_args.remove(at + 1);
            }
        }
        m_args.remove(at);
        return count;
    }
    // Takes a flag out; true when it was given.
    bool flag(const QString &name) { return m_args.removeAll(name) > 0; }

    // What is left, which must be between `least` and `most` positional
    // arguments and no option.
    QStringList positional(int least, int most)
    {
        for (const QString &arg : m_args) {
            if (arg.startsWith(QLatin1String("--")))
                fail(QStringLiteral("unknown option %1").arg(arg));
        }
        if (m_args.size() < least)
            fail(QStringLiteral("missing argument"));
        if (m_args.size() > most)
            fail(QStringLiteral("unexpected argument %1").arg(m_args[most]));
        return m_args;
    }

    [[noreturn]] void fail(const QString &why) const
    {
        std::fprintf(stderr, "%s\n%s", qPrintable(why), m_usage);
        std::exit(2);
    }

private:
    QStringList m_args;
    const char *m_usage;
};
