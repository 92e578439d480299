#pragma once

#include <QObject>

class CAnnouncerPanel;
class CMainFrame;
class CRecorderPanel;
class CVolumePanel;

// Sound on the check-in form, in its audio row: the phonetic spelling with "H&ear Call" (F9) and
// "&Phonics", the playback volume, and the session recorder. The ALSA devices are the settings of
// section "Audio".
class CAudioModule : public QObject
{
    Q_OBJECT
public:
    explicit CAudioModule(CMainFrame& frame);
    ~CAudioModule() override;

    static void Install(CMainFrame& frame);

    CAnnouncerPanel* Announcer() const { return m_announcer; }
    CVolumePanel* Volume() const { return m_volume; }
    CRecorderPanel* Recorder() const { return m_recorder; }

private:
    bool eventFilter(QObject* watched, QEvent* event) override;

    CMainFrame& m_frame;
    CAnnouncerPanel* m_announcer = nullptr;
    CVolumePanel* m_volume = nullptr;
    CRecorderPanel* m_recorder = nullptr;
};
