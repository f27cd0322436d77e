#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include <vector>

#include <QString>

#include "JsonDocument.h"

// One certificate request as the server reports it.
struct TCertRequestItem {
    std::int32_t ID = 0;
    QString StudentID;
    QString StudentName;
    QString ClassName;
    QString BirthDate;
    QString RequestDate;
    QString Requester;
    QString Status;
    QString CompletedDate;
    QString CompletedBy;
    QString Notes;
};

using TCertRequestList = std::vector<TCertRequestItem>;

// Forgiving readers of one member of a JSON object: false when the member is missing or its
// value does not convert, and the destination then keeps its default. They never throw.
bool JsonGetStr(const TJsonValue& AObject, std::string_view AKey, QString& AValue);
bool JsonGetInt(const TJsonValue& AObject, std::string_view AKey, std::int32_t& AValue);
bool JsonGetBool(const TJsonValue& AObject, std::string_view AKey, bool& AValue);

// Reads one request object; members that are missing or unreadable stay empty (ID 0).
TCertRequestItem JsonGetRequest(const TJsonValue& AObject);

// Reads a JSON array of request objects into AList, one record per element in order; an element
// that is not an object gives an empty record. AList keeps the records already read if reading
// is interrupted by an error. Texts that recur across the list (status words, classes, dates)
// share one string instead of each record holding a copy.
void JsonGetRequests(const TJsonValue& AArray, TCertRequestList& AList);

// Writes AText as the body of a JSON string: quotation mark, backslash and control characters
// escaped, everything else (Arabic included) unchanged.
QString JsonEscape(const QString& AText);

// The Kestaro server's client. It has no instances: every operation takes the connection values,
// returns whether it succeeded and hands every other result back through out-parameters, the
// last of which is the message to show after a failure. Server failures never raise; a reply
// body that cannot be decoded raises EZelvanError.
class TZelvanApi {
public:
    TZelvanApi() = delete;

    static bool TestConnection(const QString& AHost, std::int32_t APort, const QString& APassword,
                               QString& AError);
    static bool TestConnection(const QString& AHost, std::int32_t APort, QString& AError);

    static bool GetRequestsCount(const QString& AHost, std::int32_t APort, const QString& APassword,
                                 std::int32_t ALastSeenID, std::int32_t& APending,
                                 std::int32_t& ACompleted, std::int32_t& ATotal,
                                 std::int32_t& AMaxID, std::int32_t& ANewCount, QString& AError);
    static bool GetRequests(const QString& AHost, std::int32_t APort, const QString& APassword,
                            const QString& AStatus, TCertRequestList& AList, QString& AError);
    static bool UpdateRequestStatus(const QString& AHost, std::int32_t APort,
                                    const QString& APassword, std::int32_t AID,
                                    const QString& AStatus, const QString& ACompletedBy,
                                    QString& AError);
    static bool DeleteRequest(const QString& AHost, std::int32_t APort, const QString& APassword,
                              std::int32_t AID, QString& AError);
    // After a failed UpdateRequestStatus or DeleteRequest on this thread: whether the request
    // went out and its reply was lost (timed out, broken off), so the change may have been made.
    static bool LastChangeMayHaveArrived();

private:
    friend class TZelvanApiTestAccess;

    static QString BuildUrl(const QString& AHost, std::int32_t APort, const QString& APath);
    static bool HttpGet(const QString& AUrl, const QString& AToken, QString& AResponse,
                        std::int32_t& AStatusCode);
    static bool HttpPost(const QString& AUrl, const QString& ABody, const QString& AToken,
                         QString& AResponse, std::int32_t& AStatusCode);

    static bool Login(const QString& AHost, std::int32_t APort, const QString& APassword,
                      QString& AToken, QString& AError);
    // Hands back the cached token for this server and password, logging in when none is held.
    static bool EnsureToken(const QString& AHost, std::int32_t APort, const QString& APassword,
                            QString& AToken, QString& AError);

    struct TRequest;
    static bool SendWithRetry(const QString& AHost, std::int32_t APort, const QString& APassword,
                              const TRequest& ARequest, std::string& AReplyBody, QString& AError);
};
