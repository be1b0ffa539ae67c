#include "interface/HelpText.h"

#include "platform/Desktop.h"
#include "platform/Paths.h"
#include "window/PaneRules.h"

#include <QDir>
#include <QKeySequence>

#include <optional>

namespace folvan::interface {

namespace {

// The rows as written, with placeholders for what the platform names.
QList<HelpGroup> writtenGroups()
{
    return {
        {QStringLiteral("doc"), QStringLiteral("文件与续读"), {
        {QStringLiteral("{Ctrl+O} / 拖放"), QStringLiteral("打开 PDF。新论文默认双页翻书。")},
        {QStringLiteral("最近阅读"), QStringLiteral("文件菜单或空白页重新打开论文，恢复页码、缩放、仰角与模式。")},
        {QStringLiteral("{Ctrl+E}"), QStringLiteral("每日论文：选择文件夹，打开其中页数最少的 PDF。")},
        {QStringLiteral("{Ctrl+R}"), QStringLiteral("重命名；{Ctrl+1} 移动，{Ctrl+2} {reveal}，{Ctrl+3} 用默认阅读器打开，{Ctrl+4} 移到废纸篓。")},
        }},
        {QStringLiteral("book"), QStringLiteral("翻书与视角"), {
        {QStringLiteral("{Ctrl+Shift+B}"), QStringLiteral("切换翻书／滚动，保留当前页。移入右下角展开工具，也可直接切换模式。")},
        {QStringLiteral("{Ctrl+Shift+R}"), QStringLiteral("一键本机重排段落、标题与表格，再按返回原版。重排顶部可调字号、行距、行宽、字体；“排版”内可调两端对齐、段间距和首行缩进，自动保存，{Ctrl+0} 复位。公式与原版区域可点开放大、双指缩放；可靠的脚注与引用可点击跳转，用顶部“返回”回到正文。跨页续段与阅读位置自动保留。不使用 AI；无文字层保留原页。")},
        {QStringLiteral("双 PDF"), QStringLiteral("点顶部左右分栏图标，选择右侧 PDF；可拖动中间分隔线。两侧独立翻页、搜索、缩放和切换模式。蓝点标明当前阅读区，菜单和快捷键跟随它；{Ctrl+\\} 打开／收起对照，{Ctrl+Alt+\\} 切换阅读区。相同 PDF 的批注与书签同步，页码互不跟随。")},
        {QStringLiteral("← / →"), QStringLiteral("上一页／下一页；双页时翻过一跨页。也可点击纸面或拖动页角。")},
        {QStringLiteral("滚轮"), QStringLiteral("默认向下下一页、向上上一页。一次手势翻一张纸；设置可调整方向、灵敏度或改为平移。")},
        {QStringLiteral("双指捏合"), QStringLiteral("50%–400% 缩放；放大后 Shift＋滚轮或横向滚动平移。{Ctrl++} / {Ctrl+-} 也可缩放。")},
        {QStringLiteral("阅读外观"), QStringLiteral("右下角滑杆图标调节仰角、缩放、版式与纸张。{Ctrl+0} 复位视角与缩放；翻页速度在设置中调整。")},
        {QStringLiteral("悬浮工具"), QStringLiteral("移入右下角展开，离开后收起。设置可调整等待时间或固定展开。")},
        {QStringLiteral("单页 / 双页"), QStringLiteral("手动选择，默认双页。改变窗口大小或缩放不会切换版式。")},
        }},
        {QStringLiteral("magnifyingglass"), QStringLiteral("搜索与定位"), {
        {QStringLiteral("{Ctrl+F} / 搜索"), QStringLiteral("聚焦正文搜索。翻书与滚动均可直接搜索，结果在纸面高亮。")},
        {QStringLiteral("Enter / {Shift+Enter}"), QStringLiteral("下一个／上一个结果，可循环；也可点击搜索栏箭头或用 {Ctrl+Alt+G} / {Ctrl+Alt+Shift+G}。")},
        {QStringLiteral("Esc"), QStringLiteral("关闭搜索；翻书时取消拖页和等待中的翻页。")},
        {QStringLiteral("{Ctrl+D} / {Ctrl+[} / {Ctrl+]}"), QStringLiteral("添加书签／返回跳转前位置／前进。论文内链、目录、书签和搜索均可返回。")},
        {QStringLiteral("引用预览"), QStringLiteral("鼠标停在 PDF 文内链接上，预览引用或脚注；点击仍可跳转并返回。翻书与滚动均支持，可在设置中关闭。")},
        {QStringLiteral("页码 / 目录"), QStringLiteral("点击右下角页码跳转；目录按钮显示 PDF 内置目录。图片式 PDF 需先有 OCR 文字层才能搜索或选字。")},
        }},
        {QStringLiteral("highlighter"), QStringLiteral("文字与批注"), {
        {QStringLiteral("选字 / 右键"), QStringLiteral("展开右下角工具后点选字，拖选正文；双击或右键选词，{Ctrl+C} 复制。完成后关闭选字工具。")},
        {QStringLiteral("选字工具"), QStringLiteral("复制、荧光高亮、下划线与文字批注。气泡图标查看文字批注并跳转。")},
        {QStringLiteral("重排选文"), QStringLiteral("直接拖选重排正文，可复制、高亮、下划线或创建带原文来源的论文笔记；批注与原版共用，来源可跳回选中段落。")},
        {QStringLiteral("局部原版"), QStringLiteral("右键段落或点悬停时的 ⋯，选择“此段保留原版”；可随时恢复重排，按论文保存。选择“固定原版对照”后，可边读正文边核对原图，独立缩放或切换整页。")},
        {QStringLiteral("整理批注"), QStringLiteral("书签面板列出全部高亮与批注，可编辑、改色、删除、撤销和重做。可复制或导出 Markdown，保留印刷页码；PDF 导出生成新文件。")},
        {QStringLiteral("{Ctrl+5} / {Ctrl+G}"), QStringLiteral("论文笔记／Scholar 栏。笔记关联来源论文，可搜索全部论文笔记；旧版笔记也会保留。")},
        }},
        {QStringLiteral("gearshape"), QStringLiteral("偏好与数据"), {
        {QStringLiteral("{Ctrl+,}"), QStringLiteral("设置字号、翻页速度、滚轮、引用预览等待、工具收起、续读、纸张与重命名规则。")},
        {QStringLiteral("{Ctrl+Alt+M}"), QStringLiteral("播放／停止 Kovalo 广播。Scholar 与广播需要网络。")},
        {QStringLiteral("本地保存"), QStringLiteral("阅读记录与批注位于 {dataFolder}。清空最近阅读不会删除 PDF、批注、书签或笔记。")},
        }},
    };
}

// A shortcut written in portable form ("Ctrl+Shift+B") in the platform's
// own; nothing when `portable` is not one key combination as Qt writes it.
std::optional<QString> nativeShortcut(const QString &portable)
{
    const QKeySequence sequence(portable, QKeySequence::PortableText);
    if (sequence.count() != 1 || sequence[0].key() == Qt::Key_unknown
        || sequence.toString(QKeySequence::PortableText) != portable)
        return std::nullopt;
    return window::nativeShortcut(portable);
}

// Where the data folder is, from the home folder on ("~/.local/share/Folvan").
QString dataFolderName()
{
    QString folder = QDir::toNativeSeparators(platform::folvanDataFolder());
    const QString home = QDir::toNativeSeparators(QDir::homePath());
    if (folder.startsWith(home + QDir::separator()))
        folder = QStringLiteral("~") + folder.mid(home.size());
    return folder;
}

std::optional<QString> placeholderValue(const QString &name)
{
    if (name == QLatin1String("dataFolder"))
        return dataFolderName();
    if (name == QLatin1String("reveal"))
        return platform::revealInFileManagerTitle();
    return nativeShortcut(name);
}

} // namespace

HelpTextError::HelpTextError(const QString &what, const QString &text)
    : std::logic_error((what + QStringLiteral(" in the help's text: ") + text).toStdString())
{
}

QString platformHelpText(const QString &text)
{
    static const QString keySymbols = QStringLiteral("⌘⌥⇧⌃");
    QString out;
    qsizetype from = 0;
    while (from < text.size()) {
        const qsizetype open = text.indexOf(QLatin1Char('{'), from);
        const QString between = text.mid(from, open < 0 ? -1 : open - from);
        if (between.contains(QLatin1Char('}')))
            throw HelpTextError(QStringLiteral("a \"}\" without its \"{\""), text);
        for (const QChar symbol : keySymbols)
            if (between.contains(symbol))
                throw HelpTextError(QStringLiteral("a shortcut in key symbols, not in a placeholder"), text);
        out += between;
        if (open < 0)
            break;
        // The key "}" is never written in the help; the first one closes.
        const qsizetype close = text.indexOf(QLatin1Char('}'), open + 1);
        if (close < 0)
            throw HelpTextError(QStringLiteral("an unclosed placeholder"), text);
        const QString name = text.mid(open + 1, close - open - 1);
        const std::optional<QString> value = placeholderValue(name);
        if (!value)
            throw HelpTextError(QStringLiteral("the unknown placeholder {") + name + QLatin1Char('}'), text);
        out += *value;
        from = close + 1;
    }
    return out;
}

QString unbrokenShortcuts(const QString &text)
{
    QString out;
    out.reserve(text.size() + 8);
    for (qsizetype i = 0; i < text.size(); ++i) {
        out += text[i];
        // A "+" between two keys of one combination joins them.
        if (text[i] == QLatin1Char('+') && i > 0 && i + 1 < text.size() && !text[i - 1].isSpace()
            && !text[i + 1].isSpace())
            out += QChar(0x2060);
    }
    return out;
}

QList<HelpGroup> helpGroups()
{
    QList<HelpGroup> groups = writtenGroups();
    for (HelpGroup &group : groups)
        for (HelpRow &row : group.rows) {
            row.key = platformHelpText(row.key);
            row.text = platformHelpText(row.text);
        }
    return groups;
}

QList<HelpCommand> commandsWithShortcut(const QList<HelpCommand> &table)
{
    QList<HelpCommand> listed;
    for (const HelpCommand &command : table)
        if (!command.shortcutLabel.isEmpty())
            listed.append(command);
    return listed;
}

} // namespace folvan::interface
