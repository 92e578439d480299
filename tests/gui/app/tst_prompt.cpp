// Message boxes and questions show their text as it stands: a summary naming "<w4abc@example.org>" or a
// server's "<b>" is never read as markup and lost.
#include "gui/app/Prompt.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <QtTest>

// A dialog that may refuse its OK, as one checking its boxes does.
class CCheckedDialog : public QDialog
{
    Q_OBJECT

public:
    explicit CCheckedDialog(QWidget* parent)
        : QDialog(parent), ok(new QPushButton(QStringLiteral("OK"), this))
    {
        connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    }
    void accept() override
    {
        if (!refuse)
            QDialog::accept();
    }
    QPushButton* ok;
    bool refuse = false;
};

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

    // A dialog under a script runs the script's step, shown but without a modal loop of its own; it
    // counts as accepted only when the step accepted it (and the dialog agreed).
    void aScriptedDialogTakesItsStep_data()
    {
        QTest::addColumn<QString>("step");
        QTest::addColumn<int>("result");
        QTest::addColumn<int>("unanswered");
        QTest::newRow("accepted") << "accept" << int(QDialog::Accepted) << 0;
        QTest::newRow("rejected") << "reject" << int(QDialog::Rejected) << 0;
        QTest::newRow("OK clicked") << "ok" << int(QDialog::Accepted) << 0;
        QTest::newRow("OK refused by the dialog") << "ok refused" << int(QDialog::Rejected) << 0;
        QTest::newRow("left open is closed") << "nothing" << int(QDialog::Rejected) << 0;
        QTest::newRow("a dialog of another kind") << "wrong kind" << int(QDialog::Rejected) << 1;
        QTest::newRow("no step") << "" << int(QDialog::Rejected) << 1;
    }

    void aScriptedDialogTakesItsStep()
    {
        QFETCH(QString, step);
        QFETCH(int, result);
        QFETCH(int, unanswered);
        QWidget parent;
        CCheckedDialog dialog(&parent);
        dialog.setWindowTitle(QStringLiteral("Net Report"));
        dialog.refuse = step == QLatin1String("ok refused");
        CPromptScript script;
        bool visible = false;
        if (step == QLatin1String("accept"))
            script.Accept();
        else if (step == QLatin1String("reject"))
            script.Reject();
        else if (step.startsWith(QLatin1String("ok")) || step == QLatin1String("nothing"))
            script.OnDialog<CCheckedDialog>([&](CCheckedDialog& d) {
                visible = d.isVisible();
                if (step != QLatin1String("nothing"))
                    d.ok->click();
            });
        else if (step == QLatin1String("wrong kind"))
            script.OnDialog<QMessageBox>([&](QMessageBox&) { visible = true; });
        QCOMPARE(Prompt::Run(dialog), result);
        QVERIFY(!dialog.isVisible());
        QCOMPARE(script.Dialogs(), QStringList{QStringLiteral("Net Report")});
        QCOMPARE(script.Unanswered(), unanswered);
        QCOMPARE(script.DialogStepsLeft(), 0);
        QCOMPARE(visible, step.startsWith(QLatin1String("ok")) || step == QLatin1String("nothing"));
    }
};

QTEST_MAIN(TestPrompt)
#include "tst_prompt.moc"
