// The check-in form driven with keys, as an operator would, and checked against the log afterwards.
#include "core/log/CheckinForm.h"
#include "core/log/LogFilter.h"
#include "core/log/LogQueries.h"
#include "core/log/LogSchema.h"
#include "gui/app/LeftView.h"
#include "gui/log/DayListModel.h"
#include "gui/log/LogwardenView.h"
#include "support/gui/GuiFixture.h"

#include <QCalendarWidget>
#include <QDateTimeEdit>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSlider>
#include <QTableView>
#include <QtTest>

using namespace TestSupport;

namespace {

const QDate kDay(2024, 3, 7);
const QDateTime kNow(kDay, QTime(19, 2, 30));

QDateTime At(int hour, int minute, const QDate& day = kDay)
{
    return QDateTime(day, QTime(hour, minute));
}

} // namespace

class TestCheckinForm : public QObject
{
    Q_OBJECT

    std::unique_ptr<CGuiFixture> m_f;

    CLogwardenView& Form() { return *m_f->Frame().FormView(); }
    template <class T = QWidget> T* W(const char* name)
    {
        T* w = Form().findChild<T*>(QString::fromLatin1(name));
        if (!w)
            qFatal("no widget %s", name);
        return w;
    }
    QLineEdit* Box(const char* name) { return W<QLineEdit>(name); }
    QString Status() { return m_f->Frame().StatusText(); }
    void Key(int key, Qt::KeyboardModifiers mods = Qt::NoModifier)
    {
        QWidget* target = QApplication::focusWidget() ? QApplication::focusWidget() : &m_f->Frame();
        QTest::keyClick(target, static_cast<Qt::Key>(key), mods);
    }
    void TypeCall(const QString& text)
    {
        Key(Qt::Key_F4);
        QTest::keyClicks(Box("callSign"), text);
    }
    // Logs check-ins, then restarts the program so that the form opens on them.
    void Log(const QList<CCheckin>& checkins)
    {
        for (const CCheckin& c : checkins)
            AddCheckin(m_f->Db(), c);
        m_f->Restart();
        Form().RefreshList();
    }
    std::vector<CCheckinRecord> Day(const QDate& day = kDay)
    {
        return LogQueries::DayCheckins(m_f->Db(), day);
    }
    // A click on the row, as the operator's (a row that is selected already shows its check-in again).
    void ClickRow(int row)
    {
        QTableView* list = Form().DayList();
        const QRect cell = list->visualRect(Form().DayListModel()->index(row, CDayListModel::ColName));
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, cell.center());
    }
    QStringList Matches()
    {
        QStringList out;
        for (int i = 0; i < W<QListWidget>("matches")->count(); ++i)
            out << W<QListWidget>("matches")->item(i)->text();
        return out;
    }

private Q_SLOTS:
    void init()
    {
        m_f = std::make_unique<CGuiFixture>(kNow);
        m_f->Frame().activateWindow();
    }
    void cleanup() { m_f.reset(); }

    void typingAPrefixOffersTheHighestTwentyTwo()
    {
        QList<CCheckin> log;
        for (int i = 0; i < 30; ++i)
            log << CCheckin{QStringLiteral("K%1A").arg(i, 2, 10, QLatin1Char('0')),
                            At(19, 0, kDay.addDays(-7))};
        log << CCheckin{"W4AB", At(19, 0, kDay.addDays(-7))}
            << CCheckin{"W4ABC", At(19, 1, kDay.addDays(-7))};
        Log(log);
        TypeCall("K");
        QCOMPARE(Matches().size(), 22);
        QCOMPARE(Matches().first(), QStringLiteral("K08A"));
        QCOMPARE(Matches().last(), QStringLiteral("K29A"));
        QCOMPARE(W<QLabel>("matchesLabel")->text(), QStringLiteral("22 Matches :"));
        TypeCall("W4A");
        QCOMPARE(Matches(), QStringList{"W4ABC"});
        QCOMPARE(W<QLabel>("matchesLabel")->text(), QStringLiteral("1 Matches :"));
    }

    void takingAMatchFillsTheFormAndWritesNothing()
    {
        Log({{"W4ABC", At(19, 0, kDay.addDays(-14)), "Old Name", "old"},
             {"W4ABC", At(19, 0, kDay.addDays(-7)), "Jane Doe", "mobile", true, true, true,
              "Springfield, IL 62701", "1 Elm St", "G", "EM84CX", "jane@example.org"},
             {"W4XYZ", At(19, 5, kDay.addDays(-7)), "Bob"}});
        const int before = LogQueries::DayCheckins(m_f->Db(), kDay.addDays(-7)).size();
        TypeCall("W4");
        QCOMPARE(Matches(), (QStringList{"W4ABC", "W4XYZ"}));
        Key(Qt::Key_F1);
        QCOMPARE(Box("callSign")->text(), QStringLiteral("W4ABC"));
        QCOMPARE(Box("name")->text(), QStringLiteral("Jane Doe"));
        QCOMPARE(Box("addr1")->text(), QStringLiteral("1 Elm St"));
        QCOMPARE(Box("addr2")->text(), QStringLiteral("Springfield, IL 62701"));
        QCOMPARE(Box("class")->text(), QStringLiteral("G"));
        QCOMPARE(Box("yourGrid")->text(), QStringLiteral("EM84CX"));
        QCOMPARE(Box("email")->text(), QStringLiteral("jane@example.org"));
        QCOMPARE(W<QPlainTextEdit>("comments")->toPlainText(), QString());
        QCOMPARE(W<QDateTimeEdit>("datePicker")->date(), kDay);
        QCOMPARE(int(LogQueries::DayCheckins(m_f->Db(), kDay.addDays(-7)).size()), before);
        QVERIFY(Day().empty());

        // F5 logs it today, with the clock's time and none of the old flags.
        Key(Qt::Key_F5);
        const auto day = Day();
        QCOMPARE(int(day.size()), 1);
        QCOMPARE(day[0].callSign, QStringLiteral("W4ABC"));
        QCOMPARE(day[0].name, QStringLiteral("Jane Doe"));
        QCOMPARE(day[0].date.ToStorage(), QStringLiteral("2024-03-07 19:02:30"));
        QVERIFY(!day[0].acknowledged && !day[0].hasTraffic && !day[0].hasComments);
        QVERIFY(!day[0].comment.contains(QLatin1String("mobile")));

        // F2 takes the second match.
        TypeCall("W4");
        Key(Qt::Key_F2);
        QCOMPARE(Box("name")->text(), QStringLiteral("Bob"));
    }

    void fKeysWithTooFewMatchesTurnToTheLookUp()
    {
        Log({{"W4ABC", At(19, 0, kDay.addDays(-7)), "Jane"}});
        TypeCall("W4");
        QCOMPARE(Matches().size(), 1);
        Key(Qt::Key_F3);
        // No licence database here: nothing changes and nothing is written.
        QCOMPARE(Box("callSign")->text(), QStringLiteral("W4"));
        QCOMPARE(Box("name")->text(), QString());
        QVERIFY(Day().empty());
    }

    void addingFromTheKeyboard()
    {
        TypeCall("n0call");
        QCOMPARE(Box("callSign")->text(), QStringLiteral("N0CALL"));
        Key(Qt::Key_Tab);
        QTest::keyClicks(QApplication::focusWidget(), "Ann Operator");
        Box("addr2")->setText("Springfield, IL 62701");
        Key(Qt::Key_F5);
        auto day = Day();
        QCOMPARE(int(day.size()), 1);
        QCOMPARE(day[0].callSign, QStringLiteral("N0CALL"));
        QCOMPARE(day[0].name, QStringLiteral("Ann Operator"));
        QCOMPARE(day[0].date.ToStorage(), QStringLiteral("2024-03-07 19:02:30"));
        QTRY_COMPARE(Form().DayListModel()->rowCount(), 1);
        QCOMPARE(Form()
                     .DayListModel()
                     ->data(Form().DayListModel()->index(0, CDayListModel::ColCall), Qt::DisplayRole)
                     .toString(),
                 QStringLiteral("N0CALL"));
        QTRY_COMPARE(Status(), QStringLiteral("Record 1 of 1"));
        QCOMPARE(m_f->Settings().Get(Setting::ColumnWidth[11]), Form().DayList()->columnWidth(11));

        // F5 works from the day tree as well, with the clock's new time.
        m_f->Clock().Set(QDateTime(kDay, QTime(19, 10, 5)));
        m_f->Focus(m_f->Frame().LeftView());
        TypeCall("K1ABC");
        m_f->Focus(m_f->Frame().LeftView());
        QTest::keyClick(m_f->Frame().LeftView(), Qt::Key_F5);
        day = Day();
        QCOMPARE(int(day.size()), 2);
        QCOMPARE(day[1].callSign, QStringLiteral("K1ABC"));
        QCOMPARE(day[1].date.ToStorage(), QStringLiteral("2024-03-07 19:10:05"));
        QTRY_COMPARE(Status(), QStringLiteral("Record 2 of 2"));
    }

    void duplicates_data()
    {
        QTest::addColumn<QStringList>("logged");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<int>("entry"); // 0: logged as a new check-in
        QTest::newRow("same call") << QStringList{"K1A", "W4ABC"} << "W4ABC" << 2;
        QTest::newRow("other case in the log") << QStringList{"w4abc"} << "W4ABC" << 1;
        QTest::newRow("shorter call is another station") << QStringList{"W4ABC"} << "W4AB" << 0;
        QTest::newRow("longer call is another station") << QStringList{"W4AB"} << "W4ABC" << 0;
        QTest::newRow("long portable call") << QStringList{"K1A", "KH6/W4ABC"} << "KH6/W4ABC" << 2;
        QTest::newRow("long calls differing late") << QStringList{"KH6/W4ABC"} << "KH6/W4ABD" << 0;
    }
    void duplicates()
    {
        QFETCH(QStringList, logged);
        QFETCH(QString, typed);
        QFETCH(int, entry);
        QList<CCheckin> log;
        for (const QString& c : logged)
            log << CCheckin{c, At(19, 0)};
        Log(log);
        TypeCall(typed);
        Key(Qt::Key_F5);
        if (entry > 0) {
            QCOMPARE(m_f->Prompts().Last(),
                     QStringLiteral("%1 Already logged as entry #%2").arg(typed).arg(entry));
            QCOMPARE(int(Day().size()), logged.size());
            QCOMPARE(Box("callSign")->text(), typed); // kept for correction
        } else {
            QCOMPARE(int(Day().size()), logged.size() + 1);
        }
    }

    void anEmptyCallSignIsRefused()
    {
        Log({{"K1A", At(19, 0)}});
        TypeCall("");
        Box("callSign")->clear();
        Key(Qt::Key_F5);
        QVERIFY2(m_f->Prompts().Last().contains(QLatin1String("call sign")),
                 qPrintable(m_f->Prompts().Last()));
        QCOMPARE(int(Day().size()), 1);
        // The same on an empty day.
        m_f->Frame().LeftView()->SelectDay("2024 03 08");
        Box("callSign")->clear();
        Key(Qt::Key_F5);
        QVERIFY(Day(kDay.addDays(1)).empty());
        // F6 refuses it the same way.
        Key(Qt::Key_F6);
        QVERIFY(Day(kDay.addDays(1)).empty());
        QVERIFY(m_f->Prompts().Last().contains(QLatin1String("call sign")));
    }

    void saveWritesTheFormToTheCurrentCheckin()
    {
        Log({{"K1A", At(19, 0), "Al"}, {"K1B", At(19, 1), "Bo"}});
        Form().DayList()->selectRow(1);
        QCOMPARE(Box("callSign")->text(), QStringLiteral("K1B"));
        Box("name")->setText("Bob Brown");
        Box("email")->setText("bob@example.org");
        Key(Qt::Key_F6);
        const auto day = Day();
        QCOMPARE(day[1].name, QStringLiteral("Bob Brown"));
        QCOMPARE(day[1].email, QStringLiteral("bob@example.org"));
        QCOMPARE(day[0].name, QStringLiteral("Al"));

        // F6 on a day without check-ins logs the form as a new one.
        m_f->Frame().LeftView()->SelectDay("2024 03 08");
        QTRY_COMPARE(Status(), QStringLiteral("No Checkins Recorded for selected Date"));
        TypeCall("N0NEW");
        Key(Qt::Key_F6);
        const auto next = Day(kDay.addDays(1));
        QCOMPARE(int(next.size()), 1);
        QCOMPARE(next[0].callSign, QStringLiteral("N0NEW"));
        QCOMPARE(next[0].date.Date(), kDay.addDays(1));
    }

    void camelCase()
    {
        Log({{"K1A",
              At(19, 0),
              "JOHN Q. PUBLIC",
              {},
              false,
              false,
              false,
              "SPRINGFIELD SC 29000",
              "10TH ST"}});
        Form().DayList()->selectRow(0);
        Box("email")->setText("saved with the rest by F6");
        Key(Qt::Key_C, Qt::AltModifier);
        // The boxes only: the check-in changes with F6.
        QCOMPARE(Day()[0].name, QStringLiteral("JOHN Q. PUBLIC"));
        QCOMPARE(Box("name")->text(), QStringLiteral("John Q. Public"));
        Key(Qt::Key_F6);
        const auto day = Day();
        QCOMPARE(day[0].name, QStringLiteral("John Q. Public"));
        QCOMPARE(day[0].street, QStringLiteral("10th St"));
        QCOMPARE(day[0].location, QStringLiteral("Springfield SC 29000"));
        QCOMPARE(day[0].email, QStringLiteral("saved with the rest by F6"));

        // A station not yet logged is capitalised in the form only.
        TypeCall("W4NEW");
        Box("name")->setText("MARY SMITH");
        Form().OnClear();
        Box("name")->setText("MARY SMITH");
        Key(Qt::Key_C, Qt::AltModifier);
        QCOMPARE(Box("name")->text(), QStringLiteral("Mary Smith"));
        QCOMPARE(Day()[0].name, QStringLiteral("John Q. Public"));
    }

    void clearKeepsTheCallSign()
    {
        Log({{"K1A", At(19, 0), "Al", "note", false, false, false, "Town", "Street", "E", "EM84CX",
              "a@b.c"}});
        Form().DayList()->selectRow(0);
        Form().OnClear();
        QCOMPARE(Box("callSign")->text(), QStringLiteral("K1A"));
        for (const char* name : {"name", "addr1", "addr2", "class", "yourGrid", "email"})
            QCOMPARE(Box(name)->text(), QString());
        QCOMPARE(W<QPlainTextEdit>("comments")->toPlainText(), QString());
        QVERIFY(Box("callSign")->hasFocus());
        QCOMPARE(Day()[0].name, QStringLiteral("Al")); // nothing written
    }

    void deleting_data()
    {
        QTest::addColumn<QList<int>>("selected");
        QTest::addColumn<QStringList>("left");
        QTest::addColumn<QString>("current");
        QTest::newRow("middle") << QList<int>{2} << QStringList{"K1A", "K1B", "K1D", "K1E"} << "K1B";
        QTest::newRow("first") << QList<int>{0} << QStringList{"K1B", "K1C", "K1D", "K1E"} << "K1B";
        QTest::newRow("last") << QList<int>{4} << QStringList{"K1A", "K1B", "K1C", "K1D"} << "K1D";
        QTest::newRow("several") << QList<int>{0, 2, 4} << QStringList{"K1B", "K1D"} << "K1B";
    }
    void deleting()
    {
        QFETCH(QList<int>, selected);
        QFETCH(QStringList, left);
        QFETCH(QString, current);
        Log({{"K1A", At(19, 0)},
             {"K1B", At(19, 1)},
             {"K1C", At(19, 2)},
             {"K1D", At(19, 3)},
             {"K1E", At(19, 4)}});
        QTableView* list = Form().DayList();
        m_f->Focus(list);
        list->selectRow(selected.first());
        for (int r : selected.mid(1))
            list->selectionModel()->select(Form().DayListModel()->index(r, 0),
                                           QItemSelectionModel::Select | QItemSelectionModel::Rows);
        // No: nothing goes.
        m_f->Prompts().Answer(false);
        QTest::keyClick(list, Qt::Key_Delete);
        QCOMPARE(int(Day().size()), 5);
        m_f->Prompts().Answer(true);
        m_f->Focus(list);
        QTest::keyClick(list, Qt::Key_Delete);
        QVERIFY2(m_f->Prompts().Last().startsWith(
                     QStringLiteral("Do you really want to delete the selected record(s)?\n\n#")),
                 qPrintable(m_f->Prompts().Last()));
        QStringList calls;
        for (const auto& r : Day())
            calls << r.callSign;
        QCOMPARE(calls, left);
        QCOMPARE(Form().Form().Current()->callSign, current);
        QTRY_COMPARE(Form().DayListModel()->rowCount(), left.size());
        QCOMPARE(Box("callSign")->text(), current);
    }

    void deletingTheOnlyCheckinLeavesAnEmptyDay()
    {
        Log({{"K1A", At(19, 0)}});
        QTableView* list = Form().DayList();
        m_f->Focus(list);
        list->selectRow(0);
        Form().OnDeleteCheckins(false); // the tool bar's button asks nothing
        QVERIFY(Day().empty());
        QCOMPARE(Form().Form().RowCount(), 0);
        QTRY_COMPARE(Status(), QStringLiteral("No Checkins Recorded for selected Date"));
    }

    void deletingMoreThanTwoHundredFiftySixRows()
    {
        QList<CCheckin> log;
        for (int i = 0; i < 300; ++i)
            log << CCheckin{QStringLiteral("K%1").arg(i), At(19 + i / 60, i % 60)};
        Log(log);
        QCOMPARE(Form().DayListModel()->rowCount(), 300);
        m_f->Focus(Form().DayList());
        Form().DayList()->selectAll();
        Form().OnDeleteCheckins(false);
        QVERIFY(Day().empty());
    }

    void findCallHighlightsAndCounts()
    {
        Log({{"W4ABC", At(19, 0)}, {"KW4AB", At(19, 1)}, {"W4XYZ", At(19, 2)}, {"K1A", At(19, 3)}});
        QTest::keyClicks(W<QLineEdit>("findCall"), "W4");
        QCOMPARE(Status(), QStringLiteral("2 of 4 match"));
        CDayListModel* m = Form().DayListModel();
        QVERIFY(m->IsHighlighted(0) && !m->IsHighlighted(1) && m->IsHighlighted(2));
        QCOMPARE(m->data(m->index(0, CDayListModel::ColCall), Qt::ForegroundRole).value<QColor>(),
                 QColor(0, 255, 255));
        QCOMPARE(m->data(m->index(0, CDayListModel::ColCall), Qt::BackgroundRole).value<QColor>(),
                 QColor(Qt::black));
        QTest::keyClicks(W<QLineEdit>("findCall"), "X");
        QCOMPARE(Status(), QStringLiteral("1 of 4 match"));
        // The button empties the box, which shows the list plainly again.
        QTest::mouseClick(W<QPushButton>("findCallButton"), Qt::LeftButton);
        QCOMPARE(W<QLineEdit>("findCall")->text(), QString());
        QVERIFY(!m->IsHighlighted(0));
        QCOMPARE(m->data(m->index(0, CDayListModel::ColCall), Qt::BackgroundRole).value<QColor>(),
                 QColor(249, 233, 249));
        QCOMPARE(m->data(m->index(1, CDayListModel::ColCall), Qt::BackgroundRole).value<QColor>(),
                 QColor(233, 249, 249));
    }

    void anEmptyDay()
    {
        Log({{"K1A", At(19, 0)}});
        QVERIFY(m_f->Frame().LeftView()->SelectDay("2024 03 09"));
        QTRY_COMPARE(Status(), QStringLiteral("No Checkins Recorded for selected Date"));
        QCOMPARE(Form().DayListModel()->rowCount(), 0);
        QCOMPARE(W<QSlider>("recordSlider")->maximum(), 1);
        QCOMPARE(W<QSlider>("recordSlider")->value(), 1);
        QCOMPARE(W<QDateTimeEdit>("datePicker")->date(), QDate(2024, 3, 9));
        QCOMPARE(W<QCalendarWidget>("calendar")->selectedDate(), QDate(2024, 3, 9));
        QCOMPARE(Box("callSign")->text(), QString());
        // Back to a day with check-ins: the count first, the position after the refresh.
        QVERIFY(m_f->Frame().LeftView()->SelectDay("2024 03 07"));
        QCOMPARE(Status(), QStringLiteral("1 Checkins on 03/07/2024"));
    }

    void calendarReachesDaysOutsideTheTree()
    {
        AddCheckin(m_f->Db(), {"OLDTIMER", At(19, 0, QDate(2020, 1, 4))});
        m_f->Restart();
        W<QCalendarWidget>("calendar")->setSelectedDate(QDate(2020, 1, 4));
        QCOMPARE(m_f->Doc().SelectedDay(), QDate(2020, 1, 4));
        QTRY_COMPARE(Form().DayListModel()->rowCount(), 1);
        QCOMPARE(Form().DayListModel()->index(0, CDayListModel::ColCall).data().toString(),
                 QStringLiteral("OLDTIMER"));
        // A day inside the tree moves the tree's selection too.
        W<QCalendarWidget>("calendar")->setSelectedDate(QDate(2024, 3, 1));
        QCOMPARE(m_f->Frame().LeftView()->SelectedDay(), QDate(2024, 3, 1));
    }

    void navigation()
    {
        Log({{"K1A", At(19, 0)}, {"K1B", At(19, 1)}, {"K1C", At(19, 2)}});
        CCommands& c = m_f->Frame().Commands();
        // A new station: the list can be entered from either end.
        QVERIFY(c.recordFirst->isEnabled() && c.recordLast->isEnabled());
        c.recordNext->trigger();
        QCOMPARE(Box("callSign")->text(), QStringLiteral("K1A"));
        QVERIFY(!c.recordFirst->isEnabled());
        c.recordNext->trigger();
        QCOMPARE(Box("callSign")->text(), QStringLiteral("K1B"));
        QCOMPARE(Status(), QStringLiteral("Record 2 of 3"));
        c.recordLast->trigger();
        QCOMPARE(Box("callSign")->text(), QStringLiteral("K1C"));
        QVERIFY(!c.recordNext->isEnabled());
        QCOMPARE(W<QSlider>("recordSlider")->value(), 3);
        W<QSlider>("recordSlider")->setValue(1);
        QCOMPARE(Box("callSign")->text(), QStringLiteral("K1A"));
        QCOMPARE(Status(), QStringLiteral("Record 1 of 3"));
        // Edits of the shown check-in are saved when moving on.
        Box("name")->setText("Alice");
        emit Box("name")->textEdited("Alice");
        c.recordNext->trigger();
        QCOMPARE(Day()[0].name, QStringLiteral("Alice"));
        // A station taken from the matches is not written into the check-in the form came from.
        TypeCall("K1");
        Key(Qt::Key_F1);
        QCOMPARE(Box("callSign")->text(), QStringLiteral("K1A"));
        m_f->Prompts().Answer(true); // "K1A is not logged yet. Discard it?"
        c.recordNext->trigger();
        QCOMPARE(Day()[1].callSign, QStringLiteral("K1B"));
        QCOMPARE(Box("callSign")->text(), QStringLiteral("K1C"));
    }

    // The next station typed while the boxes show a logged check-in: a slip onto F6 and a row click
    // leave that check-in as it was; the line above the boxes says which state they are in.
    void theNextStationNeverOverwritesTheShownCheckin()
    {
        Log({{"K1A",
              At(19, 0),
              "Al",
              {},
              false,
              false,
              false,
              "Aiken SC",
              "1 Oak St",
              "",
              "",
              "al@example.org"},
             {"K4LMN",
              At(19, 1),
              "Lee",
              {},
              false,
              false,
              false,
              "Macon GA",
              "2 Pine Rd",
              "",
              "",
              "lee@example.org"}});
        ClickRow(1);
        QCOMPARE(W<QLabel>("stateLine")->text(), QStringLiteral("Correcting check-in #2 (K4LMN)"));
        QCOMPARE(W<QLabel>("dayCount")->text(), QStringLiteral("2 check-ins on 03/07/2024"));
        QTest::keyClick(Form().DayList(), Qt::Key_Space);
        TypeCall("N9HAND");
        QCOMPARE(Box("name")->text(), QString()); // F4: nothing of K4LMN stays in the boxes
        Key(Qt::Key_Tab);
        QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("JOE HAND"));
        QCOMPARE(W<QLabel>("stateLine")->text(), QStringLiteral("Entering a new station: N9HAND"));
        Key(Qt::Key_F6); // the slip from F5
        QVERIFY2(m_f->Prompts().Last().contains(QLatin1String("not in the log yet")),
                 qPrintable(m_f->Prompts().Last()));
        // A click on another row asks before the typing goes; No keeps it.
        m_f->Prompts().Answer(false);
        ClickRow(0);
        QVERIFY2(m_f->Prompts().Last().contains(QLatin1String("N9HAND is not logged yet")),
                 qPrintable(m_f->Prompts().Last()));
        QCOMPARE(Box("callSign")->text(), QStringLiteral("N9HAND"));
        QCOMPARE(Box("name")->text(), QStringLiteral("JOE HAND"));
        // A tick in the list is only a tick: the boxes stay the new station's.
        const QRect ack =
            Form().DayList()->visualRect(Form().DayListModel()->index(0, CDayListModel::ColAck));
        QTest::mouseClick(Form().DayList()->viewport(), Qt::LeftButton, {}, ack.center());
        QCOMPARE(Box("callSign")->text(), QStringLiteral("N9HAND"));
        Key(Qt::Key_F5);
        const auto day = Day();
        QCOMPARE(int(day.size()), 3);
        QVERIFY(day[0].acknowledged);
        QCOMPARE(day[1].callSign, QStringLiteral("K4LMN"));
        QCOMPARE(day[1].name, QStringLiteral("Lee"));
        QVERIFY(day[1].acknowledged);
        QCOMPARE(day[2].callSign, QStringLiteral("N9HAND"));
        QCOMPARE(day[2].street, QString());
        QCOMPARE(day[2].email, QString());
        QCOMPARE(m_f->Prompts().Unanswered(), 0);
        // Typing over a correction and clicking away asks about the check-in by name; Cancel stays.
        ClickRow(1);
        QTest::keyClick(Box("callSign"), Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(Box("callSign"), QStringLiteral("W2NEW"));
        m_f->Prompts().AnswerCancel();
        ClickRow(0);
        QCOMPARE(m_f->Prompts().Last(),
                 QStringLiteral("Change check-in #2 from K4LMN to W2NEW?\n\nYes saves what "
                                "the boxes show into check-in #2, No leaves it as it was and "
                                "drops what was typed, Cancel goes back to the boxes."));
        QCOMPARE(Form().Form().CurrentRow(), 1);
        QCOMPARE(Day()[1].callSign, QStringLiteral("K4LMN"));
    }

    void closingAsksBeforeTheTypingGoes()
    {
        Log({{"K1A", At(19, 0), "Al"}});
        TypeCall("W5NEW");
        m_f->Prompts().Answer(false);
        QVERIFY(!m_f->Frame().close());
        QCOMPARE(m_f->Prompts().Last(), QStringLiteral("W5NEW is not logged yet. Discard it?"));
        QCOMPARE(Box("callSign")->text(), QStringLiteral("W5NEW"));
        // A correction of the same station is saved on the way out.
        m_f->Prompts().Answer(true); // the typed W5NEW goes
        ClickRow(0);
        QCOMPARE(Box("callSign")->text(), QStringLiteral("K1A"));
        Box("name")->setText("Albert");
        QVERIFY(m_f->Frame().close());
        QCOMPARE(Day()[0].name, QStringLiteral("Albert"));
    }

    void checkBoxesAreWrittenAtOnce()
    {
        Log({{"K1A", At(19, 0)}, {"K1B", At(19, 1)}});
        CDayListModel* m = Form().DayListModel();
        QVERIFY(m->setData(m->index(1, CDayListModel::ColAck), Qt::Checked, Qt::CheckStateRole));
        QVERIFY(m->setData(m->index(0, CDayListModel::ColTraffic), Qt::Checked, Qt::CheckStateRole));
        QVERIFY(m->setData(m->index(0, CDayListModel::ColHasComments), Qt::Checked, Qt::CheckStateRole));
        const auto day = Day(); // no refresh has run
        QVERIFY(day[1].acknowledged && !day[1].hasTraffic);
        QVERIFY(day[0].hasTraffic && day[0].hasComments && !day[0].acknowledged);
        // Adding another check-in keeps the ticks.
        TypeCall("K1C");
        Key(Qt::Key_F5);
        QTRY_COMPARE(m->rowCount(), 3);
        QCOMPARE(m->data(m->index(1, CDayListModel::ColAck), Qt::CheckStateRole).toInt(), int(Qt::Checked));
    }

    void distanceIsShownAndAddedOnce()
    {
        Box("myGrid")->setText("EM84CX");
        m_f->Focus(Box("myGrid"));
        m_f->Focus(Box("callSign")); // leaving the box stores it
        QCOMPARE(m_f->Settings().Get(Setting::MyGrid), QStringLiteral("EM84CX"));
        TypeCall("W1AW");
        Box("yourGrid")->setText("FN31PR");
        W<QPlainTextEdit>("comments")->setPlainText("early");
        QCOMPARE(W<QLabel>("distance")->text(), QStringLiteral("Distance: 760 miles"));
        Key(Qt::Key_F5);
        QCOMPARE(Day()[0].comment, QStringLiteral("early Distance: 760 miles"));
        // Saving it again does not add the distance twice.
        ClickRow(0);
        QCOMPARE(W<QLabel>("distance")->text(), QStringLiteral("Distance: 760 miles"));
        Key(Qt::Key_F6);
        QCOMPARE(Day()[0].comment, QStringLiteral("early Distance: 760 miles"));

        TypeCall("W1XX");
        Box("yourGrid")->setText("FN3IPR");
        QCOMPARE(W<QLabel>("distance")->text(), QStringLiteral("Distance: Unknown"));
        Box("yourGrid")->setText("FN31");
        QCOMPARE(W<QLabel>("distance")->text(), QStringLiteral("Distance: 738 miles"));
    }

    void oneDayEverywhere()
    {
        // A day outside the tree, then today again with the calendar: the list, the date picker, the tree,
        // the caption and F5 all follow.
        AddCheckin(m_f->Db(), {"OLDTIMER", At(19, 0, QDate(2020, 1, 4))});
        m_f->Restart();
        QCalendarWidget* calendar = W<QCalendarWidget>("calendar");
        calendar->setSelectedDate(QDate(2020, 1, 4));
        QVERIFY(!m_f->Frame().LeftView()->SelectedDay().isValid()); // the tree holds no such day
        QTRY_COMPARE(Form().DayListModel()->rowCount(), 1);
        calendar->setSelectedDate(kDay);
        QCOMPARE(m_f->Frame().LeftView()->SelectedDay(), kDay);
        QCOMPARE(W<QDateTimeEdit>("datePicker")->date(), kDay);
        QVERIFY(m_f->Frame().windowTitle().startsWith(QLatin1String("Thursday, March 07, 2024")));
        QTRY_COMPARE(Form().DayListModel()->rowCount(), 0);
        TypeCall("K1NOW");
        Key(Qt::Key_F5);
        QCOMPARE(int(Day().size()), 1);
        QCOMPARE(int(Day(QDate(2020, 1, 4)).size()), 1);
        QTRY_COMPARE(Form().DayListModel()->rowCount(), 1);
    }

    void clearRightAfterF5StaysClear()
    {
        Log({{"K1A", At(19, 0)}});
        TypeCall("K1B");
        Box("name")->setText("Bob");
        Key(Qt::Key_F5);
        // Escape before the list's refresh (250 ms), then the next call.
        Key(Qt::Key_Escape);
        QTest::keyClicks(QApplication::focusWidget(), "W4N");
        QTest::qWait(400);
        QCOMPARE(Box("callSign")->text(), QStringLiteral("W4N"));
        QCOMPARE(Box("name")->text(), QString());
        QCOMPARE(int(Day().size()), 2);
    }

    void theMatchesFromTheKeyboard()
    {
        QList<CCheckin> log;
        for (const char* call : {"K1A", "K1B", "K1C", "K1D", "K1E"})
            log << CCheckin{QString::fromLatin1(call), At(19, 0, kDay.addDays(-7)),
                            QStringLiteral("N%1").arg(call)};
        Log(log);
        TypeCall("K1");
        QCOMPARE(Matches().size(), 5);
        for (int i = 0; i < 4; ++i)
            QTest::keyClick(Box("callSign"), Qt::Key_Down);
        QCOMPARE(Box("name")->text(), QString()); // walking the list takes nothing
        QTest::keyClick(Box("callSign"), Qt::Key_Return);
        QCOMPARE(Box("callSign")->text(), QStringLiteral("K1D"));
        QCOMPARE(Box("name")->text(), QStringLiteral("NK1D"));
    }

    void spaceTicksAckAndDeleteNeedsASelection()
    {
        Log({{"K1A", At(19, 0)}, {"K1B", At(19, 1)}});
        QTableView* list = Form().DayList();
        m_f->Focus(list);
        list->selectRow(1);
        QTest::keyClick(list, Qt::Key_Space);
        QVERIFY(Day()[1].acknowledged);
        QTest::keyClick(list, Qt::Key_Space);
        QVERIFY(!Day()[1].acknowledged);
        list->clearSelection();
        m_f->Prompts().Answer(true);
        QTest::keyClick(list, Qt::Key_Delete);
        QCOMPARE(int(Day().size()), 2);
        QCOMPARE(m_f->Prompts().AnswersLeft(), 1); // nothing was even asked
    }

    void theRefreshKeepsWhatIsBeingTyped()
    {
        TypeCall("K1A");
        Key(Qt::Key_F5);
        TypeCall("W4N"); // before the list's refresh
        Form().RefreshList();
        QCOMPARE(Box("callSign")->text(), QStringLiteral("W4N"));
    }
};

QTEST_MAIN(TestCheckinForm)
#include "tst_checkinform.moc"
