// File > Export ADIF and File > Import ADIF in the window: the scope chosen, the work in the status bar
// with Cancel, the day list following an import.
#include "core/adif/AdifReader.h"
#include "core/db/Database.h"
#include "core/log/CheckinForm.h"
#include "core/log/CheckinQuery.h"
#include "core/log/CheckinStore.h"
#include "gui/adif/AdifModule.h"
#include "gui/app/MainFrame.h"
#include "gui/app/NetSettingsDlg.h"
#include "gui/log/DayListModel.h"
#include "gui/log/LogwardenView.h"
#include "gui/widgets/ProgressPane.h"
#include "support/gui/GuiFixture.h"

#include <QDateEdit>
#include <QFile>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QRadioButton>
#include <QtTest>
#include <SQLiteCpp/Database.h>
#include <SQLiteCpp/Statement.h>
#include <ctime>

using namespace TestSupport;

namespace {

const QDate kDay(2024, 3, 7);

// n contacts with stations of their own, on the evening of the 7th in New York.
QByteArray ManyContacts(int n)
{
    QByteArray file;
    for (int i = 0; i < n; ++i)
        file += QStringLiteral("<CALL:6>K%1<QSO_DATE:8>20240308<TIME_ON:4>0010<EOR>\n")
                    .arg(i, 5, 10, QLatin1Char('0'))
                    .toLatin1();
    return file;
}

QStringList Calls(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {QStringLiteral("<unreadable>")};
    CAdifReader reader(file);
    QStringList calls;
    CAdifRecord r;
    while (reader.Next(r))
        calls << r.Value("CALL");
    return calls;
}

} // namespace

class TestAdifMenu : public QObject
{
    Q_OBJECT

    std::unique_ptr<CGuiFixture> m_f;

    CAdifModule& Module() { return *m_f->Frame().findChild<CAdifModule*>(); }
    long Total() { return CheckinQuery::Count(m_f->Db(), {}); }

private Q_SLOTS:
    void initTestCase()
    {
        // The machine's clocks are New York's.
        qputenv("TZ", "America/New_York");
        tzset();
    }
    void init()
    {
        m_f = std::make_unique<CGuiFixture>(QDateTime(kDay, QTime(20, 15)));
        AddCheckin(m_f->Db(), {"K1A", QDateTime(QDate(2024, 3, 1), QTime(19, 0))});
        AddCheckin(m_f->Db(), {"K1B", QDateTime(kDay, QTime(19, 0))});
        AddCheckin(m_f->Db(), {"K1C", QDateTime(kDay, QTime(19, 30))});
        AddCheckin(m_f->Db(), {"K1D", QDateTime(QDate(2024, 3, 14), QTime(19, 0))});
        m_f->Restart();
    }
    void cleanup() { m_f.reset(); }

    void itemsInTheFileMenu()
    {
        QMenu* file = m_f->Frame().menuBar()->actions().first()->menu();
        const QList<QAction*> items = file->actions();
        const qsizetype at = items.indexOf(m_f->Frame().Commands().exportAll);
        QCOMPARE(items.value(at + 1), Module().ExportAction());
        QCOMPARE(items.value(at + 2), Module().ImportAction());
    }

    void exportScopes_data()
    {
        QTest::addColumn<QString>("scope");
        QTest::addColumn<QString>("file");
        QTest::addColumn<QStringList>("calls");
        QTest::newRow("the day shown") << "day"
                                       << "net.adi" << QStringList{"K1B", "K1C"};
        QTest::newRow("a range") << "range"
                                 << "net.adi" << QStringList{"K1B", "K1C", "K1D"};
        QTest::newRow("the whole log, ADX") << "all"
                                            << "net.adx" << QStringList{"K1A", "K1B", "K1C", "K1D"};
    }
    void exportScopes()
    {
        QFETCH(QString, scope);
        QFETCH(QString, file);
        QFETCH(QStringList, calls);
        m_f->Prompts().OnDialog<CAdifExportDlg>([&](CAdifExportDlg& dlg) {
            if (scope == QLatin1String("range")) {
                dlg.RangeButton()->setChecked(true);
                dlg.ToPicker()->setDate(QDate(2024, 3, 20));
            } else if (scope == QLatin1String("all")) {
                dlg.AllButton()->setChecked(true);
            }
            dlg.accept();
        });
        const QString path = m_f->Scratch().File(file);
        m_f->Prompts().Choose(path);
        Module().ExportAction()->trigger();
        QTRY_VERIFY(!Module().IsBusy());
        QCOMPARE(Calls(path), calls);
        QCOMPARE(m_f->Frame().StatusText(),
                 QStringLiteral("%1 check-ins written to %2.").arg(calls.size()).arg(file));
        QVERIFY(!m_f->Frame().Progress().Task(QStringLiteral("adifExportProgress")));
        QVERIFY(Module().ExportAction()->isEnabled());
    }

    // The station named in Net Settings is the one every exported record names.
    void stationFromTheNetSettings()
    {
        m_f->Prompts().OnDialog<CNetSettingsDlg>([](CNetSettingsDlg& dlg) {
            dlg.StationCallBox()->setText(QStringLiteral(" w4net "));
            dlg.ModeBox()->setText(QStringLiteral("ssb"));
            dlg.FrequencyBox()->setText(QStringLiteral("3.916"));
            dlg.accept();
        });
        m_f->Frame().Commands().netSettings->trigger();
        m_f->Prompts().OnDialog<CAdifExportDlg>([](CAdifExportDlg& dlg) { dlg.accept(); });
        const QString path = m_f->Scratch().File(QStringLiteral("net.adi"));
        m_f->Prompts().Choose(path);
        Module().ExportAction()->trigger();
        QTRY_VERIFY(!Module().IsBusy());
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        CAdifReader reader(file);
        CAdifRecord r;
        QVERIFY(reader.Next(r));
        QCOMPARE(r.Value("STATION_CALLSIGN"), QStringLiteral("W4NET"));
        QCOMPARE(r.Value("OPERATOR"), QStringLiteral("W4NET"));
        QCOMPARE(r.Value("MODE"), QStringLiteral("SSB"));
        QCOMPARE(r.Value("BAND"), QStringLiteral("80m"));
    }

    void importShowsOnTheDay()
    {
        const QString path = m_f->Scratch().File(QStringLiteral("other.adi"));
        // 00:10 UTC on the 8th is the evening of the 7th in New York; K1B is in the log already.
        WriteFile(path, "<CALL:4>K9NY<QSO_DATE:8>20240308<TIME_ON:4>0010<EOR>"
                        "<CALL:3>K1B<QSO_DATE:8>20240308<TIME_ON:4>0000<EOR>"
                        "<CALL:3>K1X<EOR>");
        const int before = m_f->Frame().FormView()->DayListModel()->rowCount();
        m_f->Prompts().Choose(path);
        Module().ImportAction()->trigger();
        QTRY_VERIFY(!Module().IsBusy());
        QCOMPARE(m_f->Prompts().Last(),
                 QStringLiteral("other.adi:\n1 added, 1 already in the log, 1 skipped."));
        QCOMPARE(Total(), 5);
        QTRY_COMPARE(m_f->Frame().FormView()->DayListModel()->rowCount(), before + 1);
    }

    // The import goes through the window's own store between the operator's check-ins: F5 is never held
    // up by it, and none of the file shows before the whole file is in.
    void aCheckInDuringAnImport()
    {
        const QString path = m_f->Scratch().File(QStringLiteral("big.adi"));
        WriteFile(path, ManyContacts(60000));
        m_f->Prompts().Choose(path);
        Module().ImportAction()->trigger();
        const auto inTheFile = [&] {
            SQLite::Statement st(m_f->Db().Handle(), "SELECT count(*) FROM LogwardenTab");
            st.executeStep();
            return st.getColumn(0).getInt();
        };
        QTRY_VERIFY(inTheFile() > 4 || !Module().IsBusy());
        QVERIFY(Module().IsBusy());
        QCOMPARE(Total(), 4);
        CCheckinForm& form = m_f->Doc().Form();
        form.NewStation(true);
        CCheckinRecord entry;
        entry.callSign = QStringLiteral("W1AW");
        form.SetEntry(entry);
        QVERIFY(form.Add());
        QCOMPARE(Total(), 5);
        QTRY_VERIFY_WITH_TIMEOUT(!Module().IsBusy(), 60000);
        QCOMPARE(Total(), 60005);
    }

    void cancelledImportLeavesTheLog()
    {
        const QString path = m_f->Scratch().File(QStringLiteral("big.adi"));
        WriteFile(path, ManyContacts(200000));
        m_f->Prompts().Choose(path);
        Module().ImportAction()->trigger();
        CProgressTask* task = m_f->Frame().Progress().Task(QStringLiteral("adifImportProgress"));
        QVERIFY(task && task->IsCancellable());
        task->Cancel();
        QTRY_VERIFY(!Module().IsBusy());
        QCOMPARE(Total(), 4);
        // No error: a cancel is no failure.
        QCOMPARE(m_f->Prompts().Shown(), QStringList());
        QVERIFY(Module().ImportAction()->isEnabled());
    }
};

QTEST_MAIN(TestAdifMenu)
#include "tst_adifmenu.moc"
