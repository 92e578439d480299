#include "gui/log/NetpreambleDlg.h"

#include "core/Exceptions.h"
#include "core/app/NetDetails.h"
#include "core/app/Settings.h"
#include "core/log/RtfReader.h"
#include "gui/widgets/WindowPlacement.h"

#include <QDir>
#include <QHBoxLayout>
#include <QPushButton>
#include <QTextBlock>
#include <QTextBrowser>
#include <QTextCursor>
#include <QTextDocument>
#include <QVBoxLayout>

const char* const CNetpreambleDlg::kFileName = "preamble.rtf";

namespace {
}

CNetpreambleDlg::CNetpreambleDlg(CSettings& settings, QWidget* parent) : QDialog(parent), m_settings(settings)
{
    setObjectName(QStringLiteral("netPreamble"));
    setModal(false);
    setSizeGripEnabled(true);
    // A window of its own beside the main window, which it must not keep open when that closes.
    setWindowFlag(Qt::Window);
    setAttribute(Qt::WA_QuitOnClose, false);

    m_text = new QTextBrowser(this);
    m_text->setObjectName(QStringLiteral("preambleText"));
    m_text->setReadOnly(true);
    m_text->setOpenLinks(false);
    m_text->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    auto* cancel = new QPushButton(QStringLiteral("Cancel"), this);
    ok->setDefault(true);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_text, 1);
    auto* row = new QHBoxLayout;
    row->addWidget(ok, 1);
    row->addWidget(cancel, 1);
    layout->addLayout(row);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
}

void CNetpreambleDlg::ShowPreamble()
{
    // The net's name as it is set now ("Ostravel 2 Meter Net Preamble").
    setWindowTitle(CNetDetails::FromSettings(m_settings).netName + QStringLiteral(" Preamble"));
    if (!m_initialised) {
        WindowPlacement::Apply(this, m_settings.Get(Setting::PreambleLeft),
                               m_settings.Get(Setting::PreambleTop), m_settings.Get(Setting::PreambleWidth),
                               m_settings.Get(Setting::PreambleHeight));
        LoadText();
        m_initialised = true;
    }
    show();
    raise();
    activateWindow();
}

void CNetpreambleDlg::LoadText()
{
    const QString path = QDir(m_settings.DataFolder()).absoluteFilePath(QString::fromLatin1(kFileName));
    try {
        const CRtfDocument rtf = RtfReader::ReadFile(path);
        Fill(*m_text->document(), rtf, kZoom);
        m_text->moveCursor(QTextCursor::Start); // the preamble is read from its beginning
    } catch (const CLogwardenException& e) {
        // The window stays usable and says what is wrong, in place of the text.
        m_text->setPlainText(
            QFileInfo::exists(path)
                ? QStringLiteral("The net preamble cannot be shown: %1.").arg(e.Message())
                : QStringLiteral("No net preamble: the file \"%1\" does not exist. Write the "
                                 "preamble in a word processor and save it there as Rich Text "
                                 "(.rtf).")
                      .arg(path));
        QFont f = m_text->font();
        f.setPointSizeF(f.pointSizeF() * kZoom);
        m_text->document()->setDefaultFont(f);
    }
}

void CNetpreambleDlg::Fill(QTextDocument& target, const CRtfDocument& rtf, double zoom)
{
    target.clear();
    QTextCursor cursor(&target);
    bool first = true;
    for (const CRtfParagraph& p : rtf.paragraphs) {
        QTextBlockFormat block;
        switch (p.alignment) {
        case CRtfParagraph::Left:
            block.setAlignment(Qt::AlignLeft);
            break;
        case CRtfParagraph::Centre:
            block.setAlignment(Qt::AlignHCenter);
            break;
        case CRtfParagraph::Right:
            block.setAlignment(Qt::AlignRight);
            break;
        case CRtfParagraph::Justify:
            block.setAlignment(Qt::AlignJustify);
            break;
        }
        if (first)
            cursor.setBlockFormat(block);
        else
            cursor.insertBlock(block);
        first = false;
        for (const CRtfRun& run : p.runs) {
            QTextCharFormat format;
            format.setFontWeight(run.bold ? QFont::Bold : QFont::Normal);
            format.setFontItalic(run.italic);
            format.setFontUnderline(run.underline);
            format.setFontPointSize(run.halfPoints / 2.0 * zoom);
            if (run.colour)
                format.setForeground(QColor(run.colour->red, run.colour->green, run.colour->blue));
            cursor.insertText(run.text, format);
        }
    }
    cursor.movePosition(QTextCursor::Start);
}

void CNetpreambleDlg::accept()
{
    m_settings.Set(Setting::PreambleLeft, pos().x());
    m_settings.Set(Setting::PreambleTop, pos().y());
    m_settings.Set(Setting::PreambleWidth, width());
    m_settings.Set(Setting::PreambleHeight, height());
    m_settings.Sync();
    hide();
    setResult(Accepted);
}

void CNetpreambleDlg::reject()
{
    hide();
    setResult(Rejected);
}
