#pragma once

#include <QWidget>

class CLogwardenDoc;
class QLabel;
class QTimer;
class QTreeWidget;

// "Regulars": the stations heard on at least two of the last four nets of the selected day's weekday that
// are not logged on it yet, newest first. It follows the log (every change the store announces, whoever
// made it) and the selected day. A double click or Return puts the station into the form as a match,
// ready for F5.
class CRegularsPanel : public QWidget
{
    Q_OBJECT
public:
    explicit CRegularsPanel(CLogwardenDoc& doc, QWidget* parent = nullptr);

    QTreeWidget* List() const { return m_list; }
    // Reads the list again now (changes are otherwise gathered and read once the window is idle).
    void Refresh();
    // The call signs shown, in order.
    QStringList Calls() const;

Q_SIGNALS:
    // A station was taken into the form.
    void taken(const QString& callSign);
    // The number of stations shown changed.
    void countChanged(int count);

private:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void Take();

    CLogwardenDoc& m_doc;
    QTreeWidget* m_list = nullptr;
    QLabel* m_caption = nullptr;
    QTimer* m_pending = nullptr;
};
