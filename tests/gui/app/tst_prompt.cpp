// Message boxes and questions show their text as it stands: a summary naming "<w4abc@example.org>" or a
// server's "<b>" is never read as markup and lost.
#include "gui/app/Prompt.h"

#include <QApplication>
#include <QMessageBox>
#include <QTimer>
#include <QtTest>

class TestPrompt : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void textIsPlain_data()
    {
        QTest::addColumn<QString>("how");
        QTest::newRow("notice, window keeps running") << "notify";
        QTest::newRow("error box") << "error";
        QTest::newRow("question") << "ask";
    }

    void textIsPlain()
    {
        QFETCH(QString, how);
        const QString text =
            QStringLiteral("1 of 2 messages sent.\nFailed: W4ABC <w4abc@example.org>: <b>550</b>");
        QWidget parent;
        parent.show();
        QString seen;
        Qt::TextFormat format = Qt::AutoText;
        // The modal ones are looked at, and closed, from the event loop they run.
        const auto inspect = [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box)
                box = parent.findChild<QMessageBox*>();
            QVERIFY(box);
            seen = box->text();
            format = box->textFormat();
            box->done(QMessageBox::No);
        };
        if (how == "notify") {
            Prompt::Notify(&parent, Prompt::Kind::Warning, text);
            inspect();
        } else {
            QTimer::singleShot(0, &parent, inspect);
            if (how == "error")
                Prompt::Error(&parent, text);
            else
                QVERIFY(!Prompt::Ask(&parent, text));
        }
        QCOMPARE(format, Qt::PlainText);
        QCOMPARE(seen, text);
    }
};

QTEST_MAIN(TestPrompt)
#include "tst_prompt.moc"
