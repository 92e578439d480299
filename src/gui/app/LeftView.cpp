#include "gui/app/LeftView.h"

#include "core/log/LogFilter.h"
#include "gui/widgets/Icons.h"

#include <QHeaderView>
#include <QTimer>

CLeftView::CLeftView(const QDate& today, QWidget* parent) : QTreeWidget(parent)
{
    setHeaderHidden(true);
    setColumnCount(1);
    setRootIsDecorated(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setUniformRowHeights(true);
    setObjectName(QStringLiteral("dayTree"));

    const QIcon past = Icons::DayIcon(Icons::Day::Past);
    const QIcon now = Icons::DayIcon(Icons::Day::Today);
    const QIcon future = Icons::DayIcon(Icons::Day::Future);
    QList<QTreeWidgetItem*> items;
    items.reserve(kDays);
    const QDate first = today.addDays(-kDaysBefore);
    for (int i = 0; i < kDays; ++i) {
        auto* item = new QTreeWidgetItem(QStringList{LogFilter::DayText(first.addDays(i))});
        item->setIcon(0, i < kDaysBefore ? past : (i == kDaysBefore ? now : future));
        items << item;
    }
    addTopLevelItems(items);
    m_today = items[kDaysBefore];
    setCurrentItem(m_today);

    connect(this, &QTreeWidget::currentItemChanged, this, [this](QTreeWidgetItem* current) {
        if (current)
            Q_EMIT daySelected(LogFilter::ParseDayText(current->text(0)));
    });
}

bool CLeftView::SelectDay(const QString& dayText)
{
    const QList<QTreeWidgetItem*> found = findItems(dayText, Qt::MatchExactly);
    if (found.isEmpty())
        return false;
    setCurrentItem(found.first());
    scrollToItem(found.first());
    return true;
}

QDate CLeftView::SelectedDay() const
{
    return currentItem() ? LogFilter::ParseDayText(currentItem()->text(0)) : QDate();
}

void CLeftView::ShowDay(const QDate& day)
{
    const QSignalBlocker block(this);
    const QList<QTreeWidgetItem*> found = findItems(LogFilter::DayText(day), Qt::MatchExactly);
    if (found.isEmpty()) {
        setCurrentItem(nullptr);
        clearSelection();
        return;
    }
    setCurrentItem(found.first());
    scrollToItem(found.first());
}

void CLeftView::ScrollTodayToMiddle()
{
    // Show the item half a page above today at the top, so today sits near the middle.
    const int rowHeight = qMax(1, sizeHintForRow(0));
    const int visibleRows = qMax(1, viewport()->height() / rowHeight);
    const int top = qMax(0, kDaysBefore - visibleRows / 2);
    scrollToItem(topLevelItem(top), QAbstractItemView::PositionAtTop);
}

void CLeftView::showEvent(QShowEvent* event)
{
    QTreeWidget::showEvent(event);
    if (!m_scrolledOnce) {
        m_scrolledOnce = true;
        // After the splitter has given the pane its height.
        QTimer::singleShot(0, this, &CLeftView::ScrollTodayToMiddle);
    }
}
