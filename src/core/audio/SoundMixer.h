#pragma once

#include <QString>
#include <memory>

// The playback volume control of one sound card, as the mixer reaches it. The ALSA one is made by
// CSoundMixer::Alsa(); tests put a fake one in its place.
class CMixerBackend
{
public:
    enum OpenResult
    {
        Opened,
        NoDevice, // no sound card at all
        Failed,   // a card that cannot be opened
    };
    virtual ~CMixerBackend() = default;
    virtual OpenResult Open() = 0;
    // Finds the volume control; false when the card has none.
    virtual bool FindVolumeControl(long& minimum, long& maximum) = 0;
    virtual bool GetVolume(long& value) = 0;
    virtual bool SetVolume(long value) = 0;
    // Why the last call failed; empty when it did not.
    virtual QString GetErrorText() const = 0;
};

// How the volume slider is to be set up.
struct CVolumeSlider
{
    bool enabled = true;
    long minimum = 0;
    long maximum = 10;
    long tickInterval = 1;
    bool hasPosition = false; // the current volume could be read
    long position = 0;
};

// The master playback volume of the sound card, for the form's "Volume: " slider.
class CSoundMixer
{
public:
    explicit CSoundMixer(std::unique_ptr<CMixerBackend> backend);
    virtual ~CSoundMixer();

    // The ALSA mixer of card (an ALSA control name: "default", "hw:1"). Its volume control is "Master",
    // else "PCM", else "Speaker", else the card's first playback volume.
    static std::unique_ptr<CMixerBackend> Alsa(const QString& card);

    // Opens the mixer and finds the control: a card without a volume control, or no card at all, gives
    // a disabled slider; a card that cannot be opened leaves the slider at 0..10, enabled.
    CVolumeSlider InitVolumeSlider();
    bool GetVolume(long& value);
    // Fails at once when no control was found.
    bool SetVolume(long value);
    long GetMinimum() const { return m_minimum; }
    long GetMaximum() const { return m_maximum; }
    QString GetErrorText() const;

    // The slider was moved to position: sets the volume and gives the label's text, "Volume: 0" to
    // "Volume: 10".
    QString OnSliderMoved(long position);
    // position within minimum..maximum on a scale of 0 to 10; 0 for an empty range.
    static int ScaledVolume(long position, long minimum, long maximum);

private:
    std::unique_ptr<CMixerBackend> m_backend;
    bool m_found = false;
    long m_minimum = 0;
    long m_maximum = 0;
};
