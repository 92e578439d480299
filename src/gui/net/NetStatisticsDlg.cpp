#include "gui/net/NetStatisticsDlg.h"

#include "core/app/OutputCheck.h"
#include "gui/app/Prompt.h"

#include <QBarCategoryAxis>
#include <QBarSet>
#include <QBuffer>
#include <QChart>
#include <QChartView>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QPainter>
#include <QPushButton>
#include <QSplitter>
#include <QStackedBarSeries>
#include <QSvgGenerator>
#include <QTableWidget>
#include <QVBoxLayout>
#include <QValueAxis>

CNetStatisticsDlg::CNetStatisticsDlg(const NetStatistics::CYear& year, const QStringList& guarded,
                                     const QString& folder, QWidget* parent)
    : QDialog(parent), m_year(year), m_guarded(guarded), m_folder(folder)
{
    setObjectName(QStringLiteral("netStatistics"));
    setWindowTitle(QStringLiteral("Net Statistics"));
    setSizeGripEnabled(true);

    auto* newSet = new QBarSet(QStringLiteral("New stations"));
    auto* returningSet = new QBarSet(QStringLiteral("Returning stations"));
    QStringList days;
    int most = 0;
    for (const NetStatistics::CNet& n : year.nets) {
        *newSet << n.newStations;
        *returningSet << n.returning;
        days << n.day.toString(QStringLiteral("MM/dd"));
        most = std::max(most, n.Total());
    }
    auto* series = new QStackedBarSeries;
    series->append(returningSet);
    series->append(newSet);
    auto* chart = new QChart;
    chart->setTitle(QStringLiteral("Check-ins per net, %1 to %2")
                        .arg(year.from.toString(QStringLiteral("MM/dd/yyyy")),
                             year.to.toString(QStringLiteral("MM/dd/yyyy"))));
    chart->addSeries(series);
    auto* x = new QBarCategoryAxis;
    x->append(days);
    x->setLabelsAngle(-90);
    chart->addAxis(x, Qt::AlignBottom);
    series->attachAxis(x);
    auto* y = new QValueAxis;
    // Whole stations on the ticks: a step of 1, 2, 5, 10, 20, ... giving at most ten of them.
    const int step = [most] {
        for (int decade = 1;; decade *= 10)
            for (const int m : {1, 2, 5})
                if (most <= m * decade * 10)
                    return m * decade;
    }();
    y->setTickType(QValueAxis::TicksDynamic);
    y->setTickAnchor(0);
    y->setTickInterval(step);
    y->setRange(0, std::max(step, (most + step - 1) / step * step));
    y->setLabelFormat(QStringLiteral("%d"));
    chart->addAxis(y, Qt::AlignLeft);
    series->attachAxis(y);
    chart->legend()->setAlignment(Qt::AlignBottom);
    // Drawn at once and the same offscreen as on the screen.
    chart->setAnimationOptions(QChart::NoAnimation);
    m_view = new QChartView(chart, this);
    m_view->setObjectName(QStringLiteral("netChart"));
    m_view->setRenderHint(QPainter::Antialiasing);
    m_view->setMinimumSize(560, 320);

    m_table = new QTableWidget(int(year.regulars.size()), 4, this);
    m_table->setObjectName(QStringLiteral("regularStations"));
    m_table->setHorizontalHeaderLabels({QStringLiteral("Call"), QStringLiteral("Name"),
                                        QStringLiteral("Nets"), QStringLiteral("Last heard")});
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->verticalHeader()->setVisible(false);
    for (int row = 0; row < year.regulars.size(); ++row) {
        const NetStatistics::CStation& s = year.regulars[row];
        const QStringList cells{s.callSign, s.name, QString::number(s.nets),
                                s.lastHeard.toString(QStringLiteral("MM/dd/yyyy"))};
        for (int c = 0; c < cells.size(); ++c)
            m_table->setItem(row, c, new QTableWidgetItem(cells[c]));
    }
    m_table->resizeColumnsToContents();

    auto* split = new QSplitter(Qt::Horizontal, this);
    split->addWidget(m_view);
    split->addWidget(m_table);
    split->setStretchFactor(0, 3);
    split->setStretchFactor(1, 1);

    m_png = new QPushButton(QStringLiteral("Save &PNG..."), this);
    m_svg = new QPushButton(QStringLiteral("Save S&VG..."), this);
    auto* close = new QPushButton(QStringLiteral("Close"), this);
    close->setDefault(true);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(m_png);
    buttons->addWidget(m_svg);
    buttons->addStretch(1);
    buttons->addWidget(close);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(split, 1);
    layout->addLayout(buttons);
    connect(m_png, &QPushButton::clicked, this, [this] { Save(false); });
    connect(m_svg, &QPushButton::clicked, this, [this] { Save(true); });
    connect(close, &QPushButton::clicked, this, &QDialog::reject);
    resize(960, 560);
}

void CNetStatisticsDlg::WritePng(const QString& path) const
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    m_view->grab().save(&buffer, "PNG");
    OutputCheck::WriteText(path, bytes, m_guarded);
}

void CNetStatisticsDlg::WriteSvg(const QString& path) const
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QSvgGenerator svg;
    svg.setOutputDevice(&buffer);
    svg.setSize(m_view->size());
    svg.setViewBox(QRect(QPoint(0, 0), m_view->size()));
    svg.setTitle(m_view->chart()->title());
    {
        QPainter painter(&svg);
        m_view->render(&painter);
    }
    OutputCheck::WriteText(path, bytes, m_guarded);
}

void CNetStatisticsDlg::Save(bool svg)
{
    Prompt::CFileRequest request;
    request.caption = svg ? QStringLiteral("Save the chart as SVG") : QStringLiteral("Save the chart as PNG");
    request.folder = m_folder;
    request.proposedName =
        QStringLiteral("Nets-%1.%2").arg(m_year.to.toString(Qt::ISODate), svg ? "svg" : "png");
    request.filters = {svg ? QStringLiteral("SVG pictures (*.svg)") : QStringLiteral("PNG pictures (*.png)")};
    request.defaultSuffix = svg ? QStringLiteral("svg") : QStringLiteral("png");
    const QString path = Prompt::SaveFileName(this, request);
    if (path.isEmpty())
        return;
    Prompt::Guard(this, [&] { svg ? WriteSvg(path) : WritePng(path); });
}
