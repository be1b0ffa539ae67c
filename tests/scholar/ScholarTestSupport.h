#pragma once

// What the Scholar tests share: PDF bytes made by the fixture writer and
// prompts that answer as told and
// remember what they were asked.

#include "fixtures/PdfFixtureWriter.h"
#include "support/TestEnv.h"
#include "scholar/DownloadPrompts.h"

#include <QStringList>

#include <functional>

namespace folvan::test {

// A PDF of `pages` pages, each with one line naming it.
inline QByteArray pdfBytes(int pages, const QString &label = QStringLiteral("Page"))
{
    engine::PdfFixtureWriter writer;
    for (int i = 0; i < pages; ++i) {
        writer.addPage();
        writer.addText(i, QPointF(72, 700), QStringLiteral("%1 %2").arg(label).arg(i + 1));
    }
    return writer.data();
}

class FakePrompts : public scholar::DownloadPrompts {
public:
    // Every alert and information as "title|message".
    QStringList alerts;
    QStringList informs;
    QStringList confirmations;
    QStringList incompleteSaves;
    // The suggested name and start folder of the last save panel.
    QStringList suggestedNames;
    QUrl startFolder;
    // The answers.
    bool confirmAnswer = true;
    bool saveIncomplete = false;
    std::optional<QString> savePath;
    // Runs while the confirmation is open.
    std::function<void()> duringConfirmation;

    void alert(QWidget *, const QString &title, const QString &message) override
    {
        alerts << title + QLatin1Char('|') + message;
    }
    void inform(QWidget *, const QString &title, const QString &message) override
    {
        informs << title + QLatin1Char('|') + message;
    }
    bool confirmReplace(QWidget *, const QString &message, const QString &informativeText) override
    {
        confirmations << message + QLatin1Char('|') + informativeText;
        if (duringConfirmation)
            duringConfirmation();
        return confirmAnswer;
    }
    bool confirmIncompleteSave(QWidget *, const QString &message, const QString &informativeText) override
    {
        incompleteSaves << message + QLatin1Char('|') + informativeText;
        return saveIncomplete;
    }
    std::optional<QString> chooseSavePath(QWidget *, const QString &suggestedName, const QUrl &folder) override
    {
        suggestedNames << suggestedName;
        startFolder = folder;
        return savePath;
    }
};

} // namespace folvan::test
