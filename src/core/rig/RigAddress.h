#pragma once

#include <QString>

// Where the radio is: rigctld on the network ("HOST:PORT", Hamlib's NET rigctl model) or a radio on a
// serial or USB port ("MODEL:DEVICE[@SPEED]", a model number from Hamlib's list, e.g.
// "1035:/dev/ttyUSB0@9600"). An address that is not set means no rig.
class CRigAddress
{
public:
    enum class Kind
    {
        None,
        Network,
        Serial
    };
    // Hamlib's model for a radio served by rigctld.
    static constexpr int kNetRigctlModel = 2;

    CRigAddress() = default;
    static CRigAddress Network(const QString& host, int port);
    static CRigAddress Serial(int model, const QString& device, int speed = 0);

    // Reads an address as the settings and the command line give it. An empty text is no rig. On bad
    // input the result is not set and *error (when given) says what is wrong with it.
    static CRigAddress Parse(const QString& text, QString* error = nullptr);

    bool IsSet() const { return m_kind != Kind::None; }
    Kind GetKind() const { return m_kind; }
    int Model() const { return m_model; }
    const QString& Host() const { return m_host; }
    int Port() const { return m_port; }
    const QString& Device() const { return m_device; }
    int Speed() const { return m_speed; } // 0: the model's own default
    // What Hamlib opens: "HOST:PORT" or the device.
    QString PathName() const;
    // The address as Parse() reads it back ("" for no rig).
    QString ToString() const;

    bool operator==(const CRigAddress& other) const = default;

private:
    Kind m_kind = Kind::None;
    int m_model = 0;
    QString m_host;
    int m_port = 0;
    QString m_device;
    int m_speed = 0;
};
