#pragma once

// The older notes pad: four free-text slots with a label each, kept as
// strings in the preferences. The paper notes library takes its non-empty
// slots over once (PaperNotesStore); nothing shows the pad any more.

#include <QObject>
#include <QString>

#include <array>

namespace folvan::platform {
class Preferences;
}

namespace folvan::notes {

class NotesViewModel : public QObject {
    Q_OBJECT
    Q_PROPERTY(QString notesText READ notesText WRITE setNotesText NOTIFY notesTextChanged)
    Q_PROPERTY(QString notesText1 READ notesText1 WRITE setNotesText1 NOTIFY notesText1Changed)
    Q_PROPERTY(QString notesText2 READ notesText2 WRITE setNotesText2 NOTIFY notesText2Changed)
    Q_PROPERTY(QString notesText3 READ notesText3 WRITE setNotesText3 NOTIFY notesText3Changed)
    Q_PROPERTY(QString notesLabel READ notesLabel WRITE setNotesLabel NOTIFY notesLabelChanged)
    Q_PROPERTY(QString notesLabel1 READ notesLabel1 WRITE setNotesLabel1 NOTIFY notesLabel1Changed)
    Q_PROPERTY(QString notesLabel2 READ notesLabel2 WRITE setNotesLabel2 NOTIFY notesLabel2Changed)
    Q_PROPERTY(QString notesLabel3 READ notesLabel3 WRITE setNotesLabel3 NOTIFY notesLabel3Changed)

public:
    // The preference key of a slot's text ("SavedNotes", "SavedNotes1", ...)
    // and of its label ("SavedNotesLabel", "SavedNotesLabel1", ...); slots
    // count from 0.
    static QString textKey(int slot);
    static QString labelKey(int slot);

    // A pad over `preferences` (the shared store when none is given),
    // showing what it holds under the pad's keys.
    explicit NotesViewModel(platform::Preferences *preferences = nullptr, QObject *parent = nullptr);

    QString notesText() const { return m_values[0]; }
    QString notesText1() const { return m_values[1]; }
    QString notesText2() const { return m_values[2]; }
    QString notesText3() const { return m_values[3]; }
    QString notesLabel() const { return m_values[kSlots + 0]; }
    QString notesLabel1() const { return m_values[kSlots + 1]; }
    QString notesLabel2() const { return m_values[kSlots + 2]; }
    QString notesLabel3() const { return m_values[kSlots + 3]; }

    void setNotesText(const QString &text);
    void setNotesText1(const QString &text);
    void setNotesText2(const QString &text);
    void setNotesText3(const QString &text);
    void setNotesLabel(const QString &label);
    void setNotesLabel1(const QString &label);
    void setNotesLabel2(const QString &label);
    void setNotesLabel3(const QString &label);

    // Stores the four texts, then the four labels, each as a string under
    // its key.
    void saveNotes();

public slots:
    // Empties the four texts, keeps the labels, and saves.
    void handleClearAll();

signals:
    void notesTextChanged();
    void notesText1Changed();
    void notesText2Changed();
    void notesText3Changed();
    void notesLabelChanged();
    void notesLabel1Changed();
    void notesLabel2Changed();
    void notesLabel3Changed();

private:
    static constexpr int kSlots = 4;
    static constexpr int kValueCount = 2 * kSlots;
    // Sets one of the eight values (the texts, then the labels) and
    // publishes the change.
    void setValue(int index, const QString &value);

    platform::Preferences *m_preferences;
    std::array<QString, kValueCount> m_values;
};

} // namespace folvan::notes
