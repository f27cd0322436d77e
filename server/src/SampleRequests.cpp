#include "SampleRequests.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <ctime>

namespace {

constexpr std::array FirstNames = {
    "محمد",  "فاطمة الزهراء", "عبد الرحمن", "أمينة",     "يوسف",    "خديجة", "إسماعيل", "سارة",
    "أحمد",  "مريم",          "عبد الله",   "نور الهدى", "إبراهيم", "هاجر",  "رياض",    "ياسمين",
    "مصطفى", "إيمان",         "بلال",       "آية",       "حمزة",    "رانية", "زكرياء",  "شيماء"};
constexpr std::array LastNames = {"بن علي",  "بوعلام", "قاسمي",  "سعيداني", "بلقاسم",  "مرابط",
                                  "بن عيسى", "حمدي",   "زروقي",  "بوزيد",   "عمراني",  "شريف",
                                  "مسعودي",  "قادري",  "بوشامة", "حداد",    "بن صالح", "مباركي",
                                  "طالبي",   "خليفي",  "رحماني", "عثماني",  "سلامي",   "منصوري"};
constexpr std::array Requesters = {"الأب", "الأم", "الولي", "التلميذ نفسه"};
constexpr std::array Notes = {"",           "",       "",           "للتسجيل في ثانوية أخرى",
                              "نسخة ثانية", "مستعجل", "لملف المنحة"};

std::string Format(const char* AFormat, int A, int B, int C, int D = 0, int E = 0) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, AFormat, A, B, C, D, E);
    return buffer;
}

std::string DateTimeText(std::time_t ATime) {
    std::tm local{};
    localtime_r(&ATime, &local);
    char buffer[32];
    std::strftime(buffer, sizeof buffer, "%Y-%m-%d %H:%M:%S", &local);
    return buffer;
}

}  // namespace

std::string NowText() {
    return DateTimeText(std::time(nullptr));
}

TStoredRequest TSampleRequests::Next(const std::string& ARequestDate) {
    TStoredRequest r;
    r.StudentId = Format("%d%06d", Between(2009, 2014), Between(1, 999999), 0);
    r.StudentName = std::string(Pick(FirstNames)) + " " + Pick(LastNames);
    r.ClassName = Format("%d متوسط %d", Between(1, 4), Between(1, 4), 0);
    r.BirthDate = Format("%04d-%02d-%02d", Between(2009, 2014), Between(1, 12), Between(1, 28));
    r.RequestDate = ARequestDate;
    r.Requester = Pick(Requesters);
    r.Notes = Pick(Notes);
    return r;
}

std::vector<TStoredRequest> TSampleRequests::History(int ACount) {
    std::vector<TStoredRequest> requests;
    requests.reserve(std::size_t(ACount > 0 ? ACount : 0));
    const std::time_t now = std::time(nullptr);
    for (int i = 0; i < ACount; ++i) {
        // Oldest first, so that ids grow with the request date.
        const std::time_t made = now - std::time_t(ACount - i) * 3 * 3600 + Between(0, 3600);
        TStoredRequest r = Next(DateTimeText(made));
        if (Between(0, 2) == 0) {
            r.Status = "completed";
            r.CompletedDate = DateTimeText(std::min(now, made + Between(600, 48 * 3600)));
            r.CompletedBy = "أمانة المدير";
        }
        requests.push_back(std::move(r));
    }
    return requests;
}
