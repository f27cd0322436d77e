#include "SyntheticReply.h"

#include <array>
#include <cstdio>

std::string SyntheticListReply(int ACount) {
    static const std::array<const char*, 23> first = {
        "محمد",    "فاطمة الزهراء", "عبد الرحمن", "أمينة",  "يوسف",     "خديجة",
        "إسماعيل", "سارة",          "أحمد",       "مريم",   "عبد الله", "نور الهدى",
        "إبراهيم", "هاجر",          "رياض",       "ياسمين", "مصطفى",    "إيمان",
        "بلال",    "آية",           "حمزة",       "رانية",  "زكرياء"};
    static const std::array<const char*, 29> last = {
        "بن علي", "بوعلام", "قاسمي",   "سعيداني", "بلقاسم", "مرابط",   "بن عيسى", "حمدي",
        "زروقي",  "بوزيد",  "عمراني",  "شريف",    "مسعودي", "بن يوسف", "قادري",   "بوشامة",
        "لعريبي", "حداد",   "بن صالح", "مباركي",  "طالبي",  "بن عمر",  "خليفي",   "رحماني",
        "عثماني", "بلعيد",  "سلامي",   "منصوري",  "بوقرة"};
    static const std::array<const char*, 4> classes = {"1 متوسط 1", "2 متوسط 3", "3 متوسط 2",
                                                       "4 متوسط 1"};
    static const std::array<const char*, 3> requesters = {"الأب", "الأم", "الولي"};
    std::string out = "[";
    char buffer[1024];
    for (int i = 0; i < ACount; ++i) {
        const bool done = i % 3 == 0;
        std::snprintf(buffer, sizeof buffer,
                      "%s{\"id\":%d,\"student_id\":\"%08d\",\"student_name\":\"%s %s\","
                      "\"class_name\":\"%s\",\"birth_date\":\"2012-%02d-%02d\","
                      "\"request_date\":\"2026-11-%02d %02d:%02d:00\",\"requester\":\"%s\","
                      "\"status\":\"%s\",\"completed_date\":%s,\"completed_by\":%s,"
                      "\"notes\":\"%s\"}",
                      i ? "," : "", ACount - i, 20120000 + i, first[i % first.size()],
                      last[i % last.size()], classes[i % classes.size()], 1 + i % 12, 1 + i % 28,
                      1 + i % 28, i % 24, i % 60, requesters[i % requesters.size()],
                      done ? "completed" : "pending", done ? "\"2026-12-01 10:00:00\"" : "null",
                      done ? "\"أمانة المدير\"" : "null", i % 5 ? "" : "شهادة مدرسية للتسجيل");
        out += buffer;
    }
    out += "]";
    return out;
}
