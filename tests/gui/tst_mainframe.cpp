// The main window: caption, menus and keys, bars, the day tree, the About box and the saved placement.
#include "gui/app/LeftView.h"
#include "support/gui/GuiFixture.h"

#include <QDialog>
#include <QLabel>
#include <QMenuBar>
#include <QScreen>
#include <QScrollBar>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>
#include <QtTest>

using namespace TestSupport;

class TestMainFrame : public QObject
{
    Q_OBJECT

    static QStringList MenuItems(CMainFrame& frame, const QString& title)
    {
        for (QAction* top : frame.menuBar()->actions()) {
            if (top->text() != title)
                continue;
            QStringList items;
            for (QAction* a : top->menu()->actions())
                if (!a->isSeparator())
                    items << a->text();
            return items;
        }
        return {};
    }

private Q_SLOTS:
    void captionShowsTodayAndTheLogIsCreated()
    {
        CGuiFixture f;
        QCOMPARE(f.Frame().windowTitle(), QStringLiteral("Monday, January 05, 2026 - Logwarden"));
        QVERIFY(QFile::exists(f.Scratch().File(QStringLiteral("Logwarden-97.db"))));
        QCOMPARE(f.Frame().StatusText(), QStringLiteral("Ready"));
    }

    void menusHoldEveryItem()
    {
        CGuiFixture f;
        QCOMPARE(MenuItems(f.Frame(), "&File"),
                 (QStringList{"&New", "&Open...", "&Save", "Save &As...", "&Export to Text File",
                              "&Full DB Export to File", "Export A&DIF...", "&Import ADIF...", "E&xit"}));
        QCOMPARE(
            MenuItems(f.Frame(), "&Edit"),
            (QStringList{"&Undo", "Cu&t", "&Copy", "&Paste", "Camel Case", "Select Match 1", "Select Match 2",
                         "Select Match 3", "&Resolve Conflict...", "&Merge Duplicate Check-in"}));
        QCOMPARE(MenuItems(f.Frame(), "&Record"),
                 (QStringList{"&First Record", "&Previous Record", "&Next Record", "&Last Record", "P&urge",
                              "&Empty Database"}));
        QCOMPARE(MenuItems(f.Frame(), "&View"),
                 (QStringList{"&Toolbar", "&Status Bar", "&Net Preamble", "Net Sc&ript", "Net Stat&istics...",
                              "N&et Settings...", "&FCC Db Status", "QRZ &Account...",
                              "&Update FCC Db at Start"}));
        QCOMPARE(MenuItems(f.Frame(), "&Net"), (QStringList{"&Start Net", "&End Net"}));
        QCOMPARE(MenuItems(f.Frame(), "&Settings"), QStringList{"Shared &Log..."});
        QCOMPARE(MenuItems(f.Frame(), "&Help"), QStringList{"&About Logwarden..."});
        // A letter that two items of a menu share only moves between them: every letter picks one item.
        for (QAction* top : f.Frame().menuBar()->actions()) {
            QSet<QChar> letters;
            for (const QString& item : MenuItems(f.Frame(), top->text())) {
                const qsizetype at = item.indexOf(QLatin1Char('&'));
                if (at < 0 || at + 1 >= item.size())
                    continue;
                const QChar letter = item[at + 1].toLower();
                QVERIFY2(!letters.contains(letter), qPrintable(top->text() + QStringLiteral(": ") + item));
                letters.insert(letter);
            }
        }
    }

    void acceleratorsAreBound_data()
    {
        QTest::addColumn<QString>("keys");
        QTest::addColumn<QString>("command");
        QTest::newRow("F5 new") << "F5"
                                << "&New";
        QTest::newRow("Ctrl+N new") << "Ctrl+N"
                                    << "&New";
        QTest::newRow("F6 save") << "F6"
                                 << "&Save";
        QTest::newRow("Ctrl+S save") << "Ctrl+S"
                                     << "&Save";
        QTest::newRow("Alt+C camel case") << "Alt+C"
                                          << "Camel Case";
        QTest::newRow("Alt+P preamble") << "Alt+P"
                                        << "&Net Preamble";
        QTest::newRow("F1") << "F1"
                            << "Select Match 1";
        QTest::newRow("F3") << "F3"
                            << "Select Match 3";
        QTest::newRow("F4") << "F4"
                            << "Go Home";
        QTest::newRow("F7") << "F7"
                            << "Local Look Up";
        QTest::newRow("F8") << "F8"
                            << "Pull from QRZ";
        QTest::newRow("F9") << "F9"
                            << "Hear Call";
        QTest::newRow("F10") << "F10"
                             << "Transmit";
        QTest::newRow("Shift+F6") << "Shift+F6"
                                  << "Previous Pane";
        QTest::newRow("Alt+Backspace") << "Alt+Backspace"
                                       << "&Undo";
        QTest::newRow("Ctrl+F5 start net") << "Ctrl+F5"
                                           << "&Start Net";
        QTest::newRow("Ctrl+F6 end net") << "Ctrl+F6"
                                         << "&End Net";
        QTest::newRow("Ctrl+Z undo") << "Ctrl+Z"
                                     << "&Undo";
        QTest::newRow("Shift+Ins") << "Shift+Ins"
                                   << "&Paste";
    }
    void acceleratorsAreBound()
    {
        QFETCH(QString, keys);
        QFETCH(QString, command);
        CGuiFixture f(QDateTime(QDate(2026, 1, 5), QTime(19, 0)), false);
        QStringList owners;
        for (QAction* a : f.Frame().actions())
            if (a->shortcuts().contains(QKeySequence(keys)))
                owners << a->text();
        QCOMPARE(owners, QStringList{command});
    }

    void barsAndPanes()
    {
        CGuiFixture f;
        CCommands& c = f.Frame().Commands();
        QVERIFY(!c.print->isEnabled());
        QVERIFY(f.Frame().ToolBar()->actions().contains(c.print));
        QVERIFY(f.Frame().ToolBar()->actions().contains(c.deleteCheckin));
        const QList<QLabel*> labels = f.Frame().CommandBar()->findChildren<QLabel*>();
        QVERIFY(std::any_of(labels.begin(), labels.end(), [](QLabel* l) { return l->text() == "FCC DB: "; }));
        QStringList bar;
        for (QAction* a : f.Frame().CommandBar()->actions())
            if (!a->text().isEmpty())
                bar << a->text();
        QCOMPARE(bar, (QStringList{"Check", "DLoad", "Extract", "Compile", "Update"}));

        // The status bar can be hidden and shown again from the View menu; a hidden tool bar stays
        // hidden at the next start.
        c.viewStatusBar->trigger();
        QVERIFY(!f.Frame().statusBar()->isVisible());
        c.viewStatusBar->trigger();
        QVERIFY(f.Frame().statusBar()->isVisible());
        c.viewToolbar->trigger();
        QVERIFY(!f.Frame().ToolBar()->isVisible());
        f.Restart();
        QVERIFY(!f.Frame().ToolBar()->isVisible());
        QVERIFY(!f.Frame().Commands().viewToolbar->isChecked());

        // Shift+F6 moves between the panes.
        f.Frame().activateWindow();
        f.Frame().LeftView()->setFocus();
        QTest::keyClick(f.Frame().LeftView(), Qt::Key_F6, Qt::ShiftModifier);
        QVERIFY(!f.Frame().LeftView()->hasFocus());
    }

    void dayTreeHoldsFiveHundredDaysWithTodayInTheMiddle()
    {
        CGuiFixture f;
        CLeftView* tree = f.Frame().LeftView();
        QCOMPARE(tree->topLevelItemCount(), 500);
        QCOMPARE(tree->topLevelItem(0)->text(0), QStringLiteral("2025 04 30"));
        QCOMPARE(tree->topLevelItem(499)->text(0), QStringLiteral("2026 09 11"));
        QCOMPARE(tree->currentItem(), tree->topLevelItem(250));
        QCOMPARE(tree->SelectedDay(), QDate(2026, 1, 5));
        QCOMPARE(f.Doc().SelectedDay(), QDate(2026, 1, 5));
        QTRY_VERIFY(tree->visualItemRect(tree->topLevelItem(250)).isValid());
        const QRect today = tree->visualItemRect(tree->topLevelItem(250));
        const int h = tree->viewport()->height();
        QVERIFY2(today.top() > h / 4 && today.bottom() < 3 * h / 4,
                 qPrintable(QStringLiteral("today at %1 of %2").arg(today.top()).arg(h)));
        // Three icons: past, today, future.
        QVERIFY(tree->topLevelItem(249)->icon(0).cacheKey() != tree->topLevelItem(250)->icon(0).cacheKey());
        QVERIFY(tree->topLevelItem(251)->icon(0).cacheKey() != tree->topLevelItem(250)->icon(0).cacheKey());

        QVERIFY(tree->SelectDay(QStringLiteral("2026 02 01")));
        QCOMPARE(f.Doc().SelectedDay(), QDate(2026, 2, 1));
        QVERIFY(!tree->SelectDay(QStringLiteral("2030 01 01")));
    }

    void aboutBox()
    {
        CGuiFixture f;
        QString caption, text;
        f.Prompts().OnDialog([&](QDialog& box) {
            caption = box.windowTitle();
            for (QLabel* l : box.findChildren<QLabel*>())
                text += l->text();
            box.accept();
        });
        f.Frame().Commands().about->trigger();
        QCOMPARE(caption, QStringLiteral("About Logwarden"));
        QVERIFY(text.contains(QStringLiteral("Logwarden Version 1.0")));
    }

    void aPlacementNoScreenCanShowIsFitted_data()
    {
        QTest::addColumn<int>("left");
        QTest::addColumn<int>("top");
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("height");
        QTest::newRow("20000 by 20000") << 200 << 100 << 20000 << 20000;
        QTest::newRow("the largest number") << 200 << 100 << 2147483647 << 2147483647;
        QTest::newRow("hanging off the right edge") << 1500 << 900 << 875 << 700;
    }
    void aPlacementNoScreenCanShowIsFitted()
    {
        QFETCH(int, left);
        QFETCH(int, top);
        QFETCH(int, width);
        QFETCH(int, height);
        CGuiFixture f(QDateTime(QDate(2026, 1, 5), QTime(19, 0)), false);
        f.Settings().Set(Setting::WindowLeft, left);
        f.Settings().Set(Setting::WindowTop, top);
        f.Settings().Set(Setting::WindowWidth, width);
        f.Settings().Set(Setting::WindowHeight, height);
        f.Restart();
        const QRect room = f.Frame().screen()->availableGeometry();
        QVERIFY2(room.contains(QRect(f.Frame().pos(), f.Frame().size())),
                 qPrintable(QStringLiteral("%1,%2 %3x%4")
                                .arg(f.Frame().x())
                                .arg(f.Frame().y())
                                .arg(f.Frame().width())
                                .arg(f.Frame().height())));
        // Closed again, it saves the mended placement.
        f.Frame().close();
        QVERIFY(f.Settings().Get(Setting::WindowWidth) <= room.width());
    }

    void placementIsSavedOnlyWithinRange()
    {
        CGuiFixture f(QDateTime(QDate(2026, 1, 5), QTime(19, 0)), false);
        CSettings& s = f.Settings();
        QCOMPARE(f.Frame().pos(), QPoint(200, 100));
        QCOMPARE(f.Frame().size(), QSize(875, 700));

        f.Frame().move(300, 150);
        f.Frame().resize(1000, 760);
        f.Frame().close();
        QCOMPARE(s.Get(Setting::WindowLeft), 300);
        QCOMPARE(s.Get(Setting::WindowHeight), 760);

        f.Restart();
        QCOMPARE(f.Frame().pos(), QPoint(300, 150));
        f.Frame().move(-3000, 150);
        f.Frame().close();
        QCOMPARE(s.Get(Setting::WindowLeft), 300);
        QCOMPARE(s.Get(Setting::WindowWidth), 1000);
    }
};

QTEST_MAIN(TestMainFrame)
#include "tst_mainframe.moc"
