#include "gui/shared/ConflictDlg.h"

#include "gui/app/Prompt.h"

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

CConflictDlg::CConflictDlg(const CCheckinRecord& mine, const CCheckinRecord& theirs, QWidget* parent,
                           const QString& introText)
    : QDialog(parent), m_mine(mine), m_theirs(theirs)
{
    setObjectName(QStringLiteral("conflictDlg"));
    setWindowTitle(QStringLiteral("Conflict: %1").arg(mine.callSign));
    auto* layout = new QVBoxLayout(this);
    auto* intro = new QLabel(introText.isEmpty()
                                 ? QStringLiteral("You and another operator changed check-in %1 differently. "
                                                  "Choose what it keeps; everyone gets your choice.")
                                       .arg(mine.callSign)
                                 : introText,
                             this);
    intro->setTextFormat(Qt::PlainText);
    intro->setWordWrap(true);
    layout->addWidget(intro);
    auto* grid = new QGridLayout;
    grid->addWidget(new QLabel(QStringLiteral("<b>Field</b>"), this), 0, 0);
    grid->addWidget(new QLabel(QStringLiteral("<b>Keep</b>"), this), 0, 1);
    for (int i = 0; i < SharedFields::kCount; ++i) {
        const auto f = SharedFields::Field(i);
        if (SharedFields::Same(mine, theirs, f))
            continue;
        const int row = int(m_fields.size()) + 1;
        m_fields << f;
        grid->addWidget(new QLabel(SharedFields::Label(f) + QLatin1Char(':'), this), row, 0);
        auto* edit = new QLineEdit(SharedFields::Text(mine, f), this);
        edit->setObjectName(QStringLiteral("keep%1").arg(i));
        m_edits << edit;
        grid->addWidget(edit, row, 1);
        auto* takeMine = new QPushButton(QStringLiteral("Mine: %1").arg(SharedFields::Text(mine, f)), this);
        auto* takeTheirs =
            new QPushButton(QStringLiteral("Theirs: %1").arg(SharedFields::Text(theirs, f)), this);
        takeMine->setAutoDefault(false);
        takeTheirs->setAutoDefault(false);
        connect(takeMine, &QPushButton::clicked, edit,
                [edit, t = SharedFields::Text(mine, f)] { edit->setText(t); });
        connect(takeTheirs, &QPushButton::clicked, edit,
                [edit, t = SharedFields::Text(theirs, f)] { edit->setText(t); });
        grid->addWidget(takeMine, row, 2);
        grid->addWidget(takeTheirs, row, 3);
    }
    layout->addLayout(grid);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    QPushButton* allMine = buttons->addButton(QStringLiteral("Keep &Mine"), QDialogButtonBox::ActionRole);
    QPushButton* allTheirs = buttons->addButton(QStringLiteral("Take &Theirs"), QDialogButtonBox::ActionRole);
    connect(allMine, &QPushButton::clicked, this, [this] {
        TakeAllMine();
        accept();
    });
    connect(allTheirs, &QPushButton::clicked, this, [this] {
        TakeAllTheirs();
        accept();
    });
    connect(buttons, &QDialogButtonBox::accepted, this, &CConflictDlg::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
}

void CConflictDlg::TakeAllMine()
{
    for (qsizetype i = 0; i < m_fields.size(); ++i)
        m_edits[i]->setText(SharedFields::Text(m_mine, m_fields[i]));
}

void CConflictDlg::TakeAllTheirs()
{
    for (qsizetype i = 0; i < m_fields.size(); ++i)
        m_edits[i]->setText(SharedFields::Text(m_theirs, m_fields[i]));
}

CCheckinRecord CConflictDlg::Values() const
{
    CCheckinRecord r = m_mine;
    for (qsizetype i = 0; i < m_fields.size(); ++i)
        SharedFields::SetText(r, m_fields[i], m_edits[i]->text());
    return r;
}

void CConflictDlg::accept()
{
    CCheckinRecord r = m_mine;
    for (qsizetype i = 0; i < m_fields.size(); ++i)
        if (!SharedFields::SetText(r, m_fields[i], m_edits[i]->text())) {
            Prompt::Error(this,
                          QStringLiteral("%1 must be %2.")
                              .arg(SharedFields::Label(m_fields[i]),
                                   m_fields[i] == SharedFields::Date ? QStringLiteral("YYYY-MM-DD HH:MM:SS")
                                                                     : QStringLiteral("Yes or No")));
            return;
        }
    QDialog::accept();
}
