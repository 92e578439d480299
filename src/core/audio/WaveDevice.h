#pragma once

#include <QString>

class CWave;

// Names one ALSA PCM device ("default", "plughw:1,0", a name from ~/.asoundrc). The device names are
// settings, so that a user with several sound cards picks the one wired to the radio.
class CWaveDevice
{
public:
    static constexpr const char* kDefault = "default";

    explicit CWaveDevice(QString name = QString::fromLatin1(kDefault));
    virtual ~CWaveDevice() = default;

    const QString& GetName() const { return m_name; }

    // True when the device can capture wave's format; otherwise GetErrorText() says why.
    bool QueryInputFormat(const CWave& wave);
    QString GetErrorText() const { return m_error; }

private:
    QString m_name;
    QString m_error;
};
