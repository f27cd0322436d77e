#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "Reminder.h"

namespace {

const QDateTime Start(QDate(2026, 12, 10), QTime(9, 0));

// One step of a script: at AMinute after Start, something happens, or the reminder is asked
// (with the window active or not) and should say Expected (empty: nothing).
struct TStep {
    enum TWhat { Count, List, Down, Up, Ask, AskActive };
    TStep(int AMinute, TWhat AWhat, int ANumber = 0, const char* ADate = "",
          std::string AExpected = {})
        : Minute(AMinute),
          What(AWhat),
          Number(ANumber),
          Date(ADate),
          Expected(std::move(AExpected)) {}
    int Minute;
    TWhat What;
    int Number;        // the pending count
    const char* Date;  // of the one pending request the list holds
    std::string Expected;
};

std::string Play(int AInterval, const std::vector<TStep>& ASteps) {
    TReminder reminder;
    reminder.SetInterval(AInterval);
    std::string failures;
    for (const TStep& step : ASteps) {
        const QDateTime now = Start.addSecs(step.Minute * 60);
        switch (step.What) {
            case TStep::Count:
                reminder.PendingCounted(step.Number, now);
                break;
            case TStep::List: {
                TCertRequestItem request;
                request.ID = 7;
                request.RequestDate = step.Date;
                request.Status = QStringLiteral("pending");
                reminder.Listed({request}, true, now);
                break;
            }
            case TStep::Down:
            case TStep::Up:
                reminder.Reached(step.What == TStep::Up, now);
                break;
            case TStep::Ask:
            case TStep::AskActive: {
                const auto notice = reminder.Due(now, step.What == TStep::AskActive);
                const std::string said = notice ? notice->Text.toStdString() : "";
                if (said.find(step.Expected) == std::string::npos ||
                    said.empty() != step.Expected.empty())
                    failures += "at " + std::to_string(step.Minute) + ": \"" + said + "\"; ";
            }
        }
    }
    return failures;
}

const char* Waiting = "في الانتظار";

TEST(Reminder, RemindsOfWaitingRequestsTheWindowHasNotShown) {
    const std::vector<TStep> oneWaitingSinceNine = {{0, TStep::Count, 1},
                                                    {0, TStep::List, 0, "2026-12-10 09:00:00"}};
    const auto with = [&](std::vector<TStep> ASteps) {
        ASteps.insert(ASteps.begin(), oneWaitingSinceNine.begin(), oneWaitingSinceNine.end());
        return ASteps;
    };
    const struct {
        const char* What;
        int Interval;
        std::vector<TStep> Steps;
    } cases[] = {
        {"every interval, not before", 5,
         with({{4, TStep::Ask},
               {5, TStep::Ask, 0, "", "منذ \u206609:00\u2069"},
               {9, TStep::Ask},
               {10, TStep::Ask, 0, "", Waiting}})},
        {"off", 0, with({{5, TStep::Ask}, {60, TStep::Ask}})},
        {"negative is off", -5, with({{60, TStep::Ask}})},
        {"not while the window is active; looking starts the count again", 5,
         with({{5, TStep::AskActive}, {9, TStep::Ask}, {10, TStep::Ask, 0, "", Waiting}})},
        {"nothing pending", 5, with({{1, TStep::Count, 0}, {10, TStep::Ask}})},
        {"a date that does not read waits from when it was seen",
         5,
         {{0, TStep::Count, 1},
          {3, TStep::List, 0, "yesterday"},
          {7, TStep::Ask},
          {8, TStep::Ask, 0, "", "منذ \u206609:03\u2069"}}},
        {"yesterday's request names its date",
         15,
         {{0, TStep::Count, 3},
          {0, TStep::List, 0, "2026-12-09 16:30:00"},
          {0, TStep::Ask, 0, "",
           "ما زالت 3 طلبات في الانتظار، أقدمها منذ \u20662026-12-09 16:30"}}},
        {"an outage once, its end once",
         5,
         {{0, TStep::Down},
          {4, TStep::Ask},
          {5, TStep::Ask, 0, "", "لا اتصال بالسيرفر منذ"},
          {6, TStep::Down},
          {10, TStep::Ask},
          {11, TStep::Up},
          {11, TStep::AskActive, 0, "", "عاد الاتصال"},
          {12, TStep::Ask},
          {13, TStep::Down},
          {14, TStep::Up},
          {20, TStep::Ask}}},
    };
    for (const auto& c : cases) EXPECT_EQ(Play(c.Interval, c.Steps), "") << c.What;
}

TEST(Reminder, CountsAgreeWithTheirNumber) {
    const struct {
        int Count;
        const char* Starts;
    } cases[] = {{1, "ما زال طلب واحد"},   {2, "ما زال طلبان"},       {3, "ما زالت 3 طلبات"},
                 {10, "ما زالت 10 طلبات"}, {11, "ما زال 11 طلباً"},    {99, "ما زال 99 طلباً"},
                 {100, "ما زال 100 طلب "}, {103, "ما زالت 103 طلبات"}};
    for (const auto& c : cases)
        EXPECT_TRUE(
            TReminder::WaitingText(c.Count, Start, Start).startsWith(QString::fromUtf8(c.Starts)))
            << c.Count;
}

}  // namespace
