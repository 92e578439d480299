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

    // Selects the item with exactly this text and scrolls it into view; false when the day lies outside
    // the tree.
    bool SelectDay(const QString& dayText);
    QString SelectedDay() const;
    // Brings today near the middle of the visible items.
    void ScrollTodayToMiddle();

Q_SIGNALS:
    void daySelected(const QString& dayText);

protected:
    void showEvent(QShowEvent* event) override;

private:
    QTreeWidgetItem* m_today = nullptr;
    bool m_scrolledOnce = false;
};
