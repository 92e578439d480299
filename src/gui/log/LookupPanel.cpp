#include "gui/log/LookupPanel.h"

#include "core/fcc/FccLookup.h"
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
    const QString call = form.Entry().callSign.trimmed();
    try {
        const CFccLookupResult r = m_doc.FccDatabase().LookUp(FccDatabasePath(m_doc.Settings()), call);
        QString text = r.StatusText();
        if (!r.found)
            text = QStringLiteral("%1 is not in the FCC licence database").arg(call);
        else if (text.isEmpty())
            // Said even when all is well, so that no earlier text stands beside the new station.
            text = r.status == CFccLookupResult::Status::Active
                       ? QStringLiteral("%1: licence active").arg(r.callSign)
                       : QStringLiteral("%1: found in the FCC licence database").arg(r.callSign);
        form.ApplyLookup(r, text);
    } catch (const CLogwardenException& e) {
        if (quietly)
            Q_EMIT status(e.Message());
        else
            Prompt::Error(this, e.Message());
    }
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
