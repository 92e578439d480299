#pragma once

#include <QHash>
#include <QString>
#include <QWidget>

class CCheckinForm;
class CUpperCaseEdit;
class QBoxLayout;
class QDateTimeEdit;
class QLabel;
class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QPushButton;
class QTimeEdit;

// The boxes of the check-in form with the matches beside them: a view of CCheckinForm's entry. What the
// operator types goes to the form at once; what a command changes comes back through entryChanged().
class CEntryPanel : public QWidget
{
    Q_OBJECT
public:
    CEntryPanel(CCheckinForm& form, QWidget* parent = nullptr);

    // The row of buttons beside "&Clear", "Add New [F5] log", "Save Current [F6]".
    QBoxLayout* ButtonRow() const { return m_buttonRow; }
    QLineEdit* CallSignBox() const;
    QLineEdit* MyGridBox() const { return m_myGrid; }
    QDateTimeEdit* DatePicker() const { return m_date; }
    QListWidget* MatchesList() const { return m_matches; }
    QPushButton* ClearButton() const { return m_clearButton; }
    QPushButton* AddButton() const { return m_addButton; }
    QPushButton* SaveButton() const { return m_saveButton; }
    // The line above the boxes that says whether they hold a new station or a correction.
    QLabel* StateLine() const { return m_stateLine; }
    QLabel* CountLabel() const { return m_countLabel; }

    // Shows the form's entry in the boxes (the matches are not rebuilt for it).
    void ShowEntry();
    // Puts the focus into the call-sign box and selects its text.
    void GoHome();
    // F1-F3: the match in that place; false when the list has fewer.
    bool TakeMatchAt(int index);
    // The time the "Time :" picker shows.
    void ShowTime(const QTime& time);

Q_SIGNALS:
    void myGridChanged(const QString& grid);

private:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void RebuildMatches();
    void OnTyped();
    void ShowDistance();
    void TakeMatch(int row);
    void StepMatch(int step);
    void ShowState();
    void OnRowsChanged();
    void MarkLoggedMatches();
    void ResetMatches();

    CCheckinForm& m_form;
    CUpperCaseEdit* m_callSign = nullptr;
    QLineEdit* m_name = nullptr;
    QLineEdit* m_addr1 = nullptr;
    QLineEdit* m_addr2 = nullptr;
    QLineEdit* m_class = nullptr;
    CUpperCaseEdit* m_yourGrid = nullptr;
    QLineEdit* m_email = nullptr;
    QLineEdit* m_myGrid = nullptr;
    QPlainTextEdit* m_comments = nullptr;
    QDateTimeEdit* m_date = nullptr;
    QTimeEdit* m_time = nullptr;
    QLabel* m_distance = nullptr;
    QLabel* m_matchesLabel = nullptr;
    QLabel* m_stateLine = nullptr;
    QLabel* m_countLabel = nullptr;
    QListWidget* m_matches = nullptr;
    QPushButton* m_clearButton = nullptr;
    QPushButton* m_addButton = nullptr;
    QPushButton* m_saveButton = nullptr;
    QBoxLayout* m_buttonRow = nullptr;
    bool m_showing = false;         // the panel itself is filling the boxes
    bool m_suppressMatch = false;   // the panel itself is moving in the matches list
    bool m_takingMatch = false;     // the call sign in the box comes from the matches list
    QHash<QString, int> m_dayCalls; // upper-case call sign -> its row (from 1) on the selected day
};
