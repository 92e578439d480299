#pragma once

#include <QLabel>
#include <QWidget>
#include <memory>

class CCheckinForm;
class CSettings;
class CSoundPlayer;
class QAction;
class QLineEdit;
class QPushButton;

// A label that shows as much of its text as fits, ending in "...", instead of widening the form.
class CElidedLabel : public QLabel
{
    Q_OBJECT
public:
    using QLabel::QLabel;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
};

// Saying a station's call on the air: the call box spelled in phonetic words, "H&ear Call" (F9) playing
// the station's own recording CALLS/<call>.wav, greyed when there is none, and "&Phonics" speaking the
// call one built-in sound per character. Sounds play from the player's thread; a new request cuts off
// the one still playing. A missing file or a busy device gives silence, as an aid should.
class CAnnouncerPanel : public QWidget
{
    Q_OBJECT
public:
    CAnnouncerPanel(CCheckinForm& form, QLineEdit& callSignBox, CSettings& settings,
                    QWidget* parent = nullptr);
    ~CAnnouncerPanel() override;

    // The F9 command: enabled together with the button.
    void AttachHearCallAction(QAction* action);

    QLabel* PhoneticLine() const { return m_line; }
    QPushButton* HearCallButton() const { return m_hearCall; }
    QPushButton* PhonicsButton() const { return m_phonics; }
    CSoundPlayer& Player() const { return *m_player; }

    // The station the buttons speak of: the call the form's boxes hold.
    QString CallSign() const;

    void UpdatePhoneticSpelling();
    void UpdateHearCallButton();
    void OnHearCall();
    void OnPhonics();

private:
    CCheckinForm& m_form;
    QLineEdit& m_callSignBox;
    CSettings& m_settings;
    std::unique_ptr<CSoundPlayer> m_player;
    CElidedLabel* m_line = nullptr;
    QPushButton* m_hearCall = nullptr;
    QPushButton* m_phonics = nullptr;
    QAction* m_hearCallAction = nullptr;
};
