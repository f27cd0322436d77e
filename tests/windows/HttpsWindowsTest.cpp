#include <gtest/gtest.h>

#include <windows.h>

#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "HttpTransport.h"
#include "uZelvanApi.h"

// The Windows program's TLS (libcurl on Schannel) against kestaro-server serving HTTPS with the
// test-only certificates: the test command starts the servers and names their ports, and the test
// authority's file, in the environment. With the school's authority libcurl verifies the chain,
// the dates and the name itself; it matches names, not addresses, so the server is "localhost".
TEST(HttpsOnWindows, WithTheSchoolsAuthorityEachCertificateIsJudged) {
    const char* authority = std::getenv("KESTARO_TLS_CA");
    if (!authority) GTEST_SKIP() << "no TLS servers named";
    THttpTransport::SetCaFile(authority);
    const struct {
        const char* Server;
        QString Cause;  // empty: reached
        const char* Host = "https://localhost";
    } rows[] = {
        {"KESTARO_TLS_PORT", {}},
        {"KESTARO_TLS_PORT",
         QStringLiteral("السيرفر يتحدث HTTPS على هذا المنفذ: اكتب عنوانه في الإعدادات مبدوءاً بـ "
                        "\u2066https://\u2069."),
         "http://localhost"},
        {"KESTARO_EXPIRED_PORT", QStringLiteral("شهادة السيرفر منتهية الصلاحية.")},
        {"KESTARO_OTHER_PORT",
         QStringLiteral("شهادة السيرفر صادرة لاسم آخر غير عنوان السيرفر في الإعدادات.")},
        {"KESTARO_PLAIN_PORT", QStringLiteral("السيرفر لا يتحدث HTTPS على هذا المنفذ.")},
    };
    for (const auto& row : rows) {
        const char* port = std::getenv(row.Server);
        ASSERT_NE(port, nullptr) << row.Server;
        QString error;
        const bool reached = TZelvanApi::TestConnection(row.Host, std::atoi(port), "2613", error);
        EXPECT_EQ(reached, row.Cause.isEmpty()) << row.Server << ": " << error.toStdString();
        EXPECT_TRUE(error.endsWith(row.Cause)) << row.Server << ": " << error.toStdString();
    }
    THttpTransport::SetCaFile({});
}

// Worker threads that kept a TLS connection end without harm to the heap: state a thread keeps
// must be freed by the thread's own code before it ends, never by a thread_local destructor,
// which mingw-w64 may run after the thread's storage is gone.
TEST(HttpsOnWindows, ThreadsThatKeptAConnectionLeaveTheHeapWhole) {
    const char* authority = std::getenv("KESTARO_TLS_CA");
    const char* port = std::getenv("KESTARO_TLS_PORT");
    if (!authority || !port) GTEST_SKIP() << "no TLS servers named";
    THttpTransport::SetCaFile(authority);
    for (int round = 0; round < 4; ++round) {
        std::vector<std::thread> threads;
        for (int i = 0; i < 8; ++i)
            threads.emplace_back([port] {
                const THttpTransport::TKeptConnections kept;
                for (int n = 0; n < 2; ++n) {
                    QString error;
                    TZelvanApi::TestConnection("https://localhost", std::atoi(port), "2613", error);
                }
            });
        for (std::thread& thread : threads) thread.join();
    }
    THttpTransport::SetCaFile({});
    HANDLE heaps[64];
    const DWORD count = GetProcessHeaps(64, heaps);
    for (DWORD i = 0; i < count && i < 64; ++i)
        EXPECT_TRUE(HeapValidate(heaps[i], 0, nullptr)) << "heap " << i;
}
