#include "core/rig/RigAddress.h"

#include "core/rig/detail/Hamlib.h"

#include <QRegularExpression>

namespace {

// The serial speeds Hamlib's serial port can be set to.
constexpr int kSpeeds[] = {300, 600, 1200, 2400, 4800, 9600, 19200, 38400, 57600, 115200, 230400, 460800};

const QString kForms = QStringLiteral("give HOST:PORT for rigctld or MODEL:DEVICE[@SPEED] for a radio on a "
                                      "serial port, e.g. 127.0.0.1:4532 or 1035:/dev/ttyUSB0@9600");

CRigAddress Fail(QString* error, const QString& why)
{
    if (error)
        *error = why;
    return {};
}

bool AllDigits(const QString& text)
{
    if (text.isEmpty())
        return false;
    for (const QChar c : text)
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return false;
    return true;
}

} // namespace

CRigAddress CRigAddress::Network(const QString& host, int port)
{
    CRigAddress a;
    a.m_kind = Kind::Network;
    a.m_model = kNetRigctlModel;
    a.m_host = host;
    a.m_port = port;
    return a;
}

CRigAddress CRigAddress::Serial(int model, const QString& device, int speed)
{
    CRigAddress a;
    a.m_kind = Kind::Serial;
    a.m_model = model;
    a.m_device = device;
    a.m_speed = speed;
    return a;
}

CRigAddress CRigAddress::Parse(const QString& input, QString* error)
{
    if (error)
        error->clear();
    const QString text = input.trimmed();
    if (text.isEmpty())
        return {};
    const auto bad = [&](const QString& why) {
        return Fail(error, QStringLiteral("'%1' is not a rig address: %2").arg(text, why));
    };
    for (const QChar c : text)
        if (c.isSpace() || c.category() == QChar::Other_Control)
            return bad(QStringLiteral("it holds a blank or a control character"));
    const qsizetype colon = text.indexOf(QLatin1Char(':'));
    if (colon < 0)
        return bad(kForms);
    const QString head = text.left(colon);

    // MODEL:DEVICE[@SPEED]: a model number, then the device's path.
    if (AllDigits(head)) {
        bool ok = false;
        const int model = head.toInt(&ok);
        if (!ok || model <= 0)
            return bad(QStringLiteral("%1 is no radio model of Hamlib's list").arg(head));
        QString device = text.mid(colon + 1);
        int speed = 0;
        if (const qsizetype at = device.lastIndexOf(QLatin1Char('@')); at >= 0) {
            const QString speedText = device.mid(at + 1);
            device.truncate(at);
            speed = AllDigits(speedText) ? speedText.toInt(&ok) : 0;
            if (!ok || std::find(std::begin(kSpeeds), std::end(kSpeeds), speed) == std::end(kSpeeds))
                return bad(QStringLiteral("'%1' is not a serial speed (300 to 460800 baud, e.g. 9600)")
                               .arg(speedText));
        }
        if (!device.startsWith(QLatin1Char('/')) || device.size() < 2)
            return bad(QStringLiteral("the radio's port must be a device such as /dev/ttyUSB0"));
        if (model == kNetRigctlModel)
            return bad(QStringLiteral("model 2 is rigctld on the network: give its HOST:PORT"));
        if (!Hamlib::HasModel(model))
            return bad(QStringLiteral("%1 is no radio model of Hamlib's list (rigctl --list shows them)")
                           .arg(model));
        return Serial(model, device, speed);
    }

    // HOST:PORT, an IPv6 address in brackets ("[::1]:4532").
    QString host;
    QString portText;
    if (text.startsWith(QLatin1Char('['))) {
        const qsizetype close = text.indexOf(QLatin1String("]:"));
        if (close < 0)
            return bad(QStringLiteral("an IPv6 address is written [ADDRESS]:PORT"));
        host = text.mid(1, close - 1);
        portText = text.mid(close + 2);
        static const QRegularExpression v6(QStringLiteral("^[0-9A-Fa-f:.]+$"));
        if (!v6.match(host).hasMatch() || !host.contains(QLatin1Char(':')))
            return bad(QStringLiteral("'%1' is not an IPv6 address").arg(host));
    } else {
        host = head;
        portText = text.mid(colon + 1);
        // A host name or an IPv4 address; nothing that Hamlib's own "host:port" reading would take apart.
        static const QRegularExpression name(QStringLiteral("^[A-Za-z0-9]([A-Za-z0-9._-]*[A-Za-z0-9])?$"));
        if (!name.match(host).hasMatch())
            return bad(QStringLiteral("'%1' is not a host name or address").arg(host));
    }
    bool ok = false;
    const int port = AllDigits(portText) ? portText.toInt(&ok) : 0;
    if (!ok || port < 1 || port > 65535)
        return bad(QStringLiteral("the port must be a number from 1 to 65535"));
    return Network(host, port);
}

QString CRigAddress::PathName() const
{
    switch (m_kind) {
    case Kind::Network:
        return m_host.contains(QLatin1Char(':')) ? QStringLiteral("[%1]:%2").arg(m_host).arg(m_port)
                                                 : QStringLiteral("%1:%2").arg(m_host).arg(m_port);
    case Kind::Serial:
        return m_device;
    case Kind::None:
        break;
    }
    return {};
}

QString CRigAddress::ToString() const
{
    if (m_kind == Kind::Serial)
        return m_speed > 0 ? QStringLiteral("%1:%2@%3").arg(m_model).arg(m_device).arg(m_speed)
                           : QStringLiteral("%1:%2").arg(m_model).arg(m_device);
    return PathName();
}
