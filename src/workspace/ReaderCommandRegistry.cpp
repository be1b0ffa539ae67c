#include "workspace/ReaderCommandRegistry.h"

#include "platform/Desktop.h"
#include "workspace/RadioPlayer.h"

#include <QtGlobal>

#include <array>
#include <cstdlib>

namespace folvan::workspace {

namespace {

using ID = ReaderCommandID;
using G = ReaderCommandGroup;

constexpr Qt::KeyboardModifiers C = Qt::ControlModifier;
constexpr Qt::KeyboardModifiers CO = Qt::ControlModifier | Qt::AltModifier;
constexpr Qt::KeyboardModifiers CS = Qt::ControlModifier | Qt::ShiftModifier;
constexpr Qt::KeyboardModifiers COS = Qt::ControlModifier | Qt::AltModifier | Qt::ShiftModifier;

struct Name {
    ID id;
    const char *raw;
};

constexpr std::array<Name, 36> kNames{{
    {ID::open, "open"}, {ID::pod, "pod"}, {ID::close, "close"}, {ID::rename, "rename"},
    {ID::move, "move"}, {ID::reveal, "reveal"}, {ID::external, "external"}, {ID::trash, "trash"},
    {ID::reflow, "reflow"}, {ID::newNote, "newNote"}, {ID::comparison, "comparison"},
    {ID::focusPane, "focusPane"}, {ID::back, "back"}, {ID::forward, "forward"},
    {ID::bookmark, "bookmark"}, {ID::find, "find"}, {ID::nextMatch, "nextMatch"},
    {ID::previousMatch, "previousMatch"}, {ID::mode, "mode"}, {ID::zoomIn, "zoomIn"},
    {ID::zoomOut, "zoomOut"}, {ID::reset, "reset"}, {ID::outline, "outline"}, {ID::notes, "notes"},
    {ID::scholar, "scholar"}, {ID::radio, "radio"}, {ID::copy, "copy"}, {ID::highlight, "highlight"},
    {ID::underline, "underline"}, {ID::undoAnnotation, "undoAnnotation"},
    {ID::redoAnnotation, "redoAnnotation"}, {ID::copyAnnotations, "copyAnnotations"},
    {ID::exportAnnotations, "exportAnnotations"}, {ID::exportPDF, "exportPDF"},
    {ID::palette, "palette"}, {ID::help, "help"},
}};

ReaderCommand row(ID id, QString title, G group, const char *key, Qt::KeyboardModifiers modifiers)
{
    return {id, std::move(title), group, key ? std::optional<QString>(QString::fromLatin1(key)) : std::nullopt,
            modifiers};
}

ReaderCommand row(ID id, const char *title, G group, const char *key, Qt::KeyboardModifiers modifiers)
{
    return row(id, QString::fromUtf8(title), group, key, modifiers);
}

std::vector<ReaderCommand> buildTable()
{
    return {
        row(ID::open, "打开 PDF…", G::file, "o", C),
        row(ID::pod, "每日论文…", G::file, "e", C),
        row(ID::close, "关闭论文", G::file, nullptr, C),
        row(ID::rename, "重命名论文…", G::file, "r", C),
        row(ID::move, "移动论文…", G::file, "1", C),
        row(ID::reveal, platform::revealInFileManagerTitle(), G::file, "2", C),
        row(ID::external, "用默认阅读器打开", G::file, "3", C),
        row(ID::trash, "移到废纸篓…", G::file, "4", C),
        row(ID::back, "返回阅读位置", G::reading, "[", C),
        row(ID::forward, "前进阅读位置", G::reading, "]", C),
        row(ID::bookmark, "添加／移除此页书签", G::reading, "d", C),
        row(ID::find, "查找正文", G::reading, "f", C),
        row(ID::nextMatch, "下一个结果", G::reading, "g", CO),
        row(ID::previousMatch, "上一个结果", G::reading, "g", COS),
        row(ID::comparison, "打开／收起右侧 PDF 对照…", G::reading, "\\", C),
        row(ID::focusPane, "切换左右阅读区", G::reading, "\\", CO),
        row(ID::reflow, "开启／关闭文字重排", G::reading, "r", CS),
        row(ID::newNote, "新建本篇论文笔记", G::other, "n", CO),
        row(ID::mode, "切换翻书／滚动", G::reading, "b", CS),
        row(ID::zoomIn, "放大", G::reading, "+", C),
        row(ID::zoomOut, "缩小", G::reading, "-", C),
        row(ID::reset, "复位视角与缩放", G::reading, "0", C),
        row(ID::outline, "显示／隐藏目录", G::reading, nullptr, C),
        row(ID::notes, "显示／隐藏论文笔记", G::reading, "5", C),
        row(ID::scholar, "显示／隐藏 Scholar", G::reading, "g", C),
        row(ID::radio, "播放／停止广播", G::reading, "m", CO),
        row(ID::highlight, "高亮所选文字", G::annotation, "h", CS),
        row(ID::underline, "为所选文字加下划线", G::annotation, "u", CS),
        row(ID::undoAnnotation, "撤销批注", G::annotation, "z", CO),
        row(ID::redoAnnotation, "重做批注", G::annotation, "z", COS),
        row(ID::copyAnnotations, "复制全部批注", G::annotation, nullptr, C),
        row(ID::exportAnnotations, "导出批注 Markdown…", G::annotation, nullptr, C),
        row(ID::exportPDF, "导出批注 PDF…", G::annotation, nullptr, C),
        row(ID::copy, "复制所选正文", G::other, "c", CS),
        row(ID::palette, "命令面板…", G::other, "p", CS),
        row(ID::help, "Folvan 使用帮助", G::other, "/", C),
    };
}

template <typename... Args, typename F>
void call(const F &action, Args... args)
{
    if (action)
        action(args...);
}

} // namespace

QString rawValue(ReaderCommandID id)
{
    for (const Name &name : kNames)
        if (name.id == id)
            return QString::fromLatin1(name.raw);
    return {};
}

std::optional<ReaderCommandID> readerCommandID(const QString &raw)
{
    for (const Name &name : kNames)
        if (raw == QLatin1String(name.raw))
            return name.id;
    return std::nullopt;
}

QKeySequence ReaderCommand::shortcut() const
{
    if (!key || key->isEmpty())
        return {};
    // Qt's key codes of printable ASCII characters are the characters
    // themselves, letters in upper case.
    const int code = key->at(0).toUpper().unicode();
    int mods = 0;
    if (modifiers & Qt::ControlModifier)
        mods |= Qt::CTRL;
    if (modifiers & Qt::AltModifier)
        mods |= Qt::ALT;
    if (modifiers & Qt::ShiftModifier)
        mods |= Qt::SHIFT;
    return QKeySequence(QKeyCombination::fromCombined(mods | code));
}

QList<QKeySequence> ReaderCommand::shortcuts() const
{
    QList<QKeySequence> keys;
    const QKeySequence main = shortcut();
    if (main.isEmpty())
        return keys;
    keys.append(main);
    if (id == ID::copy)
        keys += QKeySequence::keyBindings(QKeySequence::Copy);
    if (*key == QLatin1String("+"))
        keys.append(QKeySequence(QKeyCombination::fromCombined(main[0].keyboardModifiers().toInt() | Qt::Key_Equal)));
    return keys;
}

QString ReaderCommand::shortcutLabel() const
{
    return shortcut().toString(QKeySequence::NativeText);
}

bool ReaderCommand::isEnabled(const pane::ReaderActions &reader) const
{
    switch (id) {
    case ID::open: case ID::pod: case ID::comparison: case ID::notes: case ID::scholar:
    case ID::radio: case ID::palette: case ID::help:
        return true;
    case ID::focusPane:
        return reader.comparisonOpen;
    case ID::back:
        return reader.canGoBack;
    case ID::forward:
        return reader.canGoForward;
    case ID::nextMatch: case ID::previousMatch:
        return reader.hasMatches;
    case ID::copy: case ID::highlight: case ID::underline:
        return reader.hasSelection;
    case ID::undoAnnotation:
        return reader.canUndoAnnotation;
    case ID::redoAnnotation:
        return reader.canRedoAnnotation;
    case ID::copyAnnotations: case ID::exportAnnotations:
        return reader.hasAnnotations;
    case ID::close: case ID::rename: case ID::move: case ID::reveal: case ID::external: case ID::trash:
    case ID::reflow: case ID::newNote: case ID::bookmark: case ID::find: case ID::mode: case ID::zoomIn:
    case ID::zoomOut: case ID::reset: case ID::outline: case ID::exportPDF:
        return reader.hasDocument;
    }
    return false;
}

void ReaderCommand::perform(const pane::ReaderActions &reader) const
{
    if (!isEnabled(reader))
        return;
    switch (id) {
    case ID::open: call(reader.open); break;
    case ID::pod: call(reader.pod); break;
    case ID::close: call(reader.close); break;
    case ID::rename: call(reader.rename); break;
    case ID::move: call(reader.move); break;
    case ID::reveal: call(reader.reveal); break;
    case ID::external: call(reader.external); break;
    case ID::trash: call(reader.trash); break;
    case ID::reflow: call(reader.reflow); break;
    case ID::newNote: call(reader.newNote); break;
    case ID::comparison: call(reader.toggleComparison); break;
    case ID::focusPane: call(reader.focusOtherPane); break;
    case ID::back: call(reader.goBack); break;
    case ID::forward: call(reader.goForward); break;
    case ID::bookmark: call(reader.bookmark); break;
    case ID::find: call(reader.find); break;
    case ID::nextMatch: call(reader.nextMatch, true); break;
    case ID::previousMatch: call(reader.nextMatch, false); break;
    case ID::mode: call(reader.switchMode); break;
    case ID::zoomIn: call(reader.zoom, 0.1); break;
    case ID::zoomOut: call(reader.zoom, -0.1); break;
    case ID::reset: call(reader.resetView); break;
    case ID::outline: call(reader.outline); break;
    case ID::notes: call(reader.notes); break;
    case ID::scholar: call(reader.scholar); break;
    case ID::radio: RadioPlayer::shared().toggle(); break;
    case ID::copy: call(reader.copy); break;
    case ID::highlight: call(reader.highlight); break;
    case ID::underline: call(reader.underline); break;
    case ID::undoAnnotation: call(reader.undoAnnotation); break;
    case ID::redoAnnotation: call(reader.redoAnnotation); break;
    case ID::copyAnnotations: call(reader.copyAnnotations); break;
    case ID::exportAnnotations: call(reader.exportAnnotations); break;
    case ID::exportPDF: call(reader.exportPDF); break;
    case ID::palette: call(reader.commandPalette); break;
    case ID::help: call(reader.help); break;
    }
}

const std::vector<ReaderCommand> &ReaderCommandRegistry::all()
{
    static const std::vector<ReaderCommand> table = buildTable();
    return table;
}

std::vector<ReaderCommand> ReaderCommandRegistry::commands(ReaderCommandGroup group)
{
    std::vector<ReaderCommand> rows;
    for (const ReaderCommand &row : all())
        if (row.group == group)
            rows.push_back(row);
    return rows;
}

const ReaderCommand &ReaderCommandRegistry::command(ReaderCommandID id)
{
    for (const ReaderCommand &row : all())
        if (row.id == id)
            return row;
    qFatal("No row in the command table for %s", qPrintable(rawValue(id)));
    std::abort();
}

} // namespace folvan::workspace
