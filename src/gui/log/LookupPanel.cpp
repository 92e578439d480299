#include "gui/log/LookupPanel.h"

#include "core/fcc/FccCallbook.h"
#include "core/log/CheckinForm.h"
#include "gui/app/LogwardenDoc.h"
#include "gui/app/Prompt.h"
#include "gui/fcc/FccWebPages.h"

#include <QHBoxLayout>
#include <QPushButton>

CLookupPanel::CLookupPanel(CLogwardenDoc& doc, QWidget* parent) : QWidget(parent), m_doc(doc)
{
    m_row = new QHBoxLayout(this);
    m_row->setContentsMargins(0, 0, 0, 0);
    auto add = [&](const QString& text, const char* name, auto slot) {
        auto* b = new QPushButton(text, this);
        b->setObjectName(QString::fromLatin1(name));
        b->setAutoDefault(false);
        b->setFocusPolicy(Qt::TabFocus);
        connect(b, &QPushButton::clicked, this, slot);
        m_row->addWidget(b);
        return b;
    };
    auto lookUp = [this] { OnLocalLookUp(); };
    add(QStringLiteral("&Local Look Up"), "localLookUpButton", lookUp);
    add(QStringLiteral("Pull from FCC [F7]"), "pullFccButton", lookUp);
    QPushButton* fcc = add(QStringLiteral("&FCC Lookup"), "fccLookupButton", [this] { OnFccLookup(); });
    // Alt+F opens the File menu; the button keeps its underlined letter but not the key.
    fcc->setShortcut(QKeySequence());
    add(QStringLiteral("&QRZ Lookup"), "qrzLookupButton", [this] { OnQrzLookup(); });
    m_row->addStretch(1);
}

void CLookupPanel::OnLocalLookUp(bool quietly)
{
    CCheckinForm& form = m_doc.Form();
    CFccCallbook fcc(m_doc.FccDatabase(), FccDatabasePath(m_doc.Settings()));
    const CCallbookAnswer answer = fcc.LookUp(form.Entry().callSign.trimmed());
    if (answer.error.isEmpty())
        form.ApplyLookup(answer);
    else if (quietly)
        Q_EMIT status(answer.error);
    else
        Prompt::Error(this, answer.error);
}

void CLookupPanel::OnFccLookup()
{
    Prompt::Guard(this, [this] {
        const QString text = FccWebPages::OpenFccLicencePage(m_doc.FccDatabase(), m_doc.Settings(),
                                                             m_doc.Form().Entry().callSign);
        if (!text.isEmpty())
            Q_EMIT status(text);
    });
}

void CLookupPanel::OnQrzLookup()
{
    FccWebPages::OpenQrzPage(m_doc.Settings(), m_doc.Form().Entry().callSign);
}
