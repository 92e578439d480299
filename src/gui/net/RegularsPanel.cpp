#include "gui/net/RegularsPanel.h"

#include "core/Exceptions.h"
#include "core/log/CheckinForm.h"
#include "core/log/CheckinStore.h"
#include "core/net/NetRegulars.h"
#include "gui/app/LogwardenDoc.h"

#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QTimer>
#include <QTreeWidget>
#include <QVBoxLayout>

CRegularsPanel::CRegularsPanel(CLogwardenDoc& doc, QWidget* parent) : QWidget(parent), m_doc(doc)
{
    setObjectName(QStringLiteral("regularsPanel"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    m_caption = new QLabel(this);
    m_caption->setObjectName(QStringLiteral("regularsCaption"));
    m_caption->setWordWrap(true); // the page is as narrow as the calendar
    layout->addWidget(m_caption);
    m_list = new QTreeWidget(this);
    m_list->setObjectName(QStringLiteral("regularsList"));
    m_list->setHeaderLabels({QStringLiteral("Call"), QStringLiteral("Name"), QStringLiteral("Last heard"),
                             QStringLiteral("Nets")});
    m_list->setRootIsDecorated(false);
    m_list->setUniformRowHeights(true);
    m_list->setAllColumnsShowFocus(true);
    m_list->header()->setStretchLastSection(false);
    m_list->installEventFilter(this);
    layout->addWidget(m_list, 1);
    connect(m_list, &QTreeWidget::itemDoubleClicked, this, [this] { Take(); });

    // Many changes at once (a pre-net move, a remote batch) are read once.
    m_pending = new QTimer(this);
    m_pending->setSingleShot(true);
    m_pending->setInterval(0);
    connect(m_pending, &QTimer::timeout, this, &CRegularsPanel::Refresh);
    const auto later = [this] { m_pending->start(); };
    CCheckinStore& store = doc.Store();
    connect(&store, &CCheckinStore::checkinAdded, this, later);
    connect(&store, &CCheckinStore::checkinChanged, this, later);
    connect(&store, &CCheckinStore::checkinsRemoved, this, later);
    connect(&store, &CCheckinStore::logReset, this, later);
    connect(&doc.Form(), &CCheckinForm::dayChanged, this, later);
    Refresh();
}

void CRegularsPanel::Refresh()
{
    m_pending->stop();
    const QDate day = m_doc.Form().Day();
    const QString selected = m_list->currentItem() ? m_list->currentItem()->text(0) : QString();
    std::vector<NetRegulars::CRegular> missing;
    QString error;
    try {
        missing = NetRegulars::Missing(m_doc.LogReader(), day);
    } catch (const CLogwardenException& e) {
        error = e.Message();
    }
    m_list->clear();
    QList<QTreeWidgetItem*> items;
    for (const NetRegulars::CRegular& r : missing) {
        auto* item = new QTreeWidgetItem(QStringList{r.callSign, r.name,
                                                     r.lastHeard.toString(QStringLiteral("MM/dd/yyyy")),
                                                     QString::number(r.times)});
        items << item;
    }
    m_list->addTopLevelItems(items);
    for (QTreeWidgetItem* item : std::as_const(items))
        if (item->text(0) == selected)
            m_list->setCurrentItem(item);
    m_caption->setText(!error.isEmpty()  ? error
                       : missing.empty() ? QStringLiteral("Every regular of this net is logged.")
                                         : QStringLiteral("%1 regulars not heard yet:").arg(missing.size()));
    Q_EMIT countChanged(int(missing.size()));
}

QStringList CRegularsPanel::Calls() const
{
    QStringList calls;
    for (int i = 0; i < m_list->topLevelItemCount(); ++i)
        calls << m_list->topLevelItem(i)->text(0);
    return calls;
}

bool CRegularsPanel::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_list && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            Take();
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void CRegularsPanel::Take()
{
    QTreeWidgetItem* item = m_list->currentItem();
    if (!item)
        return;
    const QString call = item->text(0);
    if (m_doc.Form().TakeMatch(call))
        Q_EMIT taken(call);
}
