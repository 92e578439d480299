#pragma once

#include <QByteArray>
#include <QString>
#include <vector>

class CClock;

// One e-mail: sender, recipients, subject and text, formatted into the header and body that the SMTP
// DATA phase sends. Header values that are not ASCII go as RFC 2047 encoded words; every line ends
// with CR LF.
class CMailMessage
{
public:
    struct CRecipient
    {
        QString address;
        QString name;
    };

    CMailMessage();
    virtual ~CMailMessage();
    CMailMessage(const CMailMessage&) = delete;
    CMailMessage& operator=(const CMailMessage&) = delete;

    // The sender in display form ("\"N0CALL Net\" <n0call@example.org>") or a bare address.
    void SetFrom(const QString& from) { m_sFrom = from; }
    const QString& GetFrom() const { return m_sFrom; }
    // The address part of the sender, for the envelope; empty when the sender is not an address.
    QString GetEnvelopeSender() const;
    void SetSubject(const QString& subject) { m_sSubject = subject; }
    const QString& GetSubject() const { return m_sSubject; }
    void SetMailer(const QString& mailer) { m_sMailer = mailer; }
    const QString& GetMailer() const { return m_sMailer; }
    // The message text as typed; any line ends.
    void SetBody(const QString& body) { m_sBody = body; }
    const QString& GetBody() const { return m_sBody; }
    int GetLineLength() const { return m_nLineLength; }

    void AddRecipient(const QString& address, const QString& name = {});
    // "name <address>;address;..." (see the .cpp); false when a piece has a "<" without a ">" after it,
    // which ends the parsing.
    bool AddMultipleRecipients(const QString& recipients);
    int GetNumRecipients() const { return static_cast<int>(m_recipients.size()); }
    bool GetRecipient(int index, QString& address, QString& name) const;

    // The clock of the Date line (the system clock unless set; it must outlive the message).
    void SetClock(const CClock* clock) { m_clock = clock; }
    // The Message-ID line's value without angle brackets; made up when not set.
    void SetMessageId(const QString& id) { m_sMessageId = id; }

    // Empty when the message may be sent; otherwise why not. A line break in the sender, the subject or
    // a recipient would let the text add header lines or SMTP commands of its own, so it is refused
    // before anything goes out.
    QString Check() const;

    // Builds the header and the body. False when a part could not be formatted (GetFormatError says
    // which); the texts are built all the same.
    bool FormatMessage();
    const QString& GetFormatError() const { return m_sFormatError; }
    const QByteArray& GetHeader() const { return m_sHeader; }
    const QByteArray& GetFormattedBody() const { return m_sFormattedBody; }
    // When the header was formatted, seconds since the epoch.
    qint64 GetDate() const { return m_tDateTime; }

protected:
    virtual void FormatHeader();
    virtual void FormatBody();
    virtual void EndHeader();
    virtual void PrepareHeader();
    virtual void AddHeaderLine(const QByteArray& line);

    // Appends "\r\n" unless the text already ends with it.
    static void EnsureCrLf(QByteArray& text);

    QByteArray m_sHeader;
    QByteArray m_sFormattedBody;
    QString m_sFormatError;

private:
    QByteArray FromHeaderText() const;

    QString m_sFrom;
    QString m_sSubject;
    QString m_sMailer = QStringLiteral("QV Mail");
    QString m_sBody;
    QString m_sMessageId;
    qint64 m_tDateTime = 0;
    int m_nLineLength = 76;
    std::vector<CRecipient> m_recipients;
    const CClock* m_clock = nullptr;
};
