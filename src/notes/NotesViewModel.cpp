#include "notes/NotesViewModel.h"

#include "platform/PreferenceKeys.h"
#include "platform/Preferences.h"

namespace folvan::notes {

namespace {

QString slotSuffix(int slot)
{
    return slot == 0 ? QString() : QString::number(slot);
}

} // namespace

QString NotesViewModel::textKey(int slot)
{
    return QString(platform::prefkey::savedNotesPrefix) + slotSuffix(slot);
}

QString NotesViewModel::labelKey(int slot)
{
    return QString(platform::prefkey::savedNotesLabelPrefix) + slotSuffix(slot);
}

NotesViewModel::NotesViewModel(platform::Preferences *preferences, QObject *parent)
    : QObject(parent)
    , m_preferences(preferences ? preferences : &platform::Preferences::shared())
{
    for (int slot = 0; slot < kSlots; ++slot) {
        m_values[slot] = m_preferences->stringValue(textKey(slot), QString());
        m_values[kSlots + slot] = m_preferences->stringValue(labelKey(slot), QString());
    }
}

void NotesViewModel::setValue(int index, const QString &value)
{
    m_values[index] = value;
    static constexpr void (NotesViewModel::*changed[kValueCount])() = {
        &NotesViewModel::notesTextChanged,   &NotesViewModel::notesText1Changed,
        &NotesViewModel::notesText2Changed,  &NotesViewModel::notesText3Changed,
        &NotesViewModel::notesLabelChanged,  &NotesViewModel::notesLabel1Changed,
        &NotesViewModel::notesLabel2Changed, &NotesViewModel::notesLabel3Changed};
    emit(this->*changed[index])();
}

void NotesViewModel::setNotesText(const QString &text) { setValue(0, text); }
void NotesViewModel::setNotesText1(const QString &text) { setValue(1, text); }
void NotesViewModel::setNotesText2(const QString &text) { setValue(2, text); }
void NotesViewModel::setNotesText3(const QString &text) { setValue(3, text); }
void NotesViewModel::setNotesLabel(const QString &label) { setValue(kSlots + 0, label); }
void NotesViewModel::setNotesLabel1(const QString &label) { setValue(kSlots + 1, label); }
void NotesViewModel::setNotesLabel2(const QString &label) { setValue(kSlots + 2, label); }
void NotesViewModel::setNotesLabel3(const QString &label) { setValue(kSlots + 3, label); }

void NotesViewModel::saveNotes()
{
    // The four texts, then the four labels.
    for (int index = 0; index < kValueCount; ++index) {
        const int slot = index % kSlots;
        m_preferences->setValue(index < kSlots ? textKey(slot) : labelKey(slot), m_values[index]);
    }
}

void NotesViewModel::handleClearAll()
{
    for (int slot = 0; slot < kSlots; ++slot)
        setValue(slot, QString());
    saveNotes();
}

} // namespace folvan::notes
