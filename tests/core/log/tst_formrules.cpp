// The check-in form's rules without widgets, on a real log with a fixed clock: which check-in the boxes
// belong to, what each command may write, and what the log's writer announces.
#include "core/app/Clock.h"
#include "core/callbook/Callbook.h"
#include "core/db/Database.h"
#include "core/log/CheckinForm.h"
#include "core/log/CheckinStore.h"
#include "core/log/LogMaintenance.h"
#include "core/log/LogQueries.h"
#include "core/log/LogSchema.h"
#include "support/TestSupport.h"

#include <QSignalSpy>
#include <QtTest>
#include <SQLiteCpp/Database.h>

using namespace TestSupport;

namespace {

const QDate kDay(2024, 3, 7);

QDateTime At(int hour, int minute, const QDate& day = kDay)
{
    return QDateTime(day, QTime(hour, minute));
}

} // namespace

class TestFormRules : public QObject
{
    Q_OBJECT

    std::unique_ptr<CScratch> m_scratch;
    std::unique_ptr<CDatabase> m_db;
    std::unique_ptr<CCheckinStore> m_store;
    std::unique_ptr<CFixedClock> m_clock;
    std::unique_ptr<CCheckinForm> m_form;

    CCheckinForm& Form() { return *m_form; }
    std::vector<CCheckinRecord> Day(const QDate& day = kDay) { return LogQueries::DayCheckins(*m_db, day); }
    // Two stations on the net day, and one a week before.
    void LogNet()
    {
        AddCheckin(*m_db, {"W9OLD", At(19, 0, kDay.addDays(-7)), "Old Timer", "", false, false, false,
                           "Springfield, IL", "1 Elm St", "E", "EN52", "old@example.org"});
        AddCheckin(*m_db, {"K1A", At(19, 0), "Al", "first"});
        AddCheckin(*m_db, {"K1B", At(19, 1), "Bo", "second"});
        Form().SelectDay(kDay);
        // The day opens on a new station; the operator picks the first check-in.
        QCOMPARE(Form().StateText(), QStringLiteral("Entering a new station"));
        Form().MoveTo(0);
    }
    void Type(const QString& call, const QString& name = {})
    {
        CCheckinRecord e = Form().Entry();
        e.callSign = call;
        if (!name.isNull())
            e.name = name;
        Form().SetEntry(e);
    }

private Q_SLOTS:
    void init()
    {
        m_scratch = std::make_unique<CScratch>();
        m_db = std::make_unique<CDatabase>(m_scratch->File(QStringLiteral("Logwarden-97.db")));
        LogSchema::Prepare(*m_db);
        m_store = std::make_unique<CCheckinStore>(*m_db);
        m_clock = std::make_unique<CFixedClock>(At(19, 2));
        m_form = std::make_unique<CCheckinForm>(*m_store, *m_clock);
    }
    void cleanup()
    {
        m_form.reset();
        m_store.reset();
        m_db.reset();
        m_scratch.reset();
    }

    void f6SavesOnlyIntoTheCheckinTheBoxesShow_data()
    {
        QTest::addColumn<QString>("how");
        QTest::newRow("after taking a match") << "match";
        QTest::newRow("after Escape and a new call") << "clear";
        QTest::newRow("after a look-up") << "lookup";
        QTest::newRow("after F5, the next station") << "add";
    }
    void f6SavesOnlyIntoTheCheckinTheBoxesShow()
    {
        QFETCH(QString, how);
        LogNet();
        Form().MoveTo(1); // K1B selected
        QVERIFY(Form().IsBound());
        if (how == QLatin1String("match")) {
            QVERIFY(Form().TakeMatch(QStringLiteral("W9OLD")));
        } else if (how == QLatin1String("clear")) {
            Form().NewStation(true);
            Type(QStringLiteral("N0NEW"), QStringLiteral("Nina"));
        } else if (how == QLatin1String("lookup")) {
            CCallbookAnswer r;
            r.found = true;
            r.station.callSign = QStringLiteral("N0FCC");
            r.station.name = QStringLiteral("LICENSEE");
            Form().ApplyLookup(r);
        } else {
            Type(QStringLiteral("N0ADD"));
            QVERIFY(Form().Add());
            Type(QStringLiteral("N0NEXT"), QStringLiteral("Ned"));
        }
        QVERIFY(!Form().IsBound());
        QSignalSpy message(&Form(), &CCheckinForm::message);
        QVERIFY(!Form().Save());
        QCOMPARE(message.size(), 1);
        QVERIFY2(message.first().first().toString().contains(QLatin1String("F5")),
                 qPrintable(message.first().first().toString()));
        const auto day = Day();
        QCOMPARE(day[1].callSign, QStringLiteral("K1B"));
        QCOMPARE(day[1].name, QStringLiteral("Bo"));
    }

    // The operator's keys, one step at a time, on a net of K1A and K1B (the table below):
    //   row:N      a click on row N (or the arrows, the slider)      F4, Esc, F5, F6, AltC, Clear
    //   call:X     the call-sign box typed over; name:, street:, email: the same for those boxes
    //   match:X    a match taken (F1-F3, Return)                      ack:N   a tick of Ack in row N
    //   day:+N     another day chosen                                  close   the window closed
    //   yes, no, cancel   the answer to the next question
    // Afterwards: the day's stored check-ins, "CALL/Name/Street/Email" (ack marked with a "+"), and
    // the questions the form asked.
    void aStoredCheckinChangesOnlyWhenTheOperatorMeansIt_data()
    {
        QTest::addColumn<QStringList>("keys");
        QTest::addColumn<QString>("stored");
        QTest::addColumn<int>("questions");
        const QString net = "K1A/Al/1 Oak St/al@example.org; K1B/Bo/2 Pine Rd/bo@example.org";
        QTest::newRow("Alt+C on a new station typed over a shown check-in")
            << QStringList{"row:0", "F4", "call:W3NEW", "name:cy new", "street:1 elm st", "AltC"} << net << 0;
        QTest::newRow("Alt+C on a correction changes the boxes only")
            << QStringList{"row:0", "name:AL ADAMS", "AltC"} << net << 0;
        QTest::newRow("Alt+C, then F6 saves it")
            << QStringList{"row:0", "name:AL ADAMS", "AltC", "F6"}
            << "K1A/Al Adams/1 Oak St/al@example.org; K1B/Bo/2 Pine Rd/bo@example.org" << 0;
        QTest::newRow("a slip onto F6 after F4 and a new station")
            << QStringList{"row:1", "ack:1", "F4", "call:N9HAND", "name:JOE HAND", "F6"}
            << "K1A/Al/1 Oak St/al@example.org; K1B/Bo/2 Pine Rd/bo@example.org+" << 0;
        QTest::newRow("F6 over a correction with another call, No")
            << QStringList{"row:1", "call:N9HAND", "name:JOE HAND", "no", "F6"} << net << 1;
        QTest::newRow("F6 over a correction with another call, Yes")
            << QStringList{"row:1", "call:N9HAND", "yes", "F6"}
            << "K1A/Al/1 Oak St/al@example.org; N9HAND/Bo/2 Pine Rd/bo@example.org" << 1;
        QTest::newRow("a row click after F4 and a new station, discarded")
            << QStringList{"row:1", "F4", "call:W2NEW", "name:BO NEW", "yes", "row:0"} << net << 1;
        QTest::newRow("a row click after F4 and a new station, kept, then F5")
            << QStringList{"row:1", "F4", "call:W2NEW", "name:BO NEW", "no", "row:0", "F5"}
            << net + "; W2NEW/BO NEW//" << 1;
        QTest::newRow("a row click over a correction with another call, Cancel")
            << QStringList{"row:1", "call:W2NEW", "name:BO NEW", "cancel", "row:0", "F6"} << net << 2;
        QTest::newRow("a row click over a correction with another call, No")
            << QStringList{"row:1", "call:W2NEW", "name:BO NEW", "no", "row:0"} << net << 1;
        QTest::newRow("a row click saves a correction of the same station")
            << QStringList{"row:0", "name:Alice", "row:1"}
            << "K1A/Alice/1 Oak St/al@example.org; K1B/Bo/2 Pine Rd/bo@example.org" << 0;
        QTest::newRow("another day over a correction with another call, Yes")
            << QStringList{"row:0", "call:K1Z", "yes", "day:+1"}
            << "K1Z/Al/1 Oak St/al@example.org; K1B/Bo/2 Pine Rd/bo@example.org" << 1;
        QTest::newRow("F5 over a shown check-in takes only what was typed")
            << QStringList{"row:0", "F4", "call:W1NEW", "name:ANN NEW", "F5"} << net + "; W1NEW/ANN NEW//"
            << 0;
        QTest::newRow("F5 over a correction typed over takes only what was typed")
            << QStringList{"row:0", "call:W1NEW", "name:ANN NEW", "F5"} << net + "; W1NEW/ANN NEW//" << 0;
        QTest::newRow("F5 over a correction keeps a box typed again with the value shown")
            << QStringList{"row:1", "call:W3NEW", "street:2 pine rd", "street:2 Pine Rd", "F5"}
            << net + "; W3NEW//2 Pine Rd/" << 0;
        QTest::newRow("a match over a correction typed over, then F5")
            << QStringList{"row:0", "call:W9", "match:W9OLD", "F5"}
            << net + "; W9OLD/Old Timer/1 Elm St/old@example.org" << 0;
        QTest::newRow("Escape empties the call and its match: F5 logs nothing")
            << QStringList{"match:W9OLD", "Esc", "F5"} << net << 0;
        QTest::newRow("Escape over a correction saves the same station")
            << QStringList{"row:1", "email:bob@example.org", "Esc", "F5"}
            << "K1A/Al/1 Oak St/al@example.org; K1B/Bo/2 Pine Rd/bob@example.org" << 0;
        QTest::newRow("closing with a new station typed, stay")
            << QStringList{"F4", "call:W5NEW", "no", "close", "F5"} << net + "; W5NEW///" << 1;
        QTest::newRow("F4 keeps a new station being typed")
            << QStringList{"call:W6NEW", "F4", "name:Di", "F5"} << net + "; W6NEW/Di//" << 0;
        QTest::newRow("Clear over a correction keeps the call, F6 saves it")
            << QStringList{"row:0", "Clear", "name:Al", "F6"} << "K1A/Al//; K1B/Bo/2 Pine Rd/bo@example.org"
            << 0;
    }
    void aStoredCheckinChangesOnlyWhenTheOperatorMeansIt()
    {
        QFETCH(QStringList, keys);
        QFETCH(QString, stored);
        QFETCH(int, questions);
        AddCheckin(*m_db, {"W9OLD", At(19, 0, kDay.addDays(-7)), "Old Timer", "", false, false, false,
                           "Springfield, IL", "1 Elm St", "E", "EN52", "old@example.org"});
        AddCheckin(*m_db, {"K1A", At(19, 0), "Al", "", false, false, false, "", "1 Oak St", "", "",
                           "al@example.org"});
        AddCheckin(*m_db, {"K1B", At(19, 1), "Bo", "", false, false, false, "", "2 Pine Rd", "", "",
                           "bo@example.org"});
        Form().SelectDay(kDay);
        Form().NewStation(true);
        QList<CCheckinForm::Answer> answers;
        int asked = 0;
        Form().SetAsker([&](const QString&, bool cancellable) {
            ++asked;
            const CCheckinForm::Answer a =
                answers.isEmpty() ? CCheckinForm::Answer::Cancel : answers.takeFirst();
            return !cancellable && a == CCheckinForm::Answer::Cancel ? CCheckinForm::Answer::No : a;
        });
        for (const QString& key : keys) {
            const QString arg = key.section(QLatin1Char(':'), 1);
            auto type = [&](QString CCheckinRecord::*box) {
                CCheckinRecord e = Form().Entry();
                e.*box = arg;
                Form().SetEntry(e);
            };
            if (key.startsWith(QLatin1String("row:")))
                Form().MoveTo(arg.toInt());
            else if (key.startsWith(QLatin1String("ack:")))
                Form().ToggleAck(arg.toInt());
            else if (key.startsWith(QLatin1String("call:")))
                type(&CCheckinRecord::callSign);
            else if (key.startsWith(QLatin1String("name:")))
                type(&CCheckinRecord::name);
            else if (key.startsWith(QLatin1String("street:")))
                type(&CCheckinRecord::street);
            else if (key.startsWith(QLatin1String("email:")))
                type(&CCheckinRecord::email);
            else if (key.startsWith(QLatin1String("match:")))
                Form().TakeMatch(arg);
            else if (key.startsWith(QLatin1String("day:")))
                Form().SelectDay(kDay.addDays(arg.toInt()));
            else if (key == QLatin1String("yes"))
                answers << CCheckinForm::Answer::Yes;
            else if (key == QLatin1String("no"))
                answers << CCheckinForm::Answer::No;
            else if (key == QLatin1String("cancel"))
                answers << CCheckinForm::Answer::Cancel;
            else if (key == QLatin1String("F4") || key == QLatin1String("Esc"))
                Form().NewStation(key == QLatin1String("Esc"));
            else if (key == QLatin1String("F5"))
                Form().Add();
            else if (key == QLatin1String("F6"))
                Form().Save();
            else if (key == QLatin1String("AltC"))
                Form().CamelCase();
            else if (key == QLatin1String("Clear"))
                Form().Clear();
            else if (key == QLatin1String("close"))
                Form().Leave();
            else
                QFAIL(qPrintable(QStringLiteral("unknown key ") + key));
        }
        QStringList rows;
        for (const CCheckinRecord& r : Day())
            rows << QStringList{r.callSign, r.name, r.street, r.email}.join(QLatin1Char('/')) +
                        (r.acknowledged ? QStringLiteral("+") : QString());
        QCOMPARE(rows.join(QStringLiteral("; ")), stored);
        QCOMPARE(asked, questions);
        QVERIFY2(answers.isEmpty(), "an answer was left for a question never asked");
    }

    // Check-ins logged elsewhere (another window of the net, an outage's catch-up) take their place by time;
    // they never change what the form is doing.
    void arrivalsTakeTheirPlaceByTime()
    {
        AddCheckin(*m_db, {"K1A", At(19, 0), "Al"});
        AddCheckin(*m_db, {"K1B", At(19, 5), "Bo"});
        Form().SelectDay(kDay);
        const auto arrive = [&](const char* call, int minute) {
            CCheckinRecord r;
            r.callSign = QString::fromLatin1(call);
            r.date = CDateTime(At(19, minute));
            m_store->Add(r);
        };
        const auto calls = [&] {
            QStringList l;
            for (const CCheckinRecord& r : Form().Rows())
                l << r.callSign;
            return l.join(QLatin1Char(' '));
        };
        arrive("KH6DDE", 1);
        QCOMPARE(calls(), QStringLiteral("K1A KH6DDE K1B"));
        QCOMPARE(Form().StateText(), QStringLiteral("Entering a new station"));
        QVERIFY(Form().MoveTo(2));
        arrive("W1EARLY", 0);
        QCOMPARE(calls(), QStringLiteral("K1A W1EARLY KH6DDE K1B"));
        QCOMPARE(Form().StateText(), QStringLiteral("Correcting check-in #4 (K1B)"));
        // A corrected time moves the check-in to its place, and its number with it.
        CCheckinRecord moved = Form().Rows()[0];
        moved.date = CDateTime(At(19, 10));
        QVERIFY(m_store->Save(moved));
        QCOMPARE(calls(), QStringLiteral("W1EARLY KH6DDE K1B K1A"));
        QCOMPARE(Form().StateText(), QStringLiteral("Correcting check-in #3 (K1B)"));
    }

    void theStateIsSaidInWords()
    {
        LogNet();
        QSignalSpy state(&Form(), &CCheckinForm::stateChanged);
        QCOMPARE(Form().StateText(), QStringLiteral("Correcting check-in #1 (K1A)"));
        QCOMPARE(Form().CountText(), QStringLiteral("2 check-ins on 03/07/2024"));
        Type(QStringLiteral("K4LMN"));
        QVERIFY(!state.isEmpty());
        QCOMPARE(Form().StateText(),
                 QStringLiteral("Correcting check-in #1 (K1A): call sign changed to K4LMN, F6 asks"));
        Form().SetAsker([](const QString&, bool) { return CCheckinForm::Answer::No; });
        QVERIFY(Form().NewStation(false)); // F4: the changed call is dropped after the question
        QCOMPARE(Form().StateText(), QStringLiteral("Entering a new station"));
        Type(QStringLiteral("K1B"));
        QCOMPARE(Form().StateText(), QStringLiteral("Entering a new station: K1B"));
        QCOMPARE(Form().EntryOfCall(QStringLiteral("k1b")), 2);
        QCOMPARE(Form().EntryOfCall(QStringLiteral("K1")), 0);
    }

    void f6OnADayWithoutCheckins()
    {
        Form().SelectDay(kDay);
        QSignalSpy message(&Form(), &CCheckinForm::message);
        QVERIFY(!Form().Save()); // no call sign: refused as F5 refuses it
        QCOMPARE(message.size(), 1);
        QVERIFY(Day().empty());
        Type(QStringLiteral("N0NEW"));
        QVERIFY(Form().Save()); // the day's first check-in, at the clock's time as F5 logs it
        QCOMPARE(int(Day().size()), 1);
        QCOMPARE(Day()[0].date.ToStorage(), QStringLiteral("2024-03-07 19:02:00"));
        QVERIFY(Form().IsBound());
    }

    void afterF5TheBoxesAreReadyForTheNextStation()
    {
        LogNet();
        QVERIFY(Form().TakeMatch(QStringLiteral("W9OLD")));
        QVERIFY(Form().Add());
        const auto day = Day();
        QCOMPARE(int(day.size()), 3);
        QCOMPARE(day[2].street, QStringLiteral("1 Elm St"));
        QCOMPARE(day[2].date.ToStorage(), QStringLiteral("2024-03-07 19:02:00"));
        // Nothing of the station just logged stays in the boxes but the date and time.
        const CCheckinRecord& e = Form().Entry();
        for (const QString* box :
             {&e.callSign, &e.name, &e.street, &e.location, &e.cls, &e.yourGrid, &e.email, &e.comment})
            QCOMPARE(*box, QString());
        QCOMPARE(e.date.ToStorage(), QStringLiteral("2024-03-07 19:02:00"));
        QVERIFY(!Form().IsBound());
        // The new check-in is the current one.
        QCOMPARE(Form().CurrentRow(), 2);
        QCOMPARE(Form().Current()->callSign, QStringLiteral("W9OLD"));
    }

    void aCheckinIsShownInItsOwnDay()
    {
        LogNet();
        QSignalSpy dayChanged(&Form(), &CCheckinForm::dayChanged);
        Form().Clear();
        Type(QStringLiteral("N0LATE"));
        Form().SetEntryDate(At(0, 0, kDay.addDays(-1)));
        QVERIFY(Form().Add());
        QCOMPARE(Form().Day(), kDay.addDays(-1));
        QCOMPARE(dayChanged.size(), 1);
        QCOMPARE(Form().Current()->callSign, QStringLiteral("N0LATE"));
        QCOMPARE(int(Day(kDay.addDays(-1)).size()), 1);
        QCOMPARE(int(Day().size()), 2);
    }

    void everyMoveSavesTheEditsOfTheShownCheckin_data()
    {
        QTest::addColumn<QString>("move");
        QTest::newRow("row click or slider") << "row";
        QTest::newRow("next record") << "next";
        QTest::newRow("last record") << "last";
        QTest::newRow("another day") << "day";
    }
    void everyMoveSavesTheEditsOfTheShownCheckin()
    {
        QFETCH(QString, move);
        LogNet();
        QCOMPARE(Form().Current()->callSign, QStringLiteral("K1A"));
        Type(QStringLiteral("K1A"), QStringLiteral("Alice"));
        if (move == QLatin1String("row"))
            Form().MoveTo(1);
        else if (move == QLatin1String("next"))
            Form().Move(CCheckinForm::Step::Next);
        else if (move == QLatin1String("last"))
            Form().Move(CCheckinForm::Step::Last);
        else
            Form().SelectDay(kDay.addDays(1));
        QCOMPARE(Day()[0].name, QStringLiteral("Alice"));
        QCOMPARE(Day()[0].comment, QStringLiteral("first"));
    }

    void changesElsewhereNeverOverwriteWhatIsTyped()
    {
        LogNet();
        const int id = Form().Current()->id;
        // Not typed into: the boxes follow the stored check-in.
        CCheckinRecord changed = *m_store->Get(id);
        changed.name = QStringLiteral("Al From Elsewhere");
        m_store->Save(changed);
        QCOMPARE(Form().Entry().name, QStringLiteral("Al From Elsewhere"));
        // Typed into: they keep the typing, and a flag ticked meanwhile is not undone by F6.
        Type(QStringLiteral("K1A"), QStringLiteral("Albert"));
        changed.name = QStringLiteral("Other");
        m_store->Save(changed);
        QVERIFY(Form().SetFlag(0, LogQueries::Flag::Acknowledged, true));
        QCOMPARE(Form().Entry().name, QStringLiteral("Albert"));
        QVERIFY(Form().Save());
        QCOMPARE(Day()[0].name, QStringLiteral("Albert"));
        QVERIFY(Day()[0].acknowledged);
    }

    void camelCaseChangesOnlyTheBoxes()
    {
        LogNet();
        CCheckinRecord e = Form().Entry();
        e.name = QStringLiteral("ALICE SMITH");
        e.location = QStringLiteral("AIKEN SC 29801");
        e.email = QStringLiteral("typed@example.org");
        Form().SetEntry(e);
        QVERIFY(Form().CamelCase());
        QCOMPARE(Day()[0].name, QStringLiteral("Al")); // stored as it was until F6
        QCOMPARE(Form().Entry().name, QStringLiteral("Alice Smith"));
        QCOMPARE(Form().Entry().location, QStringLiteral("Aiken SC 29801"));
        QCOMPARE(Form().Entry().email, QStringLiteral("typed@example.org"));
        QVERIFY(Form().IsEdited());
        QVERIFY(Form().Save());
        QCOMPARE(Day()[0].name, QStringLiteral("Alice Smith"));
        QCOMPARE(Day()[0].email, QStringLiteral("typed@example.org"));
    }

    void aCallTheLicenceDatabaseDoesNotKnowLeavesNothingBehind()
    {
        LogNet();
        QVERIFY(Form().TakeMatch(QStringLiteral("W9OLD")));
        Type(QStringLiteral("N0UNK"));
        CCallbookAnswer unknown;
        unknown.station.callSign = QStringLiteral("N0UNK");
        unknown.statusText = QStringLiteral("N0UNK is not in the FCC licence database");
        QSignalSpy status(&Form(), &CCheckinForm::status);
        Form().ApplyLookup(unknown);
        const CCheckinRecord& e = Form().Entry();
        QCOMPARE(e.callSign, QStringLiteral("N0UNK"));
        for (const QString* box : {&e.name, &e.street, &e.location, &e.cls, &e.yourGrid, &e.email})
            QCOMPARE(*box, QString());
        QCOMPARE(status.last().first().toString(),
                 QStringLiteral("N0UNK is not in the FCC licence database"));
    }

    void theDistanceIsWrittenOnlyWhenAddingOrSaving()
    {
        AddCheckin(*m_db, {"W1AW", At(19, 0), "", "no grid yet", false, false, false, "", "", "", "FN31PR"});
        Form().SelectDay(kDay);
        // Looking at an old check-in with both grids known writes nothing.
        Form().SetMyGrid(QStringLiteral("EM84CX"));
        Form().MoveTo(0);
        QCOMPARE(Form().DistanceText(), QStringLiteral("Distance: 760 miles"));
        QCOMPARE(Day()[0].comment, QStringLiteral("no grid yet"));
        // Saving it does, once.
        QVERIFY(Form().Save());
        QCOMPARE(Day()[0].comment, QStringLiteral("no grid yet Distance: 760 miles"));
        QVERIFY(Form().Save());
        QCOMPARE(Day()[0].comment, QStringLiteral("no grid yet Distance: 760 miles"));
        // A mistyped grid writes nothing at all.
        Form().Clear();
        Type(QStringLiteral("K2X"));
        CCheckinRecord e = Form().Entry();
        e.yourGrid = QStringLiteral("FN3IPR");
        Form().SetEntry(e);
        QVERIFY(Form().Add());
        QCOMPARE(Day()[1].comment, QString());
    }

    void deleting_data()
    {
        QTest::addColumn<QList<int>>("rows");
        QTest::addColumn<int>("left");
        QTest::addColumn<QString>("current");
        QTest::newRow("nothing selected") << QList<int>{} << 2 << "K1A";
        QTest::newRow("the second") << QList<int>{1} << 1 << "K1A";
        QTest::newRow("both") << QList<int>{0, 1} << 0 << "";
    }
    void deleting()
    {
        QFETCH(QList<int>, rows);
        QFETCH(int, left);
        QFETCH(QString, current);
        LogNet();
        Form().MoveTo(1);
        Form().MoveTo(0);
        Form().DeleteRows(rows);
        QCOMPARE(int(Day().size()), left);
        QCOMPARE(Form().RowCount(), left);
        QCOMPARE(Form().Current() ? Form().Current()->callSign : QString(), current);
    }

    // Another program holds the log beyond the wait: F5 keeps the station in the boxes, says why, and the
    // check-ins go in, in order, as soon as the log is free; a script's F5 fails with the reason instead.
    void f5WaitsForALogHeldElsewhere()
    {
        LogNet();
        SQLite::Database other(m_scratch->File(QStringLiteral("Logwarden-97.db")).toStdString(),
                               SQLite::OPEN_READWRITE);
        other.exec("BEGIN IMMEDIATE");
        Type(QStringLiteral("N2DEF"), QStringLiteral("Deb"));
        QVERIFY(!Form().Add()); // no wait: the script's rule
        QVERIFY(m_store->Day(kDay).size() == 2);
        Form().SetWaitForLog(true);
        QSignalSpy status(&Form(), &CCheckinForm::status);
        QVERIFY(!Form().Add());
        QCOMPARE(status.last().first().toString(), CCheckinForm::WaitingText());
        QCOMPARE(Form().Entry().name, QStringLiteral("Deb")); // the boxes keep it
        Form().NewStation(true);
        Type(QStringLiteral("K4XYZ"));
        QVERIFY(!Form().Add()); // behind the first, without waiting again
        QCOMPARE(Form().WaitingCount(), 2);
        other.exec("COMMIT");
        QTRY_COMPARE(Form().WaitingCount(), 0);
        QStringList calls;
        for (const CCheckinRecord& r : Day())
            calls << r.callSign;
        QCOMPARE(calls, (QStringList{QStringLiteral("K1A"), QStringLiteral("K1B"), QStringLiteral("N2DEF"),
                                     QStringLiteral("K4XYZ")}));
        QVERIFY(status.last().first().toString().startsWith(QLatin1String("K4XYZ logged")));
    }

    void theWriterAnnouncesEveryChange()
    {
        QSignalSpy added(m_store.get(), &CCheckinStore::checkinAdded);
        QSignalSpy changed(m_store.get(), &CCheckinStore::checkinChanged);
        QSignalSpy removed(m_store.get(), &CCheckinStore::checkinsRemoved);
        QSignalSpy reset(m_store.get(), &CCheckinStore::logReset);
        CCheckinRecord r;
        r.callSign = QStringLiteral("K1A");
        r.date = CDateTime(At(19, 0));
        const int a = m_store->Add(r);
        const int b = m_store->Add(r);
        QCOMPARE(added.size(), 2);
        QCOMPARE(added.last().first().value<CCheckinRecord>().id, b);
        r.id = a;
        r.name = QStringLiteral("Al");
        QVERIFY(m_store->Save(r));
        QVERIFY(m_store->SetFlag(b, LogQueries::Flag::HasTraffic, true));
        QCOMPARE(changed.size(), 2);
        QCOMPARE(changed.first().first().value<CCheckinRecord>().name, QStringLiteral("Al"));
        QVERIFY(changed.last().first().value<CCheckinRecord>().hasTraffic);
        // Only what is really gone is announced.
        QCOMPARE(m_store->Remove({a, 999}), 1);
        QCOMPARE(removed.last().first().value<QList<int>>(), QList<int>{a});
        QVERIFY(!m_store->Save(r)); // gone: nothing written, nothing announced
        QCOMPARE(changed.size(), 2);
        CPurgeSelection all(kDay, kDay);
        all.CountAll(*m_db);
        QCOMPARE(m_store->Purge(all), 1L);
        QCOMPARE(removed.last().first().value<QList<int>>(), QList<int>{b});
        m_store->Empty();
        QCOMPARE(reset.size(), 1);
    }
};

QTEST_GUILESS_MAIN(TestFormRules)
#include "tst_formrules.moc"
