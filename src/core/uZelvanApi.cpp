#include "uZelvanApi.h"

#include <array>
#include <charconv>
#include <memory>
#include <mutex>

#include <QByteArrayView>

#include "HttpTransport.h"
#include "TextRules.h"
#include "ZelvanError.h"

namespace {

// The token of the last successful login, with the password and the server it was granted for.
// A token is never offered to a server other than the one that issued it. The poll cycle runs on
// a thread of its own while the user's actions run on the window's, so every access is locked.
class TTokenCache {
public:
    // The token held for this password and server; empty when there is none.
    QString TokenFor(const QString& APassword, const QString& AServer) const {
        const std::lock_guard lock(FMutex);
        return CachedTokenPassword == APassword && CachedTokenServer == AServer ? CachedToken
                                                                                : QString();
    }
    void Store(const QString& AToken, const QString& APassword, const QString& AServer) {
        const std::lock_guard lock(FMutex);
        CachedToken = AToken;
        CachedTokenPassword = APassword;
        CachedTokenServer = AServer;
    }
    void Clear() {
        const std::lock_guard lock(FMutex);
        CachedToken.clear();
    }

private:
    mutable std::mutex FMutex;
    QString CachedToken;
    QString CachedTokenPassword;
    QString CachedTokenServer;
};

TTokenCache TokenCache;

const char* const MsgWrongPassword = "كلمة المرور غير صحيحة.";
const char* const MsgServerStatus = "خطأ استجابة السيرفر (%d)";
const char* const MsgUnreachable = "تعذر الاتصال بالسيرفر. يرجى التأكد من عنوان IP وتشغيل السيرفر.";
// Where the server was reached and the secure connection is what failed, checking its address
// and whether it runs is the wrong advice.
const char* const MsgNoSecureConnection = "تعذر إنشاء اتصال آمن بالسيرفر.";
const char* const MsgInvalidReply = "استجابة السيرفر غير صالحة.";
const char* const MsgNoToken = "استجابة غير متوقعة: لم يتم استلام رمز المصادقة.";
const char* const MsgLoginReadError = "خطأ قراءة بيانات الدخول: ";
const char* const MsgUnauthorized = "كلمة المرور غير صحيحة أو غير مصرح به (401)";

QString Text(const char* AUtf8) {
    return QString::fromUtf8(AUtf8);
}

// Why no status came back, in words a secretary can act on; empty where there is nothing to add.
QString CauseOf(THttpFailure AFailure) {
    switch (AFailure) {
        case THttpFailure::Refused:
            return Text("السيرفر رفض الاتصال: تأكد من تشغيل السيرفر ومن رقم المنفذ.");
        case THttpFailure::TimedOut:
            return Text("السيرفر لم يرد في الوقت المحدد.");
        case THttpFailure::HostNotFound:
            return Text("تعذر العثور على عنوان السيرفر: تأكد من العنوان في الإعدادات.");
        case THttpFailure::BrokeOff:
            return Text("انقطع رد السيرفر قبل اكتماله.");
        case THttpFailure::Untrusted:
            return Text(
                "شهادة السيرفر غير موثوقة: لا تعرفها جهة موثوقة على هذا الجهاز "
                "(شهادة جهة المدرسة تُذكر في CaFile بملف الإعدادات).");
        case THttpFailure::WrongName:
            return Text("شهادة السيرفر صادرة لاسم آخر غير عنوان السيرفر في الإعدادات.");
        case THttpFailure::Expired:
            return Text("شهادة السيرفر منتهية الصلاحية.");
        case THttpFailure::NotTls:
            return Text("السيرفر لا يتحدث HTTPS على هذا المنفذ.");
        case THttpFailure::TlsOnly:
            return Text("السيرفر يتحدث HTTPS على هذا المنفذ: اكتب عنوانه في الإعدادات مبدوءاً بـ ") +
                   Isolated(QStringLiteral("https://")) + u'.';
        case THttpFailure::Redirected:
            return Text("رُفض تحويل السيرفر إلى عنوان غير آمن أو إلى سيرفر آخر.");
        case THttpFailure::CaFileUnreadable:
            return Text("تعذرت قراءة ملف شهادة الجهة (CaFile) في ملف الإعدادات: ") +
                   Isolated(QString::fromStdString(THttpTransport::CaFile()));
        default:
            return {};
    }
}

// The failures of the secure connection itself: the server was found and answered.
bool IsSecureConnectionFailure(THttpFailure AFailure) {
    switch (AFailure) {
        case THttpFailure::Untrusted:
        case THttpFailure::WrongName:
        case THttpFailure::Expired:
        case THttpFailure::NotTls:
        case THttpFailure::TlsOnly:
        case THttpFailure::CaFileUnreadable:
            return true;
        default:
            return false;
    }
}

// The message stays as it is; the cause, where one is known, follows on a line of its own.
QString WithCause(QString AMessage, THttpFailure AFailure) {
    if (const QString cause = CauseOf(AFailure); !cause.isEmpty()) AMessage += u'\n' + cause;
    return AMessage;
}

// A change whose reply never came may have reached the server all the same.
bool MayHaveArrived(THttpFailure AFailure) {
    return AFailure == THttpFailure::TimedOut || AFailure == THttpFailure::BrokeOff;
}

thread_local bool LastChangeUncertain = false;

QString FromUtf8(std::string_view AText) {
    return QString::fromUtf8(AText.data(), static_cast<qsizetype>(AText.size()));
}

std::string ToStd(const QString& AText) {
    return AText.toStdString();
}

// A reply whose body is not strictly valid UTF-8 cannot be read at all.
THttpReply Checked(THttpReply AReply) {
    if (!QByteArrayView(AReply.Body.data(), qsizetype(AReply.Body.size())).isValidUtf8())
        throw EZelvanError("استجابة السيرفر ليست نصاً صالحاً بترميز UTF-8.");
    return AReply;
}

bool IsSuccess(long AStatusCode) {
    return AStatusCode >= 200 && AStatusCode < 300;
}

bool Finish(const THttpReply& AReply, QString& AResponse, std::int32_t& AStatusCode) {
    AStatusCode = static_cast<std::int32_t>(AReply.StatusCode);
    AResponse = FromUtf8(AReply.Body);
    return IsSuccess(AReply.StatusCode);
}

// Replies are parsed from the bytes as they arrived, already checked to be UTF-8, so a list of
// thousands of requests is not converted to text and back before it is read. A leading byte
// order mark is dropped, so that every operation reads such a reply alike.
std::optional<TJsonDocument> ParseReply(std::string ABody) {
    if (ABody.starts_with("\xEF\xBB\xBF")) ABody.erase(0, 3);
    return TJsonDocument::Parse(std::move(ABody));
}

// A change (a POST other than the login) never rides a kept connection: see TConnection.
THttpReply Transmit(const QString& AUrl, const QString* APostBody, const QString& AToken,
                    TConnection AConnection = TConnection::Kept) {
    if (APostBody)
        return Checked(
            THttpTransport::Post(ToStd(AUrl), ToStd(*APostBody), ToStd(AToken), AConnection));
    return Checked(THttpTransport::Get(ToStd(AUrl), ToStd(AToken)));
}

QString ErrorText(const std::exception& AError) {
    return QString::fromUtf8(AError.what());
}

// Whole-number text in the signed 32-bit range, as JSON writes it or as a string holds it.
std::optional<std::int32_t> ReadInt(std::string_view AText) {
    return TryStrToInt(AText);
}

// Whether number text is zero, integer or not, for the Boolean reader; "nan", "inf" and the like
// are words. A number beyond a double (1e309, three hundred digits) is no zero when a digit of
// its mantissa is not: its size does not matter, only that it is not nothing.
std::optional<bool> NumberIsZero(std::string_view AText) {
    if (auto whole = ReadInt(AText)) return *whole == 0;
    if (AText.find_first_not_of("0123456789+-.eE") != std::string_view::npos) return std::nullopt;
    double value = 0;
    const char* end = AText.data() + AText.size();
    const auto [stop, error] = std::from_chars(AText.data(), end, value);
    if (stop != end) return std::nullopt;
    if (error == std::errc()) return value == 0;
    if (error != std::errc::result_out_of_range) return std::nullopt;
    const std::string_view mantissa = AText.substr(0, AText.find_first_of("eE"));
    return mantissa.find_first_of("123456789") == std::string_view::npos;
}

}  // namespace

// ---- JSON readers ----

namespace {

// The conversions of the readers, applied to a member's value.

bool ValueToStr(const TJsonValue& AValue, QString& AText) {
    switch (AValue.Kind()) {
        case TJsonKind::String:
        case TJsonKind::Number:
            AText = FromUtf8(AValue.Text());
            return true;
        case TJsonKind::True:
            AText = QStringLiteral("true");
            return true;
        case TJsonKind::False:
            AText = QStringLiteral("false");
            return true;
        case TJsonKind::Null:
            AText.clear();
            return true;
        default:
            AText.clear();
            return false;
    }
}

std::optional<std::int32_t> ValueToInt(const TJsonValue& AValue) {
    switch (AValue.Kind()) {
        case TJsonKind::String:
        case TJsonKind::Number:
            return ReadInt(AValue.Text());
        case TJsonKind::True:
            return 1;
        case TJsonKind::False:
            return 0;
        default:
            return std::nullopt;
    }
}

std::optional<bool> ValueToBool(const TJsonValue& AValue) {
    switch (AValue.Kind()) {
        case TJsonKind::True:
            return true;
        case TJsonKind::False:
            return false;
        case TJsonKind::Number:
        case TJsonKind::String: {
            if (auto zero = NumberIsZero(AValue.Text())) return !*zero;
            if (AValue.Kind() == TJsonKind::Number) return std::nullopt;
            const QString word = FromUtf8(AValue.Text());
            if (word.compare(u"true", Qt::CaseInsensitive) == 0) return true;
            if (word.compare(u"false", Qt::CaseInsensitive) == 0) return false;
            return std::nullopt;
        }
        default:
            return std::nullopt;
    }
}

}  // namespace

bool JsonGetStr(const TJsonValue& AObject, std::string_view AKey, QString& AValue) {
    AValue.clear();
    const auto member = AObject.Find(AKey);
    return member && ValueToStr(*member, AValue);
}

bool JsonGetInt(const TJsonValue& AObject, std::string_view AKey, std::int32_t& AValue) {
    const auto member = AObject.Find(AKey);
    const auto value = member ? ValueToInt(*member) : std::nullopt;
    if (value) AValue = *value;
    return value.has_value();
}

bool JsonGetBool(const TJsonValue& AObject, std::string_view AKey, bool& AValue) {
    const auto member = AObject.Find(AKey);
    const auto value = member ? ValueToBool(*member) : std::nullopt;
    if (value) AValue = *value;
    return value.has_value();
}

namespace {

// Remembers the strings made from short texts during one list read, so that a text met again
// shares the string already made. Direct-mapped: a collision simply replaces the entry. Each
// field keeps its own count of hits, and a field whose texts hardly ever recur (pupil ids,
// request times) stops consulting the cache after a while, since hashing would cost it more than
// sharing saves.
class TTextCache {
public:
    void Read(const TJsonValue& AValue, std::size_t AField, QString& AText) {
        const std::string_view utf8 = AValue.Text();
        const bool text = AValue.Kind() == TJsonKind::String || AValue.Kind() == TJsonKind::Number;
        TFieldStats& stats = FStats[AField];
        if (!text || utf8.empty() || utf8.size() > MaxBytes || stats.Bypass) {
            ValueToStr(AValue, AText);
            return;
        }
        TEntry& entry = FEntries[std::hash<std::string_view>()(utf8) % FEntries.size()];
        if (entry.Utf8 == utf8) {
            ++stats.Hits;
        } else {
            entry = {utf8, FromUtf8(utf8)};
        }
        AText = entry.Text;
        if (++stats.Reads == TrialReads) stats.Bypass = stats.Hits * 8 < stats.Reads;
    }

private:
    static constexpr std::size_t MaxBytes = 64;
    static constexpr unsigned TrialReads = 512;
    struct TEntry {
        std::string_view Utf8;  // points into the document being read; empty when unused
        QString Text;
    };
    struct TFieldStats {
        unsigned Reads = 0;
        unsigned Hits = 0;
        bool Bypass = false;
    };
    std::array<TEntry, 1024> FEntries;
    std::array<TFieldStats, 16> FStats;
};

// The record's fields with the members they are read from; index 0 is the number "id".
constexpr std::array<std::string_view, 11> RequestKeys = {
    "id",        "student_id", "student_name",   "class_name",   "birth_date", "request_date",
    "requester", "status",     "completed_date", "completed_by", "notes"};

QString& TextField(TCertRequestItem& AItem, std::size_t AField) {
    QString* fields[] = {&AItem.StudentID, &AItem.StudentName,   &AItem.ClassName,
                         &AItem.BirthDate, &AItem.RequestDate,   &AItem.Requester,
                         &AItem.Status,    &AItem.CompletedDate, &AItem.CompletedBy,
                         &AItem.Notes};
    return *fields[AField - 1];
}

// Reads objects of one shape in a single pass over each object's members, matching names by
// their number in the document; the first member of a name counts, as with the readers.
class TRequestReader {
public:
    explicit TRequestReader(const TJsonValue& AAnyValue) {
        for (std::size_t field = 0; field < RequestKeys.size(); ++field) {
            const auto id = AAnyValue.NameIdOf(RequestKeys[field]);
            if (!id) continue;
            if (*id >= FFieldOfName.size()) FFieldOfName.resize(*id + 1, -1);
            FFieldOfName[*id] = static_cast<int>(field);
        }
    }

    void Read(const TJsonValue& AObject, TCertRequestItem& AItem) {
        unsigned seen = 0;
        AObject.ForEachChild([&](const TJsonValue& AMember) {
            const std::uint32_t name = AMember.NameId();
            const int field = name < FFieldOfName.size() ? FFieldOfName[name] : -1;
            if (field < 0 || (seen & (1u << field))) return;
            seen |= 1u << field;
            if (field == 0) {
                if (const auto id = ValueToInt(AMember)) AItem.ID = *id;
            } else {
                FCache.Read(AMember, std::size_t(field), TextField(AItem, std::size_t(field)));
            }
        });
    }

private:
    std::vector<int> FFieldOfName;  // by name number: the field it fills, or -1
    TTextCache FCache;
};

}  // namespace

TCertRequestItem JsonGetRequest(const TJsonValue& AObject) {
    TCertRequestItem item;
    JsonGetInt(AObject, "id", item.ID);
    for (std::size_t field = 1; field < RequestKeys.size(); ++field)
        JsonGetStr(AObject, RequestKeys[field], TextField(item, field));
    return item;
}

void JsonGetRequests(const TJsonValue& AArray, TCertRequestList& AList) {
    AList.resize(AArray.Size());
    auto reader = std::make_unique<TRequestReader>(AArray);
    std::size_t index = 0;
    AArray.ForEachChild([&](const TJsonValue& AElement) {
        if (AElement.IsObject()) reader->Read(AElement, AList[index]);
        ++index;
    });
}

QString JsonEscape(const QString& AText) {
    QString out;
    out.reserve(AText.size() + 8);
    for (const QChar c : AText) {
        switch (c.unicode()) {
            case '"':
                out += u"\\\"";
                break;
            case '\\':
                out += u"\\\\";
                break;
            case '\b':
                out += u"\\b";
                break;
            case '\f':
                out += u"\\f";
                break;
            case '\n':
                out += u"\\n";
                break;
            case '\r':
                out += u"\\r";
                break;
            case '\t':
                out += u"\\t";
                break;
            default:
                if (c.unicode() < 0x20)
                    out += QString::asprintf("\\u%04x", unsigned(c.unicode()));
                else
                    out += c;
        }
    }
    return out;
}

// ---- transport ----

QString TZelvanApi::BuildUrl(const QString& AHost, std::int32_t APort, const QString& APath) {
    QString url = TrimBlanks(AHost);
    if (url.isEmpty()) url = QStringLiteral("127.0.0.1");
    if (!url.startsWith(u"http://", Qt::CaseInsensitive) &&
        !url.startsWith(u"https://", Qt::CaseInsensitive))
        url.prepend(u"http://");
    const QStringView address = QStringView(url).mid(url.indexOf(u"://") + 3);
    if (APort > 0 && APort != 80 && !address.contains(u':'))
        return url + u':' + QString::number(APort) + APath;
    return url + APath;
}

bool TZelvanApi::HttpGet(const QString& AUrl, const QString& AToken, QString& AResponse,
                         std::int32_t& AStatusCode) {
    AResponse.clear();
    AStatusCode = 0;
    return Finish(Transmit(AUrl, nullptr, AToken), AResponse, AStatusCode);
}

bool TZelvanApi::HttpPost(const QString& AUrl, const QString& ABody, const QString& AToken,
                          QString& AResponse, std::int32_t& AStatusCode) {
    AResponse.clear();
    AStatusCode = 0;
    return Finish(Transmit(AUrl, &ABody, AToken), AResponse, AStatusCode);
}

// ---- login and token cache ----

bool TZelvanApi::Login(const QString& AHost, std::int32_t APort, const QString& APassword,
                       QString& AToken, QString& AError) {
    AToken.clear();
    AError.clear();
    const QString body =
        QStringLiteral("{\"username\":\"user\",\"password\":\"%1\"}").arg(JsonEscape(APassword));
    const QString url = BuildUrl(AHost, APort, QStringLiteral("/api/login"));
    THttpReply reply = Transmit(url, &body, QString());
    if (!IsSuccess(reply.StatusCode)) {
        const int status = static_cast<int>(reply.StatusCode);
        if (status == 401)
            AError = Text(MsgWrongPassword);
        else if (status > 0)
            AError = QString::asprintf(MsgServerStatus, status);
        else
            AError = WithCause(Text(IsSecureConnectionFailure(reply.Failure) ? MsgNoSecureConnection
                                                                             : MsgUnreachable),
                               reply.Failure);
        return false;
    }
    try {
        const auto doc = ParseReply(std::move(reply.Body));
        if (!doc || !doc->Root().IsObject()) {
            AError = Text(MsgInvalidReply);
            return false;
        }
        if (!JsonGetStr(doc->Root(), "token", AToken) || AToken.isEmpty()) {
            AError = Text(MsgNoToken);
            return false;
        }
        TokenCache.Store(AToken, APassword, BuildUrl(AHost, APort, QString()));
        return true;
    } catch (const std::exception& e) {
        AError = Text(MsgLoginReadError) + ErrorText(e);
        return false;
    }
}

bool TZelvanApi::EnsureToken(const QString& AHost, std::int32_t APort, const QString& APassword,
                             QString& AToken, QString& AError) {
    AError.clear();
    AToken = TokenCache.TokenFor(APassword, BuildUrl(AHost, APort, QString()));
    return !AToken.isEmpty() || Login(AHost, APort, APassword, AToken, AError);
}

bool TZelvanApi::TestConnection(const QString& AHost, std::int32_t APort, const QString& APassword,
                                QString& AError) {
    TokenCache.Clear();
    QString token;
    return Login(AHost, APort, APassword, token, AError);
}

bool TZelvanApi::TestConnection(const QString& AHost, std::int32_t APort, QString& AError) {
    return TestConnection(AHost, APort, QStringLiteral("2613"), AError);
}

// ---- the request frame: token, one request, one retry after a refused token ----

struct TZelvanApi::TRequest {
    QString Path;
    bool IsPost = false;
    QString Body;
    const char* FailureFormat;  // the operation's message for a failing status, with %d
};

// The request operations work on the reply's bytes (checked to be UTF-8) rather than on its text,
// so that a long list is parsed straight from what arrived.
bool TZelvanApi::SendWithRetry(const QString& AHost, std::int32_t APort, const QString& APassword,
                               const TRequest& ARequest, std::string& AReplyBody, QString& AError) {
    // The token travels in a local copy: another thread may replace the cached one meanwhile.
    QString token;
    if (!EnsureToken(AHost, APort, APassword, token, AError)) return false;
    const QString url = BuildUrl(AHost, APort, ARequest.Path);
    const QString* body = ARequest.IsPost ? &ARequest.Body : nullptr;
    const TConnection connection = ARequest.IsPost ? TConnection::Fresh : TConnection::Kept;
    THttpReply reply = Transmit(url, body, token, connection);
    if (reply.StatusCode == 401) {
        TokenCache.Clear();
        if (Login(AHost, APort, APassword, token, AError))
            reply = Transmit(url, body, token, connection);
    }
    if (IsSuccess(reply.StatusCode)) {
        AReplyBody = std::move(reply.Body);
        return true;
    }
    const int status = static_cast<int>(reply.StatusCode);
    if (status == 401) {
        AError = Text(MsgUnauthorized);
        return false;
    }
    AError = QString::asprintf(ARequest.FailureFormat, status);
    if (status != 0) return false;
    AError = WithCause(AError, reply.Failure);
    LastChangeUncertain = ARequest.IsPost && MayHaveArrived(reply.Failure);
    if (LastChangeUncertain)
        AError +=
            u'\n' +
            Text("قد يكون التغيير قد وصل إلى السيرفر: ستُظهر القائمة بعد التحديث إن كان قد تم.");
    return false;
}

// ---- request operations ----

bool TZelvanApi::GetRequestsCount(const QString& AHost, std::int32_t APort,
                                  const QString& APassword, std::int32_t ALastSeenID,
                                  std::int32_t& APending, std::int32_t& ACompleted,
                                  std::int32_t& ATotal, std::int32_t& AMaxID,
                                  std::int32_t& ANewCount, QString& AError) {
    AError.clear();
    APending = ACompleted = ATotal = AMaxID = ANewCount = 0;
    const TRequest request{
        QString::asprintf("/api/certificates/requests/count?last_id=%d", ALastSeenID),
        false,
        {},
        "خطأ اتصال (%d)"};
    std::string reply;
    if (!SendWithRetry(AHost, APort, APassword, request, reply, AError)) return false;
    try {
        const auto doc = ParseReply(std::move(reply));
        if (doc && doc->Root().IsObject()) {
            const TJsonValue root = doc->Root();
            JsonGetInt(root, "pending", APending);
            JsonGetInt(root, "completed", ACompleted);
            JsonGetInt(root, "total", ATotal);
            JsonGetInt(root, "max_id", AMaxID);
            JsonGetInt(root, "new_count", ANewCount);
        }
        return true;
    } catch (const std::exception& e) {
        AError = Text("خطأ قراءة البيانات: ") + ErrorText(e);
        return false;
    }
}

bool TZelvanApi::GetRequests(const QString& AHost, std::int32_t APort, const QString& APassword,
                             const QString& AStatus, TCertRequestList& AList, QString& AError) {
    AError.clear();
    AList.clear();
    QString path = QStringLiteral("/api/certificates/requests");
    if (!AStatus.isEmpty() && AStatus != u"all")
        path += QStringLiteral("?status=") + TrimBlanks(AStatus);
    const TRequest request{path, false, {}, "خطأ جلب الطلبات (%d)"};
    std::string reply;
    if (!SendWithRetry(AHost, APort, APassword, request, reply, AError)) return false;
    try {
        const auto doc = ParseReply(std::move(reply));
        if (doc && doc->Root().IsArray()) JsonGetRequests(doc->Root(), AList);
        return true;
    } catch (const std::exception& e) {
        AError = Text("خطأ معالجة القائمة: ") + ErrorText(e);
        return false;
    }
}

namespace {

// A status change or deletion reply: a JSON object succeeds only when its "success" reads as
// true; any other 2xx reply counts as done, since its status already said so.
bool ReadChangeReply(std::string AReply, QString& AError) {
    try {
        const auto doc = ParseReply(std::move(AReply));
        if (!doc || !doc->Root().IsObject()) return true;
        bool success = false;
        if (JsonGetBool(doc->Root(), "success", success) && success) return true;
        JsonGetStr(doc->Root(), "error", AError);
        return false;
    } catch (const std::exception& e) {
        AError = ErrorText(e);
        return false;
    }
}

}  // namespace

bool TZelvanApi::LastChangeMayHaveArrived() {
    return LastChangeUncertain;
}

bool TZelvanApi::UpdateRequestStatus(const QString& AHost, std::int32_t APort,
                                     const QString& APassword, std::int32_t AID,
                                     const QString& AStatus, const QString& ACompletedBy,
                                     QString& AError) {
    AError.clear();
    LastChangeUncertain = false;
    const TRequest request{QStringLiteral("/api/certificates/requests/update-status"), true,
                           QStringLiteral("{\"id\":%1,\"status\":\"%2\",\"completed_by\":\"%3\"}")
                               .arg(AID)
                               .arg(JsonEscape(AStatus), JsonEscape(ACompletedBy)),
                           "خطأ تحديث الحالة (%d)"};
    std::string reply;
    if (!SendWithRetry(AHost, APort, APassword, request, reply, AError)) return false;
    return ReadChangeReply(std::move(reply), AError);
}

bool TZelvanApi::DeleteRequest(const QString& AHost, std::int32_t APort, const QString& APassword,
                               std::int32_t AID, QString& AError) {
    AError.clear();
    LastChangeUncertain = false;
    const TRequest request{QStringLiteral("/api/certificates/requests/delete"), true,
                           QStringLiteral("{\"id\":%1}").arg(AID), "خطأ حذف الطلب (%d)"};
    std::string reply;
    if (!SendWithRetry(AHost, APort, APassword, request, reply, AError)) return false;
    return ReadChangeReply(std::move(reply), AError);
}
