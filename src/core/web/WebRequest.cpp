#include "core/web/WebRequest.h"

#include "core/app/Settings.h"
#include "core/web/CredentialCache.h"
#include "core/web/HttpTransport.h"

#include <QRegularExpression>
#include <QStringDecoder>
#include <QUrl>
#include <chrono>
#include <memory>
#include <optional>

namespace {

using Clock = std::chrono::steady_clock;

const char kNoSession[] = "Not a good session identifier";
const char kInvalidUrl[] = "Invalid URL";
const char kAccessDenied[] = "Access denied: Invalid password";
const char kNoErrorText[] = "Exception Occured";

// CURLM and CURL may be the same type to the compiler: a deleter of its own.
struct CMultiDeleter
{
    void operator()(CURLM* m) const { curl_multi_cleanup(m); }
};
struct CUrlDeleter
{
    void operator()(CURLU* u) const { curl_url_cleanup(u); }
};
struct CListDeleter
{
    void operator()(curl_slist* l) const { curl_slist_free_all(l); }
};

// Percent-encodes what may not stand in a URL as it is; '%' and the delimiters stay as given.
QByteArray EncodeUnsafe(const QString& text)
{
    static const char hex[] = "0123456789ABCDEF";
    const QByteArray utf8 = text.toUtf8();
    QByteArray out;
    out.reserve(utf8.size());
    for (const char ch : utf8) {
        const auto c = static_cast<unsigned char>(ch);
        if (c <= 0x20 || c >= 0x7F || c == '"' || c == '<' || c == '>' || c == '\\' || c == '^' || c == '`' ||
            c == '{' || c == '|' || c == '}') {
            out += '%';
            out += hex[c >> 4];
            out += hex[c & 15];
        } else {
            out += ch;
        }
    }
    return out;
}

QString UrlPart(CURLU* u, CURLUPart part)
{
    char* text = nullptr;
    if (curl_url_get(u, part, &text, 0) != CURLUE_OK || !text)
        return {};
    const QString s = QString::fromUtf8(text);
    curl_free(text);
    return s;
}

// State of one attempt, shared with libcurl's callbacks.
struct CAttempt
{
    QByteArray body;
    qint64 maxBody = 0;
    bool tooLarge = false;
    int status = 0;
    QByteArray reason;
    bool sawStatusLine = false;
    bool headDone = false; // the head of a final answer (not 1xx) is complete
    qint64 headerBytes = 0;
    QList<QPair<QByteArray, QByteArray>> headers;
};

size_t OnHeader(char* data, size_t size, size_t count, void* user)
{
    auto* a = static_cast<CAttempt*>(user);
    const size_t bytes = size * count;
    a->headerBytes += qint64(bytes);
    const QByteArray line = QByteArray(data, qsizetype(bytes)).trimmed();
    if (line.startsWith("HTTP/")) {
        // A new answer begins (after an authentication round, say): forget the previous one.
        a->headers.clear();
        a->body.clear();
        a->headDone = false;
        a->sawStatusLine = true;
        const QList<QByteArray> parts = line.split(' ');
        a->status = parts.size() > 1 ? parts[1].toInt() : 0;
        const qsizetype space = line.indexOf(' ', line.indexOf(' ') + 1);
        a->reason = space > 0 ? line.mid(space + 1).trimmed() : QByteArray();
    } else if (line.isEmpty()) {
        a->headDone = a->sawStatusLine && a->status >= 200;
    } else if (const qsizetype colon = line.indexOf(':'); colon > 0) {
        a->headers.append({line.left(colon).trimmed(), line.mid(colon + 1).trimmed()});
    }
    return bytes;
}

size_t OnBody(char* data, size_t size, size_t count, void* user)
{
    auto* a = static_cast<CAttempt*>(user);
    const size_t bytes = size * count;
    if (a->body.size() + qint64(bytes) > a->maxBody) {
        a->tooLarge = true;
        return 0; // stops the transfer with a write error
    }
    a->body.append(data, qsizetype(bytes));
    return bytes;
}

// The pieces of a header value split at the commas outside quoted strings, trimmed.
QList<QByteArray> SplitOutsideQuotes(const QByteArray& value)
{
    QList<QByteArray> pieces;
    QByteArray piece;
    bool quoted = false;
    for (qsizetype i = 0; i < value.size(); ++i) {
        const char c = value[i];
        if (quoted && c == '\\' && i + 1 < value.size()) {
            piece += c;
            piece += value[++i];
            continue;
        }
        if (c == '"')
            quoted = !quoted;
        if (c == ',' && !quoted) {
            pieces << piece.trimmed();
            piece.clear();
        } else {
            piece += c;
        }
    }
    pieces << piece.trimmed();
    return pieces;
}

// The value of a "name=value" or "name="value"" parameter.
QString ParamValue(const QByteArray& param)
{
    QByteArray v = param.mid(param.indexOf('=') + 1).trimmed();
    if (v.size() >= 2 && v.startsWith('"') && v.endsWith('"')) {
        v = v.mid(1, v.size() - 2);
        QByteArray out;
        for (qsizetype i = 0; i < v.size(); ++i)
            out += (v[i] == '\\' && i + 1 < v.size()) ? v[++i] : v[i];
        v = out;
    }
    return QString::fromUtf8(v);
}

// The challenge to answer among the WWW-Authenticate headers of a 401: Digest when the server offers it
// (never Basic then), else Basic; false when it offers neither. realm: that challenge's realm.
bool ReadChallenge(const QList<QPair<QByteArray, QByteArray>>& headers, QByteArray& scheme, QString& realm)
{
    bool basic = false, digest = false;
    QString basicRealm, digestRealm;
    for (const auto& h : headers) {
        if (h.first.compare("WWW-Authenticate", Qt::CaseInsensitive) != 0)
            continue;
        // One header may hold several challenges: "Digest realm="a", nonce="n", Basic realm="a"".
        QByteArray current;
        for (QByteArray piece : SplitOutsideQuotes(h.second)) {
            const qsizetype space = piece.indexOf(' ');
            const qsizetype equals = piece.indexOf('=');
            if (!piece.isEmpty() && (equals < 0 || (space > 0 && space < equals))) {
                // A new challenge: its scheme, then perhaps its first parameter.
                current = (space < 0 ? piece : piece.left(space)).toLower();
                if (current == "digest")
                    digest = true;
                else if (current == "basic")
                    basic = true;
                piece = space < 0 ? QByteArray() : piece.mid(space + 1).trimmed();
            }
            if (!piece.toLower().startsWith("realm") || piece.indexOf('=') < 0 ||
                piece.left(piece.indexOf('=')).trimmed().toLower() != "realm")
                continue;
            if (current == "digest" && digestRealm.isNull())
                digestRealm = ParamValue(piece);
            else if (current == "basic" && basicRealm.isNull())
                basicRealm = ParamValue(piece);
        }
    }
    if (digest) {
        scheme = "digest";
        realm = digestRealm;
        return true;
    }
    if (basic) {
        scheme = "basic";
        realm = basicRealm;
        return true;
    }
    return false;
}

// Worth another attempt: nothing reached the server.
bool MayRetry(CURLcode rc)
{
    return rc == CURLE_COULDNT_RESOLVE_HOST || rc == CURLE_COULDNT_CONNECT || rc == CURLE_OPERATION_TIMEDOUT;
}

QString Seconds(int ms)
{
    return QString::number(ms / 1000.0, 'f', ms % 1000 ? 1 : 0);
}

} // namespace

// ---------------------------------------------------------------------------------------------------------

CWebOptions CWebOptions::FromSettings(const CSettings& settings)
{
    const auto value = [&](const Key<int>& key) {
        const int v = settings.Get(key);
        return v > 0 ? v : settings.GetDefault(key);
    };
    CWebOptions o;
    o.connectTimeoutMs = value(Setting::NetConTO);
    o.connectRetries = value(Setting::NetRetNum);
    // The control-channel values are applied first and then replaced, as they always were.
    o.receiveTimeoutMs = value(Setting::NetCtrlRecTO);
    o.sendTimeoutMs = value(Setting::NetCtrlSndTO);
    o.dataReceiveTimeoutMs = value(Setting::NetDataRecTO);
    o.dataSendTimeoutMs = value(Setting::NetDataSndTO);
    o.receiveTimeoutMs = value(Setting::NetRecTO);
    o.sendTimeoutMs = value(Setting::NetSndTO);
    o.exchangeTimeoutMs = value(Setting::NetExchangeTO);
    return o;
}

// ---------------------------------------------------------------------------------------------------------

QString CWebResponse::StatusText() const
{
    if (m_status == 0)
        return {};
    return m_reason.isEmpty() ? QString::number(m_status)
                              : QStringLiteral("%1 %2").arg(m_status).arg(m_reason);
}

QByteArray CWebResponse::BodyWithoutCr() const
{
    QByteArray out = m_body;
    out.replace('\r', QByteArray());
    return out;
}

QString CWebResponse::Text() const
{
    const QByteArray bytes = BodyWithoutCr();
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8(bytes);
    return utf8.hasError() ? QString::fromLatin1(bytes) : text;
}

QByteArray CWebResponse::Header(const QByteArray& name) const
{
    for (auto it = m_headers.crbegin(); it != m_headers.crend(); ++it) {
        if (it->first.compare(name, Qt::CaseInsensitive) == 0)
            return it->second;
    }
    return {};
}

QString CWebResponse::FailureText() const
{
    if (IsSuccess())
        return {};
    return Answered() ? StatusText() : m_message;
}

QString CWebResponse::FetchText() const
{
    switch (m_outcome) {
    case Outcome::Answered:
        return Text();
    case Outcome::NoSession:
    case Outcome::InvalidUrl:
    case Outcome::AccessDenied:
        return m_message;
    default:
        return {};
    }
}

QString CWebResponse::TookText() const
{
    return QString::asprintf("Post took %5.3f seconds.", m_seconds);
}

// ---------------------------------------------------------------------------------------------------------

CWebRequest::CWebRequest() : m_cache(std::make_shared<CCredentialCache>()) {}

CWebRequest::CWebRequest(const CWebOptions& options)
    : m_options(options), m_cache(std::make_shared<CCredentialCache>())
{
}

void CWebRequest::SetCredentialCache(std::shared_ptr<CCredentialCache> cache)
{
    m_cache = cache ? std::move(cache) : std::make_shared<CCredentialCache>();
}

CWebRequest::~CWebRequest() = default;

QString CWebRequest::BuildUrl(const QString& server, const QString& port, const QString& objectPath)
{
    HttpTransport::Init();
    QString text = server.trimmed();
    static const QRegularExpression schemeRe(QStringLiteral("^[A-Za-z][A-Za-z0-9+.-]*://"));
    if (!schemeRe.match(text).hasMatch())
        text.prepend(QLatin1String("http://"));
    std::unique_ptr<CURLU, CUrlDeleter> u(curl_url());
    if (!u || curl_url_set(u.get(), CURLUPART_URL, EncodeUnsafe(text).constData(),
                           CURLU_NON_SUPPORT_SCHEME) != CURLUE_OK)
        return {};
    const QString scheme = UrlPart(u.get(), CURLUPART_SCHEME).toLower();
    const QString host = UrlPart(u.get(), CURLUPART_HOST);
    if ((scheme != QLatin1String("http") && scheme != QLatin1String("https")) || host.isEmpty())
        return {};
    QString ownPort = UrlPart(u.get(), CURLUPART_PORT);
    const QString portText = port.trimmed();
    if (ownPort.isEmpty() && !portText.isEmpty() && scheme == QLatin1String("http")) {
        bool ok = false;
        const int number = portText.toInt(&ok);
        if (!ok || number < 1 || number > 65535)
            return {};
        ownPort = QString::number(number);
    }
    QString url = scheme + QLatin1String("://") + host;
    if (!ownPort.isEmpty())
        url += QLatin1Char(':') + ownPort;
    QString path = UrlPart(u.get(), CURLUPART_PATH);
    if (objectPath.isEmpty()) {
        url += path.isEmpty() ? QStringLiteral("/") : path;
        const QString query = UrlPart(u.get(), CURLUPART_QUERY);
        if (!query.isEmpty())
            url += QLatin1Char('?') + query;
    } else {
        while (path.endsWith(QLatin1Char('/')))
            path.chop(1);
        url += path + QLatin1Char('/') + QString::fromLatin1(EncodeUnsafe(objectPath));
    }
    // What libcurl itself will not take is no address either.
    std::unique_ptr<CURLU, CUrlDeleter> check(curl_url());
    if (!check || curl_url_set(check.get(), CURLUPART_URL, url.toUtf8().constData(), 0) != CURLUE_OK)
        return {};
    return url;
}

CWebResponse CWebRequest::Get()
{
    return Run(nullptr, {});
}

CWebResponse CWebRequest::Post(const QByteArray& body, const QByteArray& contentType)
{
    return Run(&body, contentType);
}

QString CWebRequest::Fetch()
{
    return Get().FetchText();
}

bool CWebRequest::SplitUrl(const QString& url, QString& server, QString& port, QString& object)
{
    const qsizetype schemeEnd = url.indexOf(QLatin1String("://"));
    if (schemeEnd <= 0)
        return false;
    const QString scheme = url.left(schemeEnd).toLower();
    const bool https = scheme == QLatin1String("https");
    if (!https && scheme != QLatin1String("http"))
        return false;
    const qsizetype hostStart = schemeEnd + 3;
    qsizetype hostEnd = hostStart;
    while (hostEnd < url.size() && url[hostEnd] != QLatin1Char('/') && url[hostEnd] != QLatin1Char('?') &&
           url[hostEnd] != QLatin1Char('#'))
        ++hostEnd;
    QString authority = url.mid(hostStart, hostEnd - hostStart);
    // Credentials are never part of these addresses; a user part would only be dropped by the client.
    if (authority.contains(QLatin1Char('@')))
        authority = authority.mid(authority.lastIndexOf(QLatin1Char('@')) + 1);
    // host, host:port, [v6], [v6]:port
    QString host = authority, portText;
    const qsizetype bracket = authority.lastIndexOf(QLatin1Char(']'));
    const qsizetype colon = authority.lastIndexOf(QLatin1Char(':'));
    if (colon > bracket) {
        host = authority.left(colon);
        portText = authority.mid(colon + 1);
        bool ok = false;
        const int number = portText.toInt(&ok);
        if (!ok || number < 1 || number > 65535)
            return false;
        portText = QString::number(number);
    }
    if (host.isEmpty() || host == QLatin1String("[]"))
        return false;

    // The port text counts for plain http only; an https port stays part of the server.
    server = scheme + QLatin1String("://") + host;
    if (https) {
        if (!portText.isEmpty())
            server += QLatin1Char(':') + portText;
        port.clear();
    } else {
        port = portText.isEmpty() ? QStringLiteral("80") : portText;
    }
    object = url.mid(hostEnd);
    const qsizetype fragment = object.indexOf(QLatin1Char('#'));
    if (fragment >= 0)
        object.truncate(fragment);
    while (object.startsWith(QLatin1Char('/')))
        object.remove(0, 1);
    return true;
}

CWebResponse CWebRequest::GetUrl(const QString& url)
{
    QString server, port, object;
    // Never an https request answered over plain http: the address asked keeps the scheme given.
    if (!SplitUrl(url, server, port, object) ||
        !BuildUrl(server, port, object).startsWith(server.left(server.indexOf(QLatin1Char(':')) + 3))) {
        CWebResponse r;
        r.m_outcome = CWebResponse::Outcome::InvalidUrl;
        r.m_message = QString::fromLatin1(kInvalidUrl);
        return r;
    }
    SetServer(server);
    SetPort(port);
    SetObjectPath(object);
    return Get();
}

QString HttpBaseUrl(const QString& host)
{
    QString base = host.trimmed();
    const qsizetype scheme = base.indexOf(QLatin1String("://"));
    if (scheme < 0) {
        base.prepend(QLatin1String("https://"));
    } else {
        const QString name = base.left(scheme).toLower();
        if (name != QLatin1String("http") && name != QLatin1String("https"))
            return {};
        base = name + base.mid(scheme);
    }
    while (base.endsWith(QLatin1Char('/')))
        base.chop(1);
    const QUrl url(base, QUrl::StrictMode);
    if (!url.isValid() || url.host().isEmpty() || url.hasQuery() || url.hasFragment() ||
        !url.userInfo().isEmpty())
        return {};
    return base;
}

CWebResponse CWebRequest::Run(const QByteArray* body, const QByteArray& contentType)
{
    m_cancel = false;
    CWebResponse r;
    if (m_closed) {
        r.m_outcome = CWebResponse::Outcome::Cancelled;
        r.m_message = QStringLiteral("Cancelled");
        return r;
    }
    HttpTransport::CEasy easy = HttpTransport::NewEasy();
    std::unique_ptr<CURLM, CMultiDeleter> multi(curl_multi_init());
    if (!easy || !multi) {
        r.m_outcome = CWebResponse::Outcome::NoSession;
        r.m_message = QString::fromLatin1(kNoSession);
        return r;
    }
    r.m_url = BuildUrl(m_server, m_port, m_objectPath);
    if (r.m_url.isEmpty()) {
        r.m_outcome = CWebResponse::Outcome::InvalidUrl;
        r.m_message = QString::fromLatin1(kInvalidUrl);
        return r;
    }

    const QByteArray url = r.m_url.toUtf8();
    const QString urlText = r.m_url;
    CHttpPolicy policy;
    policy.http10 = true;
    policy.connectTimeoutMs = m_options.connectTimeoutMs;
    // A length announced beyond the cap is refused before the body comes; the rate is watched below.
    policy.maxBytes = m_answerBodyNeeded ? m_options.maxBodyBytes : 0;
    policy.caFile = m_options.caFile;
    std::unique_ptr<curl_slist, CListDeleter> headers;
    for (const char* h : {"Pragma: no-cache", "Cache-Control: no-cache", "Expect:"})
        headers.reset(curl_slist_append(headers.release(), h));
    if (body) {
        const QByteArray h = "Content-Type: " + contentType;
        headers.reset(curl_slist_append(headers.release(), h.constData()));
    }
    const qint64 bodySize = body ? body->size() : 0;

    // Answering a 401: the cached credential, then the given one, then the prompt, each once.
    enum class AuthStep
    {
        None,
        Cached,
        Given,
        Prompted
    } step = AuthStep::None;
    std::optional<CWebCredential> answer; // what the next attempt answers the server's challenge with
    QString answerRealm;
    bool answerFromCache = false;
    Clock::time_point exchangeStart = Clock::now();

    for (int attempt = 0;;) {
        CAttempt a;
        a.maxBody = m_options.maxBodyBytes;
        char errorText[CURL_ERROR_SIZE] = {};
        const QByteArray user = answer ? answer->user.toUtf8() : QByteArray();
        const QByteArray password = answer ? answer->password.toUtf8() : QByteArray();
        CURL* c = easy.get();
        curl_easy_reset(c);
        HttpTransport::Apply(c, url, policy, errorText);
        curl_easy_setopt(c, CURLOPT_HTTPHEADER, headers.get());
        curl_easy_setopt(c, CURLOPT_HEADERFUNCTION, &OnHeader);
        curl_easy_setopt(c, CURLOPT_HEADERDATA, &a);
        curl_easy_setopt(c, CURLOPT_WRITEFUNCTION, &OnBody);
        curl_easy_setopt(c, CURLOPT_WRITEDATA, &a);
        if (answer) {
            // Only the scheme the server asked for: libcurl never falls back to Basic from Digest.
            curl_easy_setopt(c, CURLOPT_USERNAME, user.constData());
            curl_easy_setopt(c, CURLOPT_PASSWORD, password.constData());
            curl_easy_setopt(c, CURLOPT_HTTPAUTH,
                             answer->scheme == "digest" ? CURLAUTH_DIGEST : CURLAUTH_BASIC);
        }
        if (body) {
            curl_easy_setopt(c, CURLOPT_POST, 1L);
            curl_easy_setopt(c, CURLOPT_POSTFIELDSIZE_LARGE, curl_off_t(bodySize));
            curl_easy_setopt(c, CURLOPT_POSTFIELDS, body->constData());
        } else {
            curl_easy_setopt(c, CURLOPT_HTTPGET, 1L);
        }

        // The exchange, driven here so that the inactivity limits, the progress and Cancel() are looked at
        // every few milliseconds.
        enum Phase
        {
            Connecting,
            Sending,
            Awaiting,
            Reading
        } phase = Connecting;
        const Clock::time_point start = Clock::now();
        Clock::time_point lastActivity = start;
        Clock::time_point rateStart = start;
        qint64 rateBytes = 0;
        curl_off_t lastUp = -1, lastDown = -1;
        qint64 lastHeader = -1;
        CWebResponse::Outcome ownEnd = CWebResponse::Outcome::Answered;
        QString ownMessage;
        bool headOnly = false; // ended on purpose once the head had come
        CURLcode rc = CURLE_OK;
        curl_multi_add_handle(multi.get(), c);
        for (;;) {
            int running = 0;
            const CURLMcode mc = curl_multi_perform(multi.get(), &running);
            if (mc != CURLM_OK) {
                ownEnd = CWebResponse::Outcome::TransportError;
                ownMessage = QString::fromUtf8(curl_multi_strerror(mc));
                break;
            }
            // The head of the answer is all the caller wants; a 401 that libcurl answers itself is not
            // the answer yet.
            if (!m_answerBodyNeeded && a.headDone && !(a.status == 401 && answer)) {
                headOnly = true;
                break;
            }
            if (running == 0) {
                int left = 0;
                while (CURLMsg* msg = curl_multi_info_read(multi.get(), &left)) {
                    if (msg->msg == CURLMSG_DONE)
                        rc = msg->data.result;
                }
                break;
            }
            curl_off_t up = 0, down = 0, downTotal = -1, pretransfer = 0;
            curl_easy_getinfo(c, CURLINFO_SIZE_UPLOAD_T, &up);
            curl_easy_getinfo(c, CURLINFO_SIZE_DOWNLOAD_T, &down);
            curl_easy_getinfo(c, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &downTotal);
            curl_easy_getinfo(c, CURLINFO_PRETRANSFER_TIME_T, &pretransfer);
            const Clock::time_point now = Clock::now();
            const bool moved = up != lastUp || down != lastDown || a.headerBytes != lastHeader;
            Phase next = Connecting;
            int limit = 0;
            if (pretransfer <= 0) {
                next = Connecting; // libcurl's connect time-out applies
            } else if (a.sawStatusLine) {
                // The answer has begun (a server may answer before it has taken the whole request).
                next = Reading;
                limit = m_options.dataReceiveTimeoutMs;
            } else if (up < bodySize) {
                next = Sending;
                limit = up == 0 ? m_options.sendTimeoutMs : m_options.dataSendTimeoutMs;
            } else {
                next = Awaiting;
                limit = m_options.receiveTimeoutMs;
            }
            if (moved || next != phase || next == Connecting)
                lastActivity = now;
            const bool progressed = moved;
            // The rate is measured while bytes are meant to move, over windows of rateWindowMs.
            const qint64 movedBytes = qint64(up) + qint64(down) + a.headerBytes;
            if ((next != Sending && next != Reading) || next != phase) {
                rateStart = now;
                rateBytes = movedBytes;
            }
            phase = next;
            lastUp = up;
            lastDown = down;
            lastHeader = a.headerBytes;
            if (limit > 0 && now - lastActivity > std::chrono::milliseconds(limit)) {
                ownEnd = CWebResponse::Outcome::TimedOut;
                ownMessage = phase == Sending
                                 ? QStringLiteral("Timed out: the server took nothing for %1 seconds")
                                       .arg(Seconds(limit))
                                 : QStringLiteral("Timed out: the server sent nothing for %1 seconds")
                                       .arg(Seconds(limit));
                break;
            }
            if (m_options.rateWindowMs > 0 && m_options.minBytesPerSecond > 0 &&
                now - rateStart >= std::chrono::milliseconds(m_options.rateWindowMs)) {
                const qint64 inWindow = movedBytes - rateBytes;
                if (inWindow * 1000 < qint64(m_options.minBytesPerSecond) * m_options.rateWindowMs) {
                    ownEnd = CWebResponse::Outcome::TimedOut;
                    ownMessage = QStringLiteral("Timed out: the server %1 only %2 bytes in %3 seconds")
                                     .arg(phase == Sending ? QStringLiteral("took") : QStringLiteral("sent"))
                                     .arg(inWindow)
                                     .arg(Seconds(m_options.rateWindowMs));
                    break;
                }
                rateStart = now;
                rateBytes = movedBytes;
            }
            if (m_options.exchangeTimeoutMs > 0 &&
                now - exchangeStart > std::chrono::milliseconds(m_options.exchangeTimeoutMs)) {
                ownEnd = CWebResponse::Outcome::TimedOut;
                ownMessage = QStringLiteral("Timed out: the exchange took longer than %1 seconds")
                                 .arg(Seconds(m_options.exchangeTimeoutMs));
                break;
            }
            if (Cancelled()) {
                ownEnd = CWebResponse::Outcome::Cancelled;
                break;
            }
            if (m_progressDisplay && m_progress && (progressed || phase != Connecting)) {
                const qint64 total = downTotal >= 0 ? bodySize + qint64(downTotal) : -1;
                if (!m_progress->Report(qint64(up) + qint64(down), total)) {
                    ownEnd = CWebResponse::Outcome::Cancelled;
                    break;
                }
            }
            curl_multi_poll(multi.get(), nullptr, 0, 50, nullptr);
        }
        curl_multi_remove_handle(multi.get(), c);
        r.m_seconds = std::chrono::duration<double>(Clock::now() - start).count();

        if (ownEnd != CWebResponse::Outcome::Answered) {
            r.m_outcome = ownEnd;
            r.m_message =
                ownEnd == CWebResponse::Outcome::Cancelled ? QStringLiteral("Cancelled") : ownMessage;
            return r;
        }
        if (rc != CURLE_OK && !headOnly) {
            if (Cancelled()) {
                r.m_outcome = CWebResponse::Outcome::Cancelled;
                r.m_message = QStringLiteral("Cancelled");
                return r;
            }
            if (HttpTransport::IsConnectFailure(rc) && MayRetry(rc) && attempt < m_options.connectRetries) {
                ++attempt;
                continue;
            }
            r.m_outcome = HttpTransport::IsConnectFailure(rc) ? CWebResponse::Outcome::ConnectFailed
                                                              : CWebResponse::Outcome::TransportError;
            if (a.tooLarge || rc == CURLE_FILESIZE_EXCEEDED)
                r.m_message =
                    QStringLiteral("The answer is larger than %1 bytes").arg(m_options.maxBodyBytes);
            else if (errorText[0])
                r.m_message = QString::fromUtf8(errorText);
            else if (const char* s = curl_easy_strerror(rc); s && *s)
                r.m_message = QString::fromUtf8(s);
            else
                r.m_message = QString::fromLatin1(kNoErrorText);
            return r;
        }

        long status = a.status;
        if (!headOnly)
            curl_easy_getinfo(c, CURLINFO_RESPONSE_CODE, &status);
        r.m_outcome = CWebResponse::Outcome::Answered;
        r.m_status = int(status);
        r.m_reason = QString::fromLatin1(a.reason);
        r.m_headers = std::move(a.headers);
        r.m_body = headOnly ? QByteArray() : std::move(a.body);
        if (status != 401) {
            if (answer)
                m_cache->Keep(urlText, answerRealm, *answer);
            return r;
        }

        // Refused: a cached credential that no longer works is forgotten.
        if (answer && answerFromCache)
            m_cache->Forget(urlText, answerRealm);
        answer.reset();
        answerFromCache = false;
        QByteArray scheme;
        QString realm;
        const bool answerable = ReadChallenge(r.m_headers, scheme, realm);
        if (answerable && step < AuthStep::Cached) {
            step = AuthStep::Cached;
            // Kept from a Digest challenge: never sent as Basic (the server asks again, or an impostor does).
            if (std::optional<CWebCredential> kept = m_cache->Find(urlText, realm);
                kept && (scheme == "digest" || kept->scheme == "basic")) {
                answer = CWebCredential{kept->user, kept->password, scheme};
                answerFromCache = true;
            }
        }
        if (answerable && !answer && step < AuthStep::Given) {
            step = AuthStep::Given;
            if (!m_user.isEmpty() || !m_password.isEmpty())
                answer = CWebCredential{m_user, m_password, scheme};
        }
        if (answerable && !answer && step < AuthStep::Prompted) {
            step = AuthStep::Prompted;
            QString newUser = m_user.isEmpty() ? m_cache->LastUser(urlText) : m_user;
            QString newPassword;
            if (m_prompt && m_prompt(r.m_url, realm, newUser, newPassword) && !Cancelled())
                answer = CWebCredential{newUser, newPassword, scheme};
            // The operator's time to answer is no part of the server's.
            exchangeStart = Clock::now();
        }
        if (!answer) {
            const bool cancelled = Cancelled();
            r.m_outcome = cancelled ? CWebResponse::Outcome::Cancelled : CWebResponse::Outcome::AccessDenied;
            r.m_message = cancelled ? QStringLiteral("Cancelled") : QString::fromLatin1(kAccessDenied);
            return r;
        }
        answerRealm = realm;
        r = CWebResponse();
        r.m_url = urlText;
    }
}
