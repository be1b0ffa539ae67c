#include "interface/ReaderSettingsView.h"

#include "dock/PaperPresetPicker.h"
#include "history/ReadingHistory.h"
#include "interface/ReaderHelpContent.h"
#include "interface/SettingsControls.h"
#include "platform/Icons.h"
#include "platform/PreferenceKeys.h"
#include "platform/Preferences.h"
#include "platform/ReadingModes.h"
#include "platform/ReaderPreferences.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSlider>

#include <algorithm>
#include <cmath>

namespace folvan::interface {

namespace {

namespace prefkey = platform::prefkey;

platform::Preferences &defaults()
{
    return platform::Preferences::shared();
}

// Writes each key's table default.
void restoreDefaults(std::initializer_list<QLatin1String> keys)
{
    for (const QLatin1String key : keys)
        defaults().setValue(key, platform::Preferences::defaultValue(key));
}

void addFullRow(QFormLayout *form, QWidget *widget)
{
    form->addRow(widget);
}

QPushButton *formButton(const QString &text, QWidget *parent, std::function<void()> action)
{
    auto *button = new QPushButton(text, parent);
    button->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    QObject::connect(button, &QPushButton::clicked, button, std::move(action));
    return button;
}

// A value row with its slider under it.
QSlider *addValueSlider(QFormLayout *form, const QString &label, const QString &key, const QString &accessibleName,
                        std::function<QString(double)> format)
{
    addFullRow(form, valueRow(label, key, std::move(format)));
    QSlider *slider = boundSlider(key, accessibleName);
    addFullRow(form, slider);
    return slider;
}

// Enables `widget` while `condition` holds, following `keys`.
void enableWhile(QWidget *widget, const QStringList &keys, std::function<bool()> condition)
{
    followKeys(widget, keys, [widget, condition = std::move(condition)] { widget->setEnabled(condition()); });
}

} // namespace

int ReaderSettingsView::widthForInterfaceSize()
{
    // 580 at the smallest size, 18 more for each point above it.
    const double above = platform::ReaderPreferences::interfaceSize() - platform::ReaderPreferences::smallestInterfaceSize();
    return int(std::lround(std::max(580 + 18 * above, 640.0)));
}

ReaderSettingsView::ReaderSettingsView(SettingsServices services, QWidget *parent)
    : QTabWidget(parent), m_services(std::move(services))
{
    addTab(readingTab(), platform::symbolIcon(QStringLiteral("book")), QStringLiteral("阅读"));
    addTab(operationTab(), platform::symbolIcon(QStringLiteral("cursorarrow.motionlines")), QStringLiteral("操作"));
    addTab(interfaceTab(), platform::symbolIcon(QStringLiteral("rectangle.3.group")), QStringLiteral("界面"));
    addTab(fileTab(), platform::symbolIcon(QStringLiteral("doc")), QStringLiteral("文件"));
    addTab(new ReaderHelpContent(m_services.commands), platform::symbolIcon(QStringLiteral("questionmark.circle")),
           QStringLiteral("帮助"));
    followKeys(this, {prefkey::interfaceTextSize},
               [this] { setFixedSize(widthForInterfaceSize(), kHeight); });
    takeWheelOnlyWithFocus(this);
}

QWidget *ReaderSettingsView::readingTab()
{
    QFormLayout *form = nullptr;
    QWidget *tab = settingsForm(&form);
    addFullRow(form, boundToggle(QStringLiteral("启动时继续上次阅读"), prefkey::resumeLastDocument));
    form->addRow(QStringLiteral("新论文的阅读模式"),
                 boundPicker(prefkey::defaultBookMode,
                             {{true, QStringLiteral("翻书")}, {false, QStringLiteral("滚动")}}));
    form->addRow(QStringLiteral("新论文默认版式"),
                 enumPicker<platform::BookLayout>(prefkey::pageLayout, {{platform::BookLayout::Spread, QStringLiteral("双页")},
                                                                      {platform::BookLayout::Single, QStringLiteral("单页")}}));
    addFullRow(form, formNote(QStringLiteral("每篇论文分别记住页码、缩放、仰角和阅读模式。版式由你手动选择。")));
    addFullRow(form, formDivider());
    addFullRow(form, new dock::PaperPresetPicker);
    QSlider *warmth = boundSlider(prefkey::paperWarmth, QStringLiteral("纸张色温"));
    warmth->setToolTip(QStringLiteral("冷白 → 暖黄"));
    form->addRow(QStringLiteral("纸张色温"), warmth);
    QSlider *grain = boundSlider(prefkey::paperGrain, QStringLiteral("纸张纹理"));
    grain->setToolTip(QStringLiteral("细腻 → 粗糙"));
    form->addRow(QStringLiteral("纸张纹理"), grain);
    addFullRow(form, boundToggle(QStringLiteral("减少翻页动态"), prefkey::reducedBookMotion));
    addFullRow(form, formButton(QStringLiteral("恢复默认纸张"), nullptr,
                                [] { restoreDefaults({prefkey::paperWarmth, prefkey::paperGrain}); }));
    addFullRow(form, formDivider());

    history::ReadingHistory *history = &history::ReadingHistory::shared();
    QPushButton *clear = formButton(QStringLiteral("清空最近阅读列表…"), nullptr, [this] {
        if (m_services.clearHistory)
            m_services.clearHistory(window());
    });
    addFullRow(form, clear);
    auto followRecords = [clear, history] { clear->setEnabled(!history->records().isEmpty()); };
    followRecords();
    connect(history, &history::ReadingHistory::recordsChanged, clear, followRecords);
    QLabel *error = formNote(QString());
    QPalette palette = error->palette();
    palette.setColor(QPalette::WindowText, Qt::red);
    error->setPalette(palette);
    addFullRow(form, error);
    auto followError = [error, history] {
        error->setText(history->error());
        error->setVisible(!history->error().isEmpty());
    };
    followError();
    connect(history, &history::ReadingHistory::errorChanged, error, followError);
    return tab;
}

QWidget *ReaderSettingsView::operationTab()
{
    QFormLayout *form = nullptr;
    QWidget *tab = settingsForm(&form);
    const QString reduced = prefkey::reducedBookMotion;
    const QString wheelMode = prefkey::wheelMode;
    QSlider *duration = addValueSlider(form, QStringLiteral("翻页时长"), prefkey::turnDuration,
                                       QStringLiteral("翻页时长"),
                                       [](double v) { return decimalReadout(v, 1, QStringLiteral(" 秒")); });
    enableWhile(duration, {reduced}, [reduced] { return !defaults().boolValue(reduced); });
    QLabel *durationNote = formNote(QString());
    addFullRow(form, durationNote);
    followKeys(durationNote, {reduced}, [durationNote, reduced] {
        durationNote->setText(defaults().boolValue(reduced)
                                  ? QStringLiteral("减少动态已开启，翻页采用短暂过渡。")
                                  : QStringLiteral("时长越大，翻页越舒缓。单击、箭头、滚轮和拖页松手共用此设置。"));
    });
    addFullRow(form, boundToggle(QStringLiteral("减少翻页动态"), reduced));
    addFullRow(form, formDivider());
    form->addRow(QStringLiteral("翻书模式的滚轮"),
                 enumPicker<platform::WheelMode>(wheelMode, {{platform::WheelMode::Turn, QStringLiteral("翻页")},
                                                             {platform::WheelMode::Pan, QStringLiteral("平移放大的书页")}}));
    auto turning = [wheelMode] { return defaults().enumValue<platform::WheelMode>(wheelMode) == platform::WheelMode::Turn; };
    QCheckBox *reverse = boundToggle(QStringLiteral("反转滚轮翻页方向"), prefkey::wheelReverse);
    addFullRow(form, reverse);
    enableWhile(reverse, {wheelMode}, turning);
    QSlider *sensitivity = addValueSlider(form, QStringLiteral("翻页灵敏度"), prefkey::wheelSensitivity,
                                          QStringLiteral("滚轮翻页灵敏度"),
                                          [](double v) { return decimalReadout(v, 1, QStringLiteral("×")); });
    enableWhile(sensitivity, {wheelMode}, turning);
    addFullRow(form, formNote(QStringLiteral("默认向下翻到下一页，向上返回。一次滚动手势只翻一页；双页版式翻一张纸。"
                                             "放大后按住 Shift 滚动，或横向滚动，可平移。捏合缩放保持不变。")));
    addFullRow(form, formButton(QStringLiteral("恢复默认翻页操作"), nullptr, [] {
                   restoreDefaults({prefkey::turnDuration, prefkey::wheelMode, prefkey::wheelReverse,
                                    prefkey::wheelSensitivity, prefkey::reducedBookMotion});
               }));
    return tab;
}

QWidget *ReaderSettingsView::interfaceTab()
{
    QFormLayout *form = nullptr;
    QWidget *tab = settingsForm(&form);
    auto points = [](double v) { return wholeReadout(v, QStringLiteral(" pt")); };
    addValueSlider(form, QStringLiteral("界面字号"), prefkey::interfaceTextSize,
                   QStringLiteral("界面与菜单字号"), points);
    addFullRow(form, formNote(QStringLiteral("用于菜单、工具、目录、设置与帮助，不改变 PDF 文字大小。")));
    addFullRow(form, formButton(QStringLiteral("恢复默认字号"), nullptr,
                                [] { restoreDefaults({prefkey::interfaceTextSize}); }));
    addFullRow(form, formDivider());
    form->addRow(QStringLiteral("Scholar 栏宽度"),
                 enumPicker<platform::ScholarWidth>(prefkey::ggViewWidth, {{platform::ScholarWidth::Compact, QStringLiteral("紧凑")},
                                                                         {platform::ScholarWidth::Regular, QStringLiteral("标准")},
                                                                         {platform::ScholarWidth::Large, QStringLiteral("宽")},
                                                                         {platform::ScholarWidth::Extended, QStringLiteral("加宽")}}));
    form->addRow(QStringLiteral("滚动阅读宽度"),
                 enumPicker<platform::ReadingWidth>(prefkey::pdfViewWidth, {{platform::ReadingWidth::Small, QStringLiteral("窄")},
                                                                          {platform::ReadingWidth::Medium, QStringLiteral("标准")},
                                                                          {platform::ReadingWidth::Large, QStringLiteral("宽")},
                                                                          {platform::ReadingWidth::Auto, QStringLiteral("适合窗口")}}));
    addValueSlider(form, QStringLiteral("笔记正文字号"), prefkey::noteTextSize,
                   QStringLiteral("论文笔记正文字号"), points);
    addFullRow(form, formDivider());
    const QString previews = prefkey::referencePreviews;
    addFullRow(form, boundToggle(QStringLiteral("文内引用悬停预览"), previews));
    QSlider *delay = addValueSlider(form, QStringLiteral("引用预览等待"), prefkey::referenceDelay,
                                    QStringLiteral("引用预览等待时间"),
                                    [](double v) { return decimalReadout(v, 2, QStringLiteral(" 秒")); });
    enableWhile(delay, {previews}, [previews] { return defaults().boolValue(previews); });
    const QString keepExpanded = prefkey::keepReaderToolsExpanded;
    addFullRow(form, boundToggle(QStringLiteral("阅读工具保持展开"), keepExpanded));
    QSlider *hide = addValueSlider(form, QStringLiteral("工具收起等待"), prefkey::toolsHideDelay,
                                   QStringLiteral("工具自动收起等待时间"),
                                   [](double v) { return wholeReadout(v, QStringLiteral(" 秒")); });
    enableWhile(hide, {keepExpanded}, [keepExpanded] { return !defaults().boolValue(keepExpanded); });
    addFullRow(form, formNote(QStringLiteral("移入右下角展开，离开后按设定时间收起；打开面板或使用键盘时保持展开。")));
    addFullRow(form, formDivider());
    addFullRow(form, formButton(QStringLiteral("选择壁纸…"), nullptr, [this] {
                   if (m_services.selectWallpaper)
                       m_services.selectWallpaper(window());
               }));
    addFullRow(form, formButton(QStringLiteral("清除壁纸"), nullptr, [this] {
                   if (m_services.clearWallpaper)
                       m_services.clearWallpaper(window());
               }));
    addFullRow(form, formNote(QStringLiteral("以上设置与菜单栏同步。论文内容与自定义笔记标题保持原文。")));
    return tab;
}

QWidget *ReaderSettingsView::fileTab()
{
    QFormLayout *form = nullptr;
    QWidget *tab = settingsForm(&form);
    form->addRow(QStringLiteral("文件名冒号替换"),
                 boundPicker(prefkey::replacementForColon, {{QStringLiteral("-"), QStringLiteral("连字符 -")},
                                                          {QStringLiteral("_"), QStringLiteral("下划线 _")}}));
    const std::pair<const char *, QLatin1String> rules[] = {
        {"全大写标题转为词首大写", prefkey::capitalizeTitles},
        {"全小写标题转为词首大写", prefkey::capitalizeLowercaseTitles},
        {"the、and、of 等小词保留小写", prefkey::keepSmallWordsLowercase},
        {"去掉方括号与圆括号中的内容", prefkey::removeBracketedText},
        {"合并连续空格", prefkey::collapseSpaces},
        {"去掉开头编号", prefkey::removeLeadingNumbers},
    };
    for (const auto &[label, name] : rules)
        addFullRow(form, boundToggle(QString::fromUtf8(label), name));
    addFullRow(form, formNote(QStringLiteral("这些规则只在执行重命名时应用，不会自动改动现有文件。")));
    return tab;
}

} // namespace folvan::interface
