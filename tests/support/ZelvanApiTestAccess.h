#pragma once

#include "uZelvanApi.h"

// Reaches the API client's private transport operations, which only the tests call directly.
class TZelvanApiTestAccess {
public:
    static QString BuildUrl(const QString& AHost, std::int32_t APort, const QString& APath) {
        return TZelvanApi::BuildUrl(AHost, APort, APath);
    }
    static bool HttpGet(const QString& AUrl, const QString& AToken, QString& AResponse,
                        std::int32_t& AStatusCode) {
        return TZelvanApi::HttpGet(AUrl, AToken, AResponse, AStatusCode);
    }
    static bool HttpPost(const QString& AUrl, const QString& ABody, const QString& AToken,
                         QString& AResponse, std::int32_t& AStatusCode) {
        return TZelvanApi::HttpPost(AUrl, ABody, AToken, AResponse, AStatusCode);
    }
};
