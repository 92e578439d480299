#pragma once

#include <QWidget>
#include <memory>

class CSoundMixer;
class QLabel;
class QSlider;

// The "Volume: " label and the slider that sets the sound card's playback volume. The slider takes the
// range of the card's volume control with a tick every tenth of it and starts at the current volume;
// moving it writes the volume and shows it from 0 to 10. Without a card or a volume control the slider
// is greyed; a card that cannot be opened leaves it at 0..10, changing nothing.
class CVolumePanel : public QWidget
{
    Q_OBJECT
public:
    CVolumePanel(std::unique_ptr<CSoundMixer> mixer, QWidget* parent = nullptr);
    ~CVolumePanel() override;

    QLabel* Label() const { return m_label; }
    QSlider* Slider() const { return m_slider; }
    CSoundMixer& Mixer() const { return *m_mixer; }

private:
    void InitVolumeSlider();
    void OnSliderMoved(int position);

    std::unique_ptr<CSoundMixer> m_mixer;
    QLabel* m_label = nullptr;
    QSlider* m_slider = nullptr;
    bool m_setting = false; // the panel itself is placing the slider
};
