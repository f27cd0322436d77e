#include <gtest/gtest.h>

#include <string>

#include "JsonDocument.h"
#include "uZelvanApi.h"

namespace {

TJsonDocument Parse(const std::string& AText) {
    auto doc = TJsonDocument::Parse(AText);
    EXPECT_TRUE(doc.has_value()) << AText;
    return doc ? std::move(*doc) : *TJsonDocument::Parse("null");
}

QString Str(const char* AJson, const char* AKey, bool* AResult = nullptr) {
    const auto doc = Parse(AJson);
    QString value = QStringLiteral("stale");
    const bool ok = JsonGetStr(doc.Root(), AKey, value);
    if (AResult) *AResult = ok;
    return value;
}

std::optional<int> Int(const char* AJson, const char* AKey) {
    const auto doc = Parse(AJson);
    std::int32_t value = -77;
    if (!JsonGetInt(doc.Root(), AKey, value)) {
        EXPECT_EQ(value, -77) << "a failed read must keep the destination";
        return std::nullopt;
    }
    return value;
}

std::optional<bool> Bool(const std::string& AValueJson) {
    const auto doc = Parse("{\"v\":" + AValueJson + "}");
    bool value = false;
    if (!JsonGetBool(doc.Root(), "v", value)) return std::nullopt;
    return value;
}

}  // namespace

TEST(JsonDocument, AcceptsExactlyOneDocument) {
    EXPECT_TRUE(TJsonDocument::Parse("[1]")->Root().IsArray());
    EXPECT_TRUE(TJsonDocument::Parse(" \r\n\t{\"a\":1} \n")->Root().IsObject());
    EXPECT_EQ(TJsonDocument::Parse("\"x\"")->Root().Kind(), TJsonKind::String);
    for (const char* bad : {"", " ", "{", "ok", "{} x", "{}{}", "[1,]", "{'a':1}", "nul", "[1] ]"})
        EXPECT_FALSE(TJsonDocument::Parse(bad).has_value()) << bad;
    // RapidJSON stops at a NUL byte; what follows it must not be ignored.
    EXPECT_FALSE(TJsonDocument::Parse(std::string("{}\0{", 4)).has_value());
}

TEST(JsonDocument, KeepsNumberTextAndMemberOrder) {
    const auto doc = Parse(R"({"b":12.50,"a":1e3,"c":-0,"big":123456789012345678901234567890})");
    std::vector<std::string> texts;
    doc.Root().ForEachChild([&](const TJsonValue& v) { texts.emplace_back(v.Text()); });
    EXPECT_EQ(texts,
              (std::vector<std::string>{"12.50", "1e3", "-0", "123456789012345678901234567890"}));

    // Beyond a double: kept as written, and only that member's reader fails.
    const std::string huge = "1" + std::string(300, '0');
    const auto wide =
        Parse(R"({"a":1e309,"s":"1e400 \" 2","b":-1E+400,"c":)" + huge + R"(,"id":7})");
    texts.clear();
    wide.Root().ForEachChild([&](const TJsonValue& v) { texts.emplace_back(v.Text()); });
    EXPECT_EQ(texts, (std::vector<std::string>{"1e309", "1e400 \" 2", "-1E+400", huge, "7"}));
    std::int32_t id = 0;
    EXPECT_FALSE(JsonGetInt(wide.Root(), "a", id));
    EXPECT_TRUE(JsonGetInt(wide.Root(), "id", id));
    EXPECT_EQ(id, 7);
}

TEST(JsonDocument, BoundsNestingWithoutCrashing) {
    const std::string ok =
        std::string(TJsonDocument::MaxDepth, '[') + std::string(TJsonDocument::MaxDepth, ']');
    EXPECT_TRUE(TJsonDocument::Parse(ok).has_value());
    const std::string deep(200000, '[');
    EXPECT_FALSE(TJsonDocument::Parse(deep + std::string(200000, ']')).has_value());
    EXPECT_FALSE(TJsonDocument::Parse(deep).has_value());
}

TEST(JsonDocument, DecodesEscapesAndRejectsLoneSurrogates) {
    EXPECT_FALSE(TJsonDocument::Parse(R"(["\ud800x"])").has_value());
    EXPECT_EQ(Parse(R"("\u0645\ud83d\udcdc")").Root().Text(), "\xd9\x85\xf0\x9f\x93\x9c");
    EXPECT_EQ(Parse(R"(["a\"b\\c\u0000d"])").Root().Find("x"), std::nullopt);
    std::string texts;
    Parse(R"(["a\"b\\c\u0000d", 1.50])").Root().ForEachChild([&](const TJsonValue& v) {
        texts += std::string(v.Text()) + "|";
    });
    EXPECT_EQ(texts, std::string("a\"b\\c\0d|1.50|", 13));
}

TEST(JsonGetStr, ConvertsByKind) {
    bool ok = false;
    EXPECT_EQ(Str(R"({"k":"نص"})", "k"), QStringLiteral("نص"));
    EXPECT_EQ(Str(R"({"k":12.50})", "k"), "12.50");
    EXPECT_EQ(Str(R"({"k":1e3})", "k"), "1e3");
    EXPECT_EQ(Str(R"({"k":true})", "k"), "true");
    EXPECT_EQ(Str(R"({"k":false})", "k"), "false");
    EXPECT_EQ(Str(R"({"k":null})", "k", &ok), "");
    EXPECT_TRUE(ok) << "null reads as empty text with a true result";
    for (const char* failing : {R"({"k":{}})", R"({"k":[1]})", R"({"x":"1"})", R"([1])"}) {
        EXPECT_EQ(Str(failing, "k", &ok), "") << failing;
        EXPECT_FALSE(ok) << failing;
    }
}

TEST(JsonGetInt, AcceptsOnlyWholeNumbersInRange) {
    EXPECT_EQ(Int(R"({"id":17})", "id"), 17);
    EXPECT_EQ(Int(R"({"id":"17"})", "id"), 17);
    EXPECT_EQ(Int(R"({"id":-2147483648})", "id"), INT32_MIN);
    EXPECT_EQ(Int(R"({"id":2147483647})", "id"), INT32_MAX);
    EXPECT_EQ(Int(R"({"id":true})", "id"), 1);
    EXPECT_EQ(Int(R"({"id":false})", "id"), 0);
    for (const char* failing : {R"({"id":17.0})", R"({"id":"17a"})", R"({"id":2147483648})",
                                R"({"id":1e3})", R"({"id":""})", R"({"id":null})", R"({"id":[]})",
                                R"({"ID":5})", R"({"id":123456789012345678901234567890})"})
        EXPECT_EQ(Int(failing, "id"), std::nullopt) << failing;
}

TEST(JsonGetBool, ConvertsNumbersWordsAndBooleans) {
    EXPECT_EQ(Bool("true"), true);
    EXPECT_EQ(Bool("false"), false);
    EXPECT_EQ(Bool("1"), true);
    EXPECT_EQ(Bool("0"), false);
    EXPECT_EQ(Bool("0.0"), false);
    EXPECT_EQ(Bool("-2.5"), true);
    // Beyond a double, only whether a digit is not zero counts.
    EXPECT_EQ(Bool("1e309"), true);
    EXPECT_EQ(Bool("-1e-400"), true);
    EXPECT_EQ(Bool("0e999"), false);
    EXPECT_EQ(Bool(std::string(300, '9')), true);
    EXPECT_EQ(Bool("\"" + std::string(300, '9') + "\""), true);
    EXPECT_EQ(Bool("\"TRUE\""), true);
    EXPECT_EQ(Bool("\"False\""), false);
    EXPECT_EQ(Bool("\"1\""), true);
    EXPECT_EQ(Bool("\"0\""), false);
    for (const char* failing :
         {"\"yes\"", "null", "{}", "[]", "\"\"", "\"nan\"", "\"inf\"", "\"Infinity\""})
        EXPECT_EQ(Bool(failing), std::nullopt) << failing;
}

TEST(JsonGetRequest, ReadsEveryFieldAndDefaultsTheRest) {
    const auto doc = Parse(R"({"id":17,"student_name":"X","student_id":4.20,"notes":null,
                              "Status":"completed","id":6})");
    const TCertRequestItem item = JsonGetRequest(doc.Root());
    EXPECT_EQ(item.ID, 17) << "the first of two members with the same name wins";
    EXPECT_EQ(item.StudentName, "X");
    EXPECT_EQ(item.StudentID, "4.20");
    EXPECT_TRUE(item.Notes.isEmpty());
    EXPECT_TRUE(item.Status.isEmpty()) << "member names are case-sensitive";
    EXPECT_TRUE(item.ClassName.isEmpty() && item.BirthDate.isEmpty() &&
                item.RequestDate.isEmpty() && item.Requester.isEmpty() &&
                item.CompletedDate.isEmpty() && item.CompletedBy.isEmpty());

    const auto full =
        Parse(R"({"id":"9","student_id":"S1","student_name":"ن","class_name":"3 متوسط 2",
        "birth_date":"2012-01-02","request_date":"2026-12-01 09:00","requester":"الأب",
        "status":"pending","completed_date":"","completed_by":"أمانة المدير","notes":"n"})");
    const TCertRequestItem all = JsonGetRequest(full.Root());
    EXPECT_EQ(all.ID, 9);
    EXPECT_EQ(all.ClassName, QStringLiteral("3 متوسط 2"));
    EXPECT_EQ(all.RequestDate, "2026-12-01 09:00");
    EXPECT_EQ(all.Requester, QStringLiteral("الأب"));
    EXPECT_EQ(all.Status, "pending");
    EXPECT_EQ(all.CompletedBy, QStringLiteral("أمانة المدير"));
    EXPECT_EQ(all.Notes, "n");
}

TEST(JsonEscape, EscapesWhatJsonRequiresAndNothingElse) {
    EXPECT_EQ(JsonEscape(QStringLiteral("a\"b\\c\nd\te\x01ض")),
              QStringLiteral("a\\\"b\\\\c\\nd\\te\\u0001ض"));
    const QString escaped = JsonEscape(QStringLiteral("\"\\\r\b\f\x1f/"));
    const auto doc = TJsonDocument::Parse(("\"" + escaped + "\"").toStdString());
    ASSERT_TRUE(doc.has_value());
    EXPECT_EQ(doc->Root().Text(), "\"\\\r\b\f\x1f/");
}

TEST(JsonGetRequests, ReadsAListLikeTheRecordReaderDoes) {
    // Enough objects for the shared-text cache to settle on every field, with texts that recur,
    // texts that never recur, odd member orders, duplicates and non-objects mixed in.
    std::string json = "[";
    for (int i = 0; i < 1500; ++i) {
        if (i) json += ",";
        if (i % 500 == 7) {
            json += "42";
            continue;
        }
        json += "{\"status\":\"" + std::string(i % 2 ? "pending" : "completed") + "\"," +
                "\"id\":" + std::to_string(i) + ",\"student_id\":\"S" + std::to_string(i) + "\"," +
                "\"notes\":" + (i % 3 ? "null" : "{\"x\":1}") + ",\"class_name\":\"3 متوسط " +
                std::to_string(i % 4) + "\",\"id\":-1,\"extra\":[1,{\"id\":9}]," +
                "\"completed_by\":" + (i % 5 ? "\"أمانة المدير\"" : "true") + "}";
    }
    json += "]";
    const auto doc = Parse(json);
    TCertRequestList list;
    JsonGetRequests(doc.Root(), list);
    ASSERT_EQ(list.size(), 1500u);
    std::size_t i = 0;
    doc.Root().ForEachChild([&](const TJsonValue& element) {
        const TCertRequestItem expected =
            element.IsObject() ? JsonGetRequest(element) : TCertRequestItem{};
        const TCertRequestItem& got = list[i];
        EXPECT_EQ(got.ID, expected.ID) << i;
        EXPECT_EQ(got.StudentID, expected.StudentID) << i;
        EXPECT_EQ(got.ClassName, expected.ClassName) << i;
        EXPECT_EQ(got.Status, expected.Status) << i;
        EXPECT_EQ(got.Notes, expected.Notes) << i;
        EXPECT_EQ(got.CompletedBy, expected.CompletedBy) << i;
        ++i;
    });
    EXPECT_EQ(list[3].ID, 3);
    EXPECT_EQ(list[3].Status, "pending");
    EXPECT_EQ(list[5].CompletedBy, "true");
    EXPECT_EQ(list[7].ID, 0) << "a non-object element leaves an empty record";
    EXPECT_TRUE(list[7].Status.isEmpty());
}
