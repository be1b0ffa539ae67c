#include "platform/PreferenceKeys.h"
#include "platform/Preferences.h"
#include "platform/ReadingModes.h"
#include "platform/UnsavedChanges.h"

#include "support/TestEnv.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTest>

#include <cmath>
#include <memory>
#include <thread>

using folvan::platform::PreferenceType;
using folvan::platform::Preferences;

namespace {

class PreferencesTest : public folvan::test::TempHomeTest {
protected:
    QString file() const { return path(QStringLiteral("prefs/Folvan.json")); }
    std::unique_ptr<Preferences> open() const { return std::make_unique<Preferences>(file()); }
};

TEST_F(PreferencesTest, ValuesKeepTheirTypeWhenTheStoreIsCreatedAgain)
{
    {
        auto store = open();
        store->setValue(QStringLiteral("folvan.wheelReverse"), true);
        store->setValue(QStringLiteral("someInt"), 42);
        store->setValue(QStringLiteral("folvan.interfaceTextSize"), 17.0);
        store->setValue(QStringLiteral("folvan.paperWarmth"), 0.38);
        store->setValue(QStringLiteral("folvan.pageLayout"), QStringLiteral("single"));
        store->setValue(QStringLiteral("blob"), QByteArray("\x00\x01\xffz", 4));
        store->setValue(QStringLiteral("numberText"), QStringLiteral("15"));
    }
    auto store = open();
    EXPECT_EQ(store->value(QStringLiteral("folvan.wheelReverse")).typeId(), QMetaType::Bool);
    EXPECT_TRUE(store->boolValue(QStringLiteral("folvan.wheelReverse")));
    EXPECT_EQ(store->value(QStringLiteral("someInt")).typeId(), QMetaType::Int);
    EXPECT_EQ(store->intValue(QStringLiteral("someInt"), 0), 42);
    // A whole double stays a double, not an integer.
    EXPECT_EQ(store->value(QStringLiteral("folvan.interfaceTextSize")).typeId(), QMetaType::Double);
    EXPECT_DOUBLE_EQ(store->doubleValue(QStringLiteral("folvan.interfaceTextSize")), 17.0);
    EXPECT_DOUBLE_EQ(store->doubleValue(QStringLiteral("folvan.paperWarmth")), 0.38);
    EXPECT_EQ(store->stringValue(QStringLiteral("folvan.pageLayout")), QStringLiteral("single"));
    EXPECT_EQ(store->bytesValue(QStringLiteral("blob")), QByteArray("\x00\x01\xffz", 4));
    // A text that looks like a number stays a text.
    EXPECT_EQ(store->value(QStringLiteral("numberText")).typeId(), QMetaType::QString);
}

TEST_F(PreferencesTest, KeysWithSlashesAndPercentSignsAreKeptVerbatim)
{
    const QString key = QStringLiteral("lastPage_/home/a//b/../c 100%2F.pdf");
    const QString other = QStringLiteral("lastPage_/home/a/b/../c 100%2F.pdf");
    {
        auto store = open();
        store->setValue(key, 7);
        store->setValue(other, 9);
    }
    auto store = open();
    EXPECT_EQ(store->intValue(key, -1), 7);
    EXPECT_EQ(store->intValue(other, -1), 9);
    EXPECT_FALSE(store->contains(QStringLiteral("lastPage_")));
    // The file holds the key as written.
    QFile f(file());
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_TRUE(f.readAll().contains("lastPage_/home/a//b/../c 100%2F.pdf"));
}

TEST_F(PreferencesTest, MissingOrMistypedValuesReadAsTheTableDefault)
{
    auto store = open();
    EXPECT_DOUBLE_EQ(store->doubleValue(QStringLiteral("folvan.turnDuration")), 2.1);
    EXPECT_TRUE(store->boolValue(QStringLiteral("folvan.resumeLastDocument")));
    EXPECT_EQ(store->stringValue(QStringLiteral("ggViewWidth")), QStringLiteral("Compact"));

    store->setValue(QStringLiteral("folvan.turnDuration"), QStringLiteral("slow"));
    store->setValue(QStringLiteral("folvan.resumeLastDocument"), 0);
    store->setValue(QStringLiteral("ggViewWidth"), 3.5);
    store->setValue(QStringLiteral("folvan.wheelReverse"), QStringLiteral("true"));
    EXPECT_DOUBLE_EQ(store->doubleValue(QStringLiteral("folvan.turnDuration")), 2.1);
    EXPECT_TRUE(store->boolValue(QStringLiteral("folvan.resumeLastDocument")));
    EXPECT_EQ(store->stringValue(QStringLiteral("ggViewWidth")), QStringLiteral("Compact"));
    EXPECT_FALSE(store->boolValue(QStringLiteral("folvan.wheelReverse")));

    // A whole number stored under a number key is that number.
    store->setValue(QStringLiteral("folvan.turnDuration"), 3);
    EXPECT_DOUBLE_EQ(store->doubleValue(QStringLiteral("folvan.turnDuration")), 3.0);
    // A fraction is not an integer.
    store->setValue(QStringLiteral("lastPage_/a.pdf"), 2.5);
    EXPECT_EQ(store->intValue(QStringLiteral("lastPage_/a.pdf"), -1), -1);
}

// A choice kept as text reads as the value its text names and as its row's
// default otherwise, whatever else is stored.
TEST_F(PreferencesTest, AChoiceKeptAsTextReadsAsItsRowsDefaultUnlessItNamesAValue)
{
    namespace platform = folvan::platform;
    namespace prefkey = platform::prefkey;
    auto store = open();
    EXPECT_EQ(store->enumValue<platform::WheelMode>(prefkey::wheelMode), platform::WheelMode::Turn);
    EXPECT_EQ(store->enumValue<platform::BookLayout>(prefkey::pageLayout), platform::BookLayout::Spread);
    EXPECT_EQ(store->enumValue<platform::ScholarWidth>(prefkey::ggViewWidth), platform::ScholarWidth::Compact);
    EXPECT_EQ(store->enumValue<platform::ReadingWidth>(prefkey::pdfViewWidth), platform::ReadingWidth::Auto);
    EXPECT_EQ(store->enumValue<platform::TextEditorsLayout>(prefkey::textEditorsLayout),
              platform::TextEditorsLayout::OneRow);

    // Texts are matched exactly; a value of another type is no text at all.
    const std::pair<QVariant, platform::WheelMode> wheel[] = {
        {QStringLiteral("pan"), platform::WheelMode::Pan}, {QStringLiteral("Pan"), platform::WheelMode::Turn},
        {QString(), platform::WheelMode::Turn},             {1, platform::WheelMode::Turn},
        {QStringLiteral("turn"), platform::WheelMode::Turn}};
    for (const auto &[stored, mode] : wheel) {
        store->setValue(prefkey::wheelMode, stored);
        EXPECT_EQ(store->enumValue<platform::WheelMode>(prefkey::wheelMode), mode) << stored.toString().toStdString();
    }
    store->setValue(prefkey::pageLayout, QStringLiteral("single"));
    EXPECT_EQ(store->enumValue<platform::BookLayout>(prefkey::pageLayout), platform::BookLayout::Single);
    store->setValue(prefkey::pageLayout, QStringLiteral("Single"));
    EXPECT_EQ(store->enumValue<platform::BookLayout>(prefkey::pageLayout), platform::BookLayout::Spread);
    store->setValue(prefkey::pdfViewWidth, QStringLiteral("Huge"));
    EXPECT_EQ(store->enumValue<platform::ReadingWidth>(prefkey::pdfViewWidth), platform::ReadingWidth::Auto);
    store->setValue(prefkey::textEditorsLayout, QStringLiteral("Three Rows"));
    EXPECT_EQ(store->enumValue<platform::TextEditorsLayout>(prefkey::textEditorsLayout),
              platform::TextEditorsLayout::ThreeRows);
    store->setValue(prefkey::textEditorsLayout, true);
    EXPECT_EQ(store->enumValue<platform::TextEditorsLayout>(prefkey::textEditorsLayout),
              platform::TextEditorsLayout::OneRow);
    // What is stored stays as it was.
    EXPECT_EQ(store->value(prefkey::pageLayout), QVariant(QStringLiteral("Single")));
}

TEST_F(PreferencesTest, DefaultsComeFromOneTableWithTheirTypes)
{
    QSet<QString> seen;
    for (const auto &entry : Preferences::defaultsTable()) {
        EXPECT_FALSE(seen.contains(QLatin1String(entry.key))) << entry.key;
        seen.insert(QLatin1String(entry.key));
    }
    const std::pair<const char *, QVariant> expected[] = {
        {"folvan.interfaceTextSize", 15.0}, {"folvan.wheelMode", QStringLiteral("turn")},
        {"folvan.referenceDelay", 0.35},    {"folvan.defaultBookMode", true},
        {"pdfViewWidth", QStringLiteral("Auto")}, {"collapseSpaces", true},
    };
    for (const auto &[key, value] : expected) {
        EXPECT_EQ(Preferences::defaultValue(QLatin1String(key)), value) << key;
        EXPECT_EQ(Preferences::defaultValue(QLatin1String(key)).typeId(), value.typeId()) << key;
    }
    EXPECT_EQ(Preferences::tableEntry(QStringLiteral("lastPage_/x/y.pdf"))->type, PreferenceType::Int);
    EXPECT_EQ(Preferences::tableEntry(QStringLiteral("no.such.key")), nullptr);

    // A range is a Double key's, holds its default, and is made of whole
    // steps (the sliders' positions).
    for (const auto &entry : Preferences::defaultsTable()) {
        const folvan::platform::PreferenceRange range = entry.range;
        if (!range.bounded())
            continue;
        EXPECT_EQ(entry.type, PreferenceType::Double) << entry.key;
        const double fallback = entry.defaultValue.toDouble();
        EXPECT_TRUE(range.lowest <= fallback && fallback <= range.highest) << entry.key;
        if (range.step > 0) {
            const double steps = (range.highest - range.lowest) / range.step;
            EXPECT_NEAR(steps, std::round(steps), 1e-9) << entry.key;
        }
    }
}

// Readers hear of a change, never of a value written again as it was.
TEST_F(PreferencesTest, OnlyAChangeSignalsAndRemovalIsStored)
{
    {
        auto store = open();
        QSignalSpy spy(store.get(), &Preferences::valueChanged);
        store->setValue(QStringLiteral("folvan.pageLayout"), QStringLiteral("single"));
        store->setValue(QStringLiteral("folvan.pageLayout"), QStringLiteral("single"));
        store->setValue(QStringLiteral("b"), 2);
        // The same number of another type reads differently (intValue).
        store->setValue(QStringLiteral("b"), 2.0);
        store->remove(QStringLiteral("folvan.pageLayout"));
        store->remove(QStringLiteral("folvan.pageLayout"));
        store->remove(QStringLiteral("never.written"));
        QStringList keys;
        for (const QList<QVariant> &signal : spy)
            keys << signal.at(0).toString();
        EXPECT_EQ(keys.join(QLatin1Char(' ')), QStringLiteral("folvan.pageLayout b b folvan.pageLayout"));
        store->setValue(QStringLiteral("b"), 2);
    }
    auto store = open();
    EXPECT_FALSE(store->contains(QStringLiteral("folvan.pageLayout")));
    EXPECT_EQ(store->stringValue(QStringLiteral("folvan.pageLayout")), QStringLiteral("spread"));
    EXPECT_EQ(store->intValue(QStringLiteral("b"), 0), 2);
}

TEST_F(PreferencesTest, UnreadableFileIsMovedAsideNotOverwritten)
{
    QDir().mkpath(path(QStringLiteral("prefs")));
    {
        QFile f(file());
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("{ not json");
    }
    {
        auto store = open();
        // Said once, with the name the file was kept under.
        EXPECT_TRUE(store->loadProblem().contains(QStringLiteral("Folvan.json.unreadable-")))
            << store->loadProblem().toStdString();
        store->setValue(QStringLiteral("x"), true);
    }
    EXPECT_TRUE(open()->loadProblem().isEmpty());
    const QStringList aside =
        QDir(path(QStringLiteral("prefs"))).entryList({QStringLiteral("Folvan.json.unreadable-*")});
    ASSERT_EQ(aside.size(), 1);
    QFile kept(path(QStringLiteral("prefs/")) + aside.first());
    ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
    EXPECT_EQ(kept.readAll(), QByteArray("{ not json"));
    EXPECT_TRUE(open()->boolValue(QStringLiteral("x"), false));
}

// An empty file holds no preference that could be read: left to read as
// "all defaults", it would bring the first-run guide back without a word.
TEST_F(PreferencesTest, AnEmptyOrBlankFileIsSaidAndSetAsideLikeAnyDamagedOne)
{
    for (const QByteArray &empty : {QByteArray(), QByteArray(" \n\t\n")}) {
        QDir(path(QStringLiteral("prefs"))).removeRecursively();
        ASSERT_TRUE(folvan::test::writeTestFile(file(), empty));
        {
            auto store = open();
            EXPECT_TRUE(store->loadProblem().contains(QStringLiteral("Folvan.json.unreadable-")))
                << store->loadProblem().toStdString();
            store->setValue(QStringLiteral("x"), true);
        }
        const QStringList aside =
            QDir(path(QStringLiteral("prefs"))).entryList({QStringLiteral("Folvan.json.unreadable-*")});
        ASSERT_EQ(aside.size(), 1) << empty.size();
        EXPECT_EQ(folvan::test::readTestFile(path(QStringLiteral("prefs/")) + aside.first()), empty);
        auto again = open();
        EXPECT_TRUE(again->loadProblem().isEmpty());
        EXPECT_TRUE(again->boolValue(QStringLiteral("x"), false));
    }
    // Emptied or damaged while the store runs: set aside before the next
    // write, never written over, and said as at start, naming the file kept.
    for (const QByteArray &damage : {QByteArray(), QByteArray("{\"x\": tru")}) {
        QDir(path(QStringLiteral("prefs"))).removeRecursively();
        auto store = open();
        QSignalSpy told(store.get(), &Preferences::fileSetAside);
        store->setValue(QStringLiteral("x"), true);
        store->sync();
        ASSERT_TRUE(folvan::test::writeTestFile(file(), damage));
        store->setValue(QStringLiteral("y"), true);
        store->sync();
        const QStringList aside =
            QDir(path(QStringLiteral("prefs"))).entryList({QStringLiteral("Folvan.json.unreadable-*")});
        ASSERT_EQ(aside.size(), 1) << damage.size();
        EXPECT_EQ(folvan::test::readTestFile(path(QStringLiteral("prefs/")) + aside.first()), damage);
        EXPECT_TRUE(open()->boolValue(QStringLiteral("y"), false));
        ASSERT_TRUE(folvan::test::waitFor([&] { return told.count() == 1; })) << damage.size();
        EXPECT_EQ(told.front().front().toString(),
                  QStringLiteral("无法读取偏好设置（%1），所有偏好已恢复为默认值；原文件已保留为 %2。")
                      .arg(damage.isEmpty() ? QStringLiteral("文件是空的") : QStringLiteral("格式不正确"), aside.first()));
    }
}

// Two readers on one preferences file: each writes what it changed, and
// neither drops what the other wrote meanwhile.
TEST_F(PreferencesTest, TwoStoresOnOneFileKeepEachOthersChanges)
{
    auto first = open();
    auto second = open();
    first->setValue(QStringLiteral("folvan.pageLayout"), QStringLiteral("single"));
    first->sync();
    second->setValue(QStringLiteral("folvan.wheelReverse"), true);
    second->sync();
    first->setValue(QStringLiteral("folvan.paperWarmth"), 0.5);
    first->sync();
    auto after = open();
    EXPECT_EQ(after->stringValue(QStringLiteral("folvan.pageLayout")), QStringLiteral("single"));
    EXPECT_TRUE(after->boolValue(QStringLiteral("folvan.wheelReverse")));
    EXPECT_EQ(after->doubleValue(QStringLiteral("folvan.paperWarmth")), 0.5);
}

// Nested too deeply, or valid only up to a NUL byte (the parser would stop
// there and the rest would be written over).
TEST_F(PreferencesTest, AFileNestedTooDeeplyOrHoldingANulIsSetAsideLikeAnyDamagedOne)
{
    for (const QByteArray &damaged : {folvan::test::deeplyNestedJson(),
                                      QByteArray("{\"next\":true}\0{\"more\":1}", 24)}) {
        QDir(path(QStringLiteral("prefs"))).removeRecursively();
        ASSERT_TRUE(folvan::test::writeTestFile(file(), damaged));
        {
            auto store = open();
            EXPECT_TRUE(store->loadProblem().contains(QStringLiteral("Folvan.json.unreadable-")))
                << store->loadProblem().toStdString();
            EXPECT_FALSE(store->contains(QStringLiteral("next")));
            store->setValue(QStringLiteral("x"), true);
        }
        const QStringList aside =
            QDir(path(QStringLiteral("prefs"))).entryList({QStringLiteral("Folvan.json.unreadable-*")});
        ASSERT_EQ(aside.size(), 1);
        EXPECT_EQ(folvan::test::readTestFile(path(QStringLiteral("prefs/")) + aside.first()), damaged);
        EXPECT_TRUE(open()->boolValue(QStringLiteral("x"), false));
    }
}

TEST_F(PreferencesTest, AFifoInPlaceOfTheFileIsSetAsideUnopened)
{
    ASSERT_TRUE(folvan::test::makeTestFifo(file()));
    auto store = open();
    EXPECT_FALSE(store->loadProblem().isEmpty());
    EXPECT_FALSE(store->contains(QStringLiteral("x")));
    const QStringList aside = QDir(path(QStringLiteral("prefs")))
                                  .entryList({QStringLiteral("Folvan.json.unreadable-*")}, QDir::System);
    ASSERT_EQ(aside.size(), 1);
    EXPECT_TRUE(folvan::test::isFifo(path(QStringLiteral("prefs/")) + aside.first()));
    store->setValue(QStringLiteral("x"), true);
    store->sync();
    EXPECT_TRUE(open()->boolValue(QStringLiteral("x"), false));
}

TEST_F(PreferencesTest, AChangeThatCannotBeWrittenIsNamedAsUnsaved)
{
    // The config folder is a file: nothing can be written under it.
    ASSERT_TRUE(folvan::test::writeTestFile(path(QStringLiteral("prefs")), "in the way"));
    auto store = open();
    store->sync();
    EXPECT_FALSE(folvan::platform::unsavedDescriptions().contains(QStringLiteral("偏好设置")));
    store->setValue(QStringLiteral("folvan.pageLayout"), QStringLiteral("single"));
    store->sync();
    EXPECT_TRUE(folvan::platform::unsavedDescriptions().contains(QStringLiteral("偏好设置")));
    EXPECT_EQ(store->stringValue(QStringLiteral("folvan.pageLayout")), QStringLiteral("single"));

    // Once the folder is back, the next write takes the change off the list.
    ASSERT_TRUE(QFile::remove(path(QStringLiteral("prefs"))));
    store->setValue(QStringLiteral("folvan.pageLayout"), QStringLiteral("spread"));
    store->sync();
    EXPECT_FALSE(folvan::platform::unsavedDescriptions().contains(QStringLiteral("偏好设置")));
    EXPECT_EQ(open()->stringValue(QStringLiteral("folvan.pageLayout")), QStringLiteral("spread"));
}

// A hand-edited file with one value no number type can hold, and a null:
// the rest is read, the bad value and the null read as absent, and a later
// write keeps the null and every other value.
TEST_F(PreferencesTest, AnUnreadableValueIsAbsentAndTheRestOfTheFileIsKept)
{
    QDir().mkpath(path(QStringLiteral("prefs")));
    {
        QFile f(file());
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(R"({"folvan.paperWarmth": 1e400, "tiny": 1e-400, "folvan.pageLayout": "single",
                    "text": "1e400 \" -1e999", "folvan.paperGrain": null, "list": [1, null, -2E+500]})");
    }
    {
        auto store = open();
        EXPECT_EQ(store->stringValue(QStringLiteral("folvan.pageLayout")), QStringLiteral("single"));
        EXPECT_FALSE(store->contains(QStringLiteral("folvan.paperWarmth")));
        EXPECT_DOUBLE_EQ(store->doubleValue(QStringLiteral("folvan.paperWarmth")), 0.12);
        EXPECT_DOUBLE_EQ(store->doubleValue(QStringLiteral("tiny"), 5), 0.0);
        EXPECT_EQ(store->stringValue(QStringLiteral("text")), QStringLiteral("1e400 \" -1e999"));
        EXPECT_FALSE(store->contains(QStringLiteral("folvan.paperGrain")));
        EXPECT_FALSE(store->value(QStringLiteral("folvan.paperGrain")).isValid());
        EXPECT_DOUBLE_EQ(store->doubleValue(QStringLiteral("folvan.paperGrain")), 0.24);
        store->setValue(QStringLiteral("hasSeenOnboarding"), true);
    }
    EXPECT_TRUE(QDir(path(QStringLiteral("prefs"))).entryList({QStringLiteral("Folvan.json.unreadable-*")}).isEmpty());
    QFile rewritten(file());
    ASSERT_TRUE(rewritten.open(QIODevice::ReadOnly));
    const QByteArray text = rewritten.readAll();
    EXPECT_TRUE(text.contains("\"folvan.paperGrain\": null")) << text.constData();
    EXPECT_TRUE(text.contains("\"folvan.pageLayout\": \"single\"")) << text.constData();
    EXPECT_TRUE(text.contains("\"hasSeenOnboarding\": true")) << text.constData();
    EXPECT_EQ(open()->stringValue(QStringLiteral("text")), QStringLiteral("1e400 \" -1e999"));
}

TEST_F(PreferencesTest, SharedStoreLivesInTheConfigFolderOfTheCurrentHome)
{
    Preferences &shared = Preferences::shared();
    EXPECT_EQ(shared.filePath(), path(QStringLiteral("config/Folvan/Folvan.json")));
    shared.setValue(QStringLiteral("hasSeenOnboarding"), true);
    shared.sync();
    EXPECT_TRUE(QFile::exists(path(QStringLiteral("config/Folvan/Folvan.json"))));
    EXPECT_EQ(&Preferences::shared(), &shared);
}

TEST_F(PreferencesTest, SharedStoreFirstUsedOnAWorkerIsWrittenByTheMainLoop)
{
    Preferences *store = nullptr;
    std::thread worker([&] { store = &Preferences::shared(); });
    worker.join();
    EXPECT_EQ(store->thread(), QCoreApplication::instance()->thread());
    store->setValue(QStringLiteral("folvan.noteTextSize"), 18.0);
    // No explicit sync: the main event loop writes the change.
    const QString file = path(QStringLiteral("config/Folvan/Folvan.json"));
    EXPECT_TRUE(folvan::test::waitFor(
        [&] {
            QFile f(file);
            return f.open(QIODevice::ReadOnly) && f.readAll().contains("folvan.noteTextSize");
        }));
}

} // namespace
