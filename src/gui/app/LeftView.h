#pragma once

#include <QDate>
#include <QTreeWidget>

// The day tree in the left pane: 500 days, from 250 days before today to 249 after, each item's text
// the day as "%Y %m %d"; today is selected and shown near the middle.
class CLeftView : public QTreeWidget
{
    Q_OBJECT
public:
    static constexpr int kDays = 500;
    static constexpr int kDaysBefore = 250;

    CLeftView(const QDate& today, QWidget* parent = nullptr);

    // Selects the item with exactly this text and scrolls it into view (which selects that day); false when
    // the day lies outside the tree.
    bool SelectDay(const QString& dayText);
    // The selected item's day; invalid when none is selected.
    QDate SelectedDay() const;
    // Shows the day chosen elsewhere (the calendar): its item selected, or none when it lies outside.
    void ShowDay(const QDate& day);
    // Brings today near the middle of the visible items.
    void ScrollTodayToMiddle();

Q_SIGNALS:
    void daySelected(const QDate& day);

protected:
    void showEvent(QShowEvent* event) override;

private:
    QTreeWidgetItem* m_today = nullptr;
    bool m_scrolledOnce = false;
};
