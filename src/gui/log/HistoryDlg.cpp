#include "gui/log/HistoryDlg.h"

#include "core/Exceptions.h"
#include "core/app/Settings.h"
#include "gui/app/Prompt.h"
#include "gui/log/HistoryModel.h"
#include "gui/widgets/WindowPlacement.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableView>
#include <QTimer>
#include <QVBoxLayout>

namespace {
}

CHistoryDlg::CHistoryDlg(CDatabase& db, CSettings& settings, const QString& callSign, QWidget* parent)
    : QDialog(parent), m_settings(settings), m_callSign(callSign)
{
    setObjectName(QStringLiteral("historyDialog"));
    setWindowTitle(QStringLiteral("History Dialog"));
    setSizeGripEnabled(true);
    setModal(true);

    m_model = new CHistoryModel(db, this);
    m_list = new QTableView(this);
    m_list->setObjectName(QStringLiteral("historyList"));
    m_list->setModel(m_model);
    m_list->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_list->setSelectionMode(QAbstractItemView::SingleSelection);
    m_list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_list->setShowGrid(true);
    m_list->setWordWrap(false);
    m_list->verticalHeader()->hide();
    // Fixed row heights: the view never measures rows, so it does not read them all.
    m_list->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    m_list->verticalHeader()->setDefaultSectionSize(m_list->fontMetrics().height() + 6);
    m_list->horizontalHeader()->setHighlightSections(false);
    for (int c = 0; c < CHistoryModel::ColumnCount; ++c)
        m_list->setColumnWidth(c, CHistoryModel::kWidths[c]);

    m_label = new QLabel(this);
    m_label->setObjectName(QStringLiteral("historyCount"));
    m_seeAllButton = new QPushButton(QStringLiteral("See All Records"), this);
    m_seeAllButton->setObjectName(QStringLiteral("seeAllButton"));
    m_seeAllButton->setAutoDefault(false);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_list, 1);
    auto* bottom = new QGridLayout;
    bottom->addWidget(m_label, 0, 0, Qt::AlignLeft | Qt::AlignVCenter);
    bottom->addWidget(m_seeAllButton, 0, 1, Qt::AlignCenter);
    bottom->addWidget(buttons, 0, 2, Qt::AlignRight | Qt::AlignVCenter);
    for (int c = 0; c < 3; ++c)
        bottom->setColumnStretch(c, 1);
    layout->addLayout(bottom);

    connect(m_seeAllButton, &QPushButton::clicked, this, &CHistoryDlg::OnSeeAll);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    const int left = m_settings.Get(Setting::HistLeft);
    const int top = m_settings.Get(Setting::HistTop);
    WindowPlacement::Apply(this, left, top, m_settings.Get(Setting::HistRight) - left,
                           m_settings.Get(Setting::HistBottom) - top);

    // The dialog shows first; the list is filled a moment later.
    QTimer::singleShot(kFillDelayMs, this, &CHistoryDlg::Fill);
}

CHistoryDlg::~CHistoryDlg() = default;

void CHistoryDlg::OnSeeAll()
{
    m_seeAll = !m_seeAll;
    Fill();
}

void CHistoryDlg::Fill()
{
    QApplication::setOverrideCursor(Qt::WaitCursor);
    m_list->setUpdatesEnabled(false);
    try {
        m_model->Fill(m_callSign, m_seeAll);
    } catch (const CLogwardenException& e) {
        m_model->Clear();
        QApplication::restoreOverrideCursor();
        Prompt::Warning(this, QStringLiteral("No History\n\n%1").arg(e.Message()));
        QApplication::setOverrideCursor(Qt::WaitCursor);
    }
    m_recordCount = m_model->Count();
    m_label->setText(QStringLiteral("%1 Occurrences of --> %2 <-- found")
                         .arg(m_recordCount)
                         .arg(m_seeAll ? QStringLiteral("*") : m_callSign));
    m_list->scrollToTop();
    m_list->setUpdatesEnabled(true);
    QApplication::restoreOverrideCursor();
}

void CHistoryDlg::accept()
{
    const QPoint p = pos();
    m_settings.Set(Setting::HistLeft, p.x());
    m_settings.Set(Setting::HistTop, p.y());
    m_settings.Set(Setting::HistRight, p.x() + width());
    m_settings.Set(Setting::HistBottom, p.y() + height());
    m_settings.Sync();
    QDialog::accept();
}
