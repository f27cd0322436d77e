#include "KestaroServer.h"

#include <sys/random.h>

#include <array>
#include <cstdio>
#include <limits>
#include <map>
#include <optional>

#include <rapidjson/document.h>
#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>

#include "SampleRequests.h"
#include "Utf8.h"

namespace {

using TWriter = rapidjson::Writer<rapidjson::StringBuffer>;

void Send(THttpResponse& AResponse, int AStatus, const rapidjson::StringBuffer& ABody) {
    AResponse.Status = AStatus;
    AResponse.Body.assign(ABody.GetString(), ABody.GetSize());
    AResponse.ContentType = "application/json; charset=utf-8";
}

void SendError(THttpResponse& AResponse, int AStatus, const char* AMessage) {
    rapidjson::StringBuffer buffer;
    TWriter w(buffer);
    w.StartObject();
    w.Key("success");
    w.Bool(false);
    w.Key("error");
    w.String(AMessage);
    w.EndObject();
    Send(AResponse, AStatus, buffer);
}

void SendSuccess(THttpResponse& AResponse, std::optional<std::int64_t> AId = std::nullopt) {
    rapidjson::StringBuffer buffer;
    TWriter w(buffer);
    w.StartObject();
    w.Key("success");
    w.Bool(true);
    if (AId) {
        w.Key("id");
        w.Int64(*AId);
    }
    w.EndObject();
    Send(AResponse, 200, buffer);
}

// The answer to a status change or deletion: success, or 404 when no request had the id.
void SendChangeResult(THttpResponse& AResponse, bool AFound) {
    if (AFound)
        SendSuccess(AResponse);
    else
        SendError(AResponse, 404, "الطلب غير موجود.");
}

void WriteText(TWriter& AWriter, const char* AKey, const std::string& AText) {
    AWriter.Key(AKey);
    AWriter.String(AText.data(), static_cast<rapidjson::SizeType>(AText.size()));
}

void WriteOptional(TWriter& AWriter, const char* AKey, const std::optional<std::string>& AText) {
    if (AText) {
        WriteText(AWriter, AKey, *AText);
    } else {
        AWriter.Key(AKey);
        AWriter.Null();
    }
}

void WriteRequest(TWriter& AWriter, const TStoredRequest& ARequest) {
    AWriter.StartObject();
    AWriter.Key("id");
    AWriter.Int64(ARequest.Id);
    WriteText(AWriter, "student_id", ARequest.StudentId);
    WriteText(AWriter, "student_name", ARequest.StudentName);
    WriteText(AWriter, "class_name", ARequest.ClassName);
    WriteText(AWriter, "birth_date", ARequest.BirthDate);
    WriteText(AWriter, "request_date", ARequest.RequestDate);
    WriteText(AWriter, "requester", ARequest.Requester);
    WriteText(AWriter, "status", ARequest.Status);
    WriteOptional(AWriter, "completed_date", ARequest.CompletedDate);
    WriteOptional(AWriter, "completed_by", ARequest.CompletedBy);
    WriteText(AWriter, "notes", ARequest.Notes);
    AWriter.EndObject();
}

// A JSON object body, or nothing (with the reply already sent) when the body is not one.
std::optional<rapidjson::Document> ObjectBody(const THttpRequest& ARequest,
                                              THttpResponse& AResponse) {
    rapidjson::Document doc;
    // Iterative, so that a body of deeply nested brackets cannot exhaust the thread's stack.
    doc.Parse<rapidjson::kParseValidateEncodingFlag | rapidjson::kParseIterativeFlag>(
        ARequest.Body.data(), ARequest.Body.size());
    // The parser takes a NUL byte for the end of the text, so bytes hidden behind one would pass
    // unseen: a body is one JSON value with white space around it, and nothing else.
    const bool hiddenTail = ARequest.Body.find('\0') != std::string::npos;
    if (doc.HasParseError() || hiddenTail || !doc.IsObject()) {
        SendError(AResponse, 400, "الطلب ليس كائن JSON صالحاً.");
        return std::nullopt;
    }
    return doc;
}

// A member that must be a whole number in the 32-bit range the client reads ids in.
std::optional<std::int64_t> IdMember(const rapidjson::Document& ADoc) {
    const auto it = ADoc.FindMember("id");
    if (it == ADoc.MemberEnd() || !it->value.IsInt()) return std::nullopt;
    return it->value.GetInt();
}

// nullopt: the member is missing; a string member's text; or an error when it is not a string.
struct TTextMember {
    bool Present = false;
    bool Valid = true;
    std::string Text;
};

// A text is taken only as well-formed UTF-8: the parser lets a lone "\\udc00" escape through as
// the bytes of a surrogate.
TTextMember TextMember(const rapidjson::Document& ADoc, const char* AKey) {
    const auto it = ADoc.FindMember(AKey);
    if (it == ADoc.MemberEnd() || it->value.IsNull()) return {};
    if (!it->value.IsString()) return {true, false, {}};
    std::string text(it->value.GetString(), it->value.GetStringLength());
    const bool valid = IsValidUtf8(text);
    return {true, valid, valid ? std::move(text) : std::string()};
}

// Decimal digits with an optional minus, in the 64-bit range; nothing else is a number.
std::optional<std::int64_t> StrictInteger(const std::string& AText) {
    const std::size_t digits = AText.starts_with('-') ? 1 : 0;
    if (AText.size() == digits || AText.size() > digits + 18 ||
        AText.find_first_not_of("0123456789", digits) != std::string::npos)
        return std::nullopt;
    return std::stoll(AText);
}

bool IsStatusWord(const std::string& AStatus) {
    return AStatus == "pending" || AStatus == "completed";
}

}  // namespace

TKestaroServer::TKestaroServer(TServerOptions AOptions, TRequestStore& AStore)
    : FOptions(std::move(AOptions)),
      FStore(AStore),
      FHttp(MaxBodyBytes, [this](const THttpRequest& ARequest, THttpResponse& AResponse) {
          Route(ARequest, AResponse);
          if (FOptions.LogRequests) LogRequest(ARequest, AResponse);
      }) {}

// One line a request, written whole so that lines from several threads do not mix. What comes
// from the request is escaped: a line break in a path would otherwise make a line of its own.
void TKestaroServer::LogRequest(const THttpRequest& ARequest, const THttpResponse& AResponse) {
    const std::string line = "request " + EscapedForLog(ARequest.Method) + " " +
                             EscapedForLog(ARequest.Path) + " " + std::to_string(AResponse.Status) +
                             " \"" + EscapedForLog(ARequest.Header("user-agent")) + "\"\n";
    std::fwrite(line.data(), 1, line.size(), stdout);
    std::fflush(stdout);
}

int TKestaroServer::Bind() {
    if (!FOptions.TlsCertificatePem.empty())
        FHttp.UseTls(FOptions.TlsCertificatePem, FOptions.TlsKeyPem);
    return FHttp.Start(FOptions.Host, FOptions.Port);
}

void TKestaroServer::Serve() {
    std::unique_lock lock(FServeMutex);
    FStopped.wait(lock, [this] { return FStopping; });
}

void TKestaroServer::Stop() {
    {
        const std::lock_guard lock(FServeMutex);
        FStopping = true;
    }
    FStopped.notify_all();
    FHttp.Stop();
}

std::string TKestaroServer::GrantToken() {
    std::array<unsigned char, 32> bytes{};
    std::size_t filled = 0;
    while (filled < bytes.size()) {
        const ssize_t n = getrandom(bytes.data() + filled, bytes.size() - filled, 0);
        if (n < 0) throw std::runtime_error("no random bytes for a token");
        filled += std::size_t(n);
    }
    std::string token;
    for (const unsigned char b : bytes) {
        char hex[3];
        std::snprintf(hex, sizeof hex, "%02x", b);
        token += hex;
    }
    std::lock_guard lock(FTokensMutex);
    FTokens.insert(token);
    FTokenOrder.push_back(token);
    if (FTokenOrder.size() > MaxTokens) {
        FTokens.erase(FTokenOrder.front());
        FTokenOrder.pop_front();
    }
    return token;
}

bool TKestaroServer::Authorized(const THttpRequest& ARequest) {
    const std::string header = ARequest.Header("authorization");
    constexpr std::string_view prefix = "Bearer ";
    if (header.rfind(prefix, 0) != 0) return false;
    std::lock_guard lock(FTokensMutex);
    return FTokens.count(header.substr(prefix.size())) > 0;
}

void TKestaroServer::Route(const THttpRequest& ARequest, THttpResponse& AResponse) {
    using THandler = void (TKestaroServer::*)(const THttpRequest&, THttpResponse&);
    static const std::map<std::pair<std::string, std::string>, THandler> routes = {
        {{"POST", "/api/login"}, &TKestaroServer::Login},
        {{"GET", "/api/certificates/requests/count"}, &TKestaroServer::Count},
        {{"GET", "/api/certificates/requests"}, &TKestaroServer::List},
        {{"POST", "/api/certificates/requests"}, &TKestaroServer::Create},
        {{"POST", "/api/certificates/requests/update-status"}, &TKestaroServer::UpdateStatus},
        {{"POST", "/api/certificates/requests/delete"}, &TKestaroServer::Delete},
    };
    if (ARequest.Path != "/api/login" && !Authorized(ARequest))
        return SendError(AResponse, 401, "غير مصرح به: رمز المصادقة مفقود أو غير صالح.");
    if (ARequest.BodyTooLarge) return SendError(AResponse, 413, "حجم الطلب أكبر من المسموح.");
    const auto route = routes.find({ARequest.Method, ARequest.Path});
    if (route == routes.end()) return SendError(AResponse, 404, "المسار غير موجود.");
    try {
        (this->*route->second)(ARequest, AResponse);
    } catch (const std::exception&) {
        SendError(AResponse, 500, "خطأ داخلي في السيرفر.");
    }
}

void TKestaroServer::Login(const THttpRequest& ARequest, THttpResponse& AResponse) {
    const auto now = TLoginGuard::TClock::now();
    if (const auto wait = FLoginGuard.WaitFor(ARequest.RemoteAddress, now); wait.count() > 0) {
        const auto seconds = std::chrono::ceil<std::chrono::seconds>(wait).count();
        AResponse.Headers.emplace_back("Retry-After", std::to_string(seconds));
        SendError(AResponse, 429, "محاولات دخول خاطئة كثيرة. يرجى الانتظار قليلاً ثم المحاولة.");
        return;
    }
    const auto doc = ObjectBody(ARequest, AResponse);
    if (!doc) return;
    const TTextMember user = TextMember(*doc, "username");
    const TTextMember password = TextMember(*doc, "password");
    if (!user.Valid || !password.Valid || user.Text != "user" ||
        password.Text != FOptions.Password) {
        FLoginGuard.Failed(ARequest.RemoteAddress, now);
        SendError(AResponse, 401, "اسم المستخدم أو كلمة المرور غير صحيحة.");
        return;
    }
    FLoginGuard.Succeeded(ARequest.RemoteAddress);
    rapidjson::StringBuffer buffer;
    TWriter w(buffer);
    w.StartObject();
    WriteText(w, "token", GrantToken());
    w.EndObject();
    Send(AResponse, 200, buffer);
}

void TKestaroServer::Count(const THttpRequest& ARequest, THttpResponse& AResponse) {
    std::int64_t lastId = 0;
    if (const std::string* text = ARequest.Param("last_id")) {
        const auto number = StrictInteger(*text);
        if (!number) {
            SendError(AResponse, 400, "قيمة last_id غير صالحة.");
            return;
        }
        lastId = *number;
    }
    const TRequestCounts c = FStore.Counts(lastId);
    rapidjson::StringBuffer buffer;
    TWriter w(buffer);
    const std::pair<const char*, std::int64_t> members[] = {{"pending", c.Pending},
                                                            {"completed", c.Completed},
                                                            {"total", c.Total},
                                                            {"max_id", c.MaxId},
                                                            {"new_count", c.NewCount}};
    w.StartObject();
    for (const auto& [key, value] : members) {
        w.Key(key);
        w.Int64(value);
    }
    w.EndObject();
    Send(AResponse, 200, buffer);
}

void TKestaroServer::List(const THttpRequest& ARequest, THttpResponse& AResponse) {
    std::optional<std::string> status;
    if (const std::string* word = ARequest.Param("status")) {
        status = *word;
        if (!IsStatusWord(*status)) {
            SendError(AResponse, 400, "حالة غير معروفة.");
            return;
        }
    }
    const auto rows = FStore.List(status);
    rapidjson::StringBuffer buffer;
    TWriter w(buffer);
    w.StartArray();
    for (const auto& row : rows) WriteRequest(w, row);
    w.EndArray();
    Send(AResponse, 200, buffer);
}

void TKestaroServer::UpdateStatus(const THttpRequest& ARequest, THttpResponse& AResponse) {
    const auto doc = ObjectBody(ARequest, AResponse);
    if (!doc) return;
    const auto id = IdMember(*doc);
    const TTextMember status = TextMember(*doc, "status");
    const TTextMember by = TextMember(*doc, "completed_by");
    if (!id || !status.Present || !status.Valid || !by.Valid) {
        SendError(AResponse, 400, "يجب أن يحمل الطلب رقم الطلب (id) والحالة (status).");
        return;
    }
    if (!IsStatusWord(status.Text)) {
        SendError(AResponse, 400, "حالة غير معروفة.");
        return;
    }
    SendChangeResult(AResponse, FStore.SetStatus(*id, status.Text, by.Text, NowText()));
}

void TKestaroServer::Delete(const THttpRequest& ARequest, THttpResponse& AResponse) {
    const auto doc = ObjectBody(ARequest, AResponse);
    if (!doc) return;
    const auto id = IdMember(*doc);
    if (!id) {
        SendError(AResponse, 400, "يجب أن يحمل الطلب رقم الطلب (id).");
        return;
    }
    SendChangeResult(AResponse, FStore.Delete(*id));
}

void TKestaroServer::Create(const THttpRequest& ARequest, THttpResponse& AResponse) {
    const auto doc = ObjectBody(ARequest, AResponse);
    if (!doc) return;
    TStoredRequest request;
    const std::pair<const char*, std::string*> fields[] = {{"student_id", &request.StudentId},
                                                           {"student_name", &request.StudentName},
                                                           {"class_name", &request.ClassName},
                                                           {"birth_date", &request.BirthDate},
                                                           {"request_date", &request.RequestDate},
                                                           {"requester", &request.Requester},
                                                           {"notes", &request.Notes}};
    for (const auto& [key, target] : fields) {
        const TTextMember member = TextMember(*doc, key);
        if (!member.Valid) {
            SendError(AResponse, 400, "كل حقول الطلب نصوص.");
            return;
        }
        *target = member.Text;
    }
    if (request.StudentName.empty()) {
        SendError(AResponse, 400, "اسم التلميذ (student_name) مطلوب.");
        return;
    }
    if (request.RequestDate.empty()) request.RequestDate = NowText();
    SendSuccess(AResponse, FStore.Create(request));
}
