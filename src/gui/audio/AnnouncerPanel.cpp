#include "gui/audio/AnnouncerPanel.h"

#include "core/app/Settings.h"
#include "core/audio/Phonetics.h"
#include "core/audio/SoundPlayer.h"
#include "core/log/CheckinForm.h"

#include <QAction>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>

QSize CElidedLabel::minimumSizeHint() const
{
    // Room for a few words; the rest is elided.
    return {fontMetrics().horizontalAdvance(QStringLiteral("Whisky - 4 - ...")),
            QLabel::minimumSizeHint().height()};
}

void CElidedLabel::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    const QRect r = contentsRect();
    p.setPen(palette().color(foregroundRole()));
    p.drawText(r, int(alignment()), fontMetrics().elidedText(text(), Qt::ElideRight, r.width()));
}

CAnnouncerPanel::CAnnouncerPanel(CCheckinForm& form, QLineEdit& callSignBox, CSettings& settings,
                                 QWidget* parent)
    : QWidget(parent), m_form(form), m_callSignBox(callSignBox), m_settings(settings),
      m_player(std::make_unique<CSoundPlayer>(settings.Get(Setting::PlaybackDevice)))
{
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(4);
    m_line = new CElidedLabel(this);
    m_line->setObjectName(QStringLiteral("phoneticLine"));
    QFont bold = m_line->font();
    bold.setPointSize(10);
    bold.setBold(true);
    m_line->setFont(bold);
    m_line->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    row->addWidget(m_line, 1);

    auto button = [this, row](const QString& text, const char* name, const QString& tip) {
        auto* b = new QPushButton(text, this);
        b->setObjectName(QString::fromLatin1(name));
        b->setAutoDefault(false);
        b->setFocusPolicy(Qt::TabFocus);
        b->setToolTip(tip);
        // Alt+E and Alt+P belong to the Edit menu and the preamble; the letters stay underlined.
        b->setShortcut(QKeySequence());
        // No wider than its text: the phonetic line needs the room.
        b->setFixedWidth(b->fontMetrics().horizontalAdvance(QString(text).remove(QLatin1Char('&'))) + 18);
        row->addWidget(b);
        return b;
    };
    m_hearCall = button(QStringLiteral("H&ear Call"), "hearCallButton",
                        QStringLiteral("Play the station's own recording of its call (F9)"));
    m_phonics = button(QStringLiteral("&Phonics"), "phonicsButton",
                       QStringLiteral("Spell the call aloud, one word or digit at a time"));
    connect(m_hearCall, &QPushButton::clicked, this, &CAnnouncerPanel::OnHearCall);
    connect(m_phonics, &QPushButton::clicked, this, &CAnnouncerPanel::OnPhonics);

    // The line follows the box whether the operator types or a command fills it; the button follows the
    // station the boxes hold.
    connect(&m_callSignBox, &QLineEdit::textChanged, this, [this] {
        UpdatePhoneticSpelling();
        UpdateHearCallButton();
    });
    connect(&m_form, &CCheckinForm::entryChanged, this, &CAnnouncerPanel::UpdateHearCallButton);
    connect(&m_form, &CCheckinForm::currentChanged, this, &CAnnouncerPanel::UpdateHearCallButton);
    UpdatePhoneticSpelling();
    UpdateHearCallButton();
}

CAnnouncerPanel::~CAnnouncerPanel() = default;

void CAnnouncerPanel::AttachHearCallAction(QAction* action)
{
    m_hearCallAction = action;
    connect(action, &QAction::triggered, this, &CAnnouncerPanel::OnHearCall);
    action->setEnabled(m_hearCall->isEnabled());
}

QString CAnnouncerPanel::CallSign() const
{
    return m_form.Entry().callSign.trimmed();
}

void CAnnouncerPanel::UpdatePhoneticSpelling()
{
    const QString line = Phonetics::Line(m_callSignBox.text());
    m_line->setText(line);
    m_line->setToolTip(line);
}

void CAnnouncerPanel::UpdateHearCallButton()
{
    const bool found = !Phonetics::CallRecording(m_settings.DataFolder(), CallSign()).isEmpty();
    m_hearCall->setEnabled(found);
    if (m_hearCallAction)
        m_hearCallAction->setEnabled(found);
}

void CAnnouncerPanel::OnHearCall()
{
    const QString path = Phonetics::CallRecording(m_settings.DataFolder(), CallSign());
    UpdateHearCallButton();
    if (path.isEmpty())
        return;
    m_player->SetDevice(m_settings.Get(Setting::PlaybackDevice));
    m_player->Play(path);
}

void CAnnouncerPanel::OnPhonics()
{
    const QString call = CallSign();
    if (call.isEmpty())
        return;
    m_player->SetDevice(m_settings.Get(Setting::PlaybackDevice));
    // A second press starts the call again from its first character.
    m_player->PlaySequence(Phonetics::Sounds(call), Phonetics::kIntervalMs);
}
