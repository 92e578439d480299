#pragma once

#include "core/net/NetStatistics.h"

#include <QDialog>
#include <QStringList>

class QChart;
class QChartView;
class QPushButton;
class QTableWidget;

// View > Net Statistics: the check-ins of every net over the last year as stacked bars (stations new to
// the log and returning ones), and a table of the most regular stations. The chart can be saved as PNG
// or SVG for the club's page.
class CNetStatisticsDlg : public QDialog
{
    Q_OBJECT
public:
    // guarded: the files a picture may never be saved over (the log); folder: where saving starts.
    CNetStatisticsDlg(const NetStatistics::CYear& year, const QStringList& guarded, const QString& folder,
                      QWidget* parent = nullptr);

    QChartView* ChartView() const { return m_view; }
    QTableWidget* Table() const { return m_table; }
    QPushButton* SavePngButton() const { return m_png; }
    QPushButton* SaveSvgButton() const { return m_svg; }

    // The chart as a PNG or an SVG file (replaced atomically); raises CFileException.
    void WritePng(const QString& path) const;
    void WriteSvg(const QString& path) const;

private:
    void Save(bool svg);

    NetStatistics::CYear m_year;
    QStringList m_guarded;
    QString m_folder;
    QChartView* m_view = nullptr;
    QTableWidget* m_table = nullptr;
    QPushButton* m_png = nullptr;
    QPushButton* m_svg = nullptr;
};
