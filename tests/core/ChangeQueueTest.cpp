#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include <QStringList>

#include "ChangeQueue.h"

namespace {

// Plays a script against a queue the way the window drives it: whatever is pressed is sent as
// soon as nothing is on its way, and "!" is the server's answer to the change on its way.
// Tokens: "12c" completes request 12, "12p" puts it back to pending, "12d" deletes it.
// Returns what reached the server, in order, and what is left at the end.
struct TPlayed {
    std::string Sent;
    std::string Left;
};

std::string Token(const TAskedChange& AChange) {
    return std::to_string(AChange.ID) + AChange.What.left(1).toStdString();
}

TPlayed Play(const std::string& AScript) {
    TChangeQueue queue;
    TPlayed played;
    const auto send = [&] {
        if (const auto next = queue.TakeNext()) played.Sent += Token(*next) + ' ';
    };
    std::istringstream tokens(AScript);
    for (std::string token; tokens >> token;) {
        if (token == "!") {
            if (queue.Sending()) queue.Answered();
        } else {
            const QString what = token.back() == 'c'   ? QStringLiteral("completed")
                                 : token.back() == 'p' ? QStringLiteral("pending")
                                                       : TAskedChange::DeleteWord;
            queue.Press({std::stoi(token), what, QStringLiteral("x")});
        }
        send();
    }
    if (const auto onItsWay = queue.OnItsWay()) played.Left += '[' + Token(*onItsWay) + "] ";
    for (const TAskedChange& change : queue.NeverSent()) played.Left += Token(change) + ' ';
    return played;
}

// The server ends in the state of the last press on each request, in the order pressed; a press
// is left out only where the latest change still waiting for its request is the same.
TEST(ChangeQueue, TheLastPressOnEachRequestReachesTheServerInOrder) {
    const struct {
        const char* Script;
        const char* Sent;
        const char* Left;
    } cases[] = {
        {"12c !", "12c ", ""},
        // on one request while the server is silent: complete, back to pending, complete
        {"12c 12p 12c ! ! !", "12c 12p 12c ", ""},
        {"12c 12p 12c", "12c ", "[12c] 12p 12c "},
        {"12c 11c 12p 10c 12c 11c 9c ! ! ! ! ! !", "12c 11c 12p 10c 12c 9c ", ""},
        // the same again is left out, whether it waits or is on its way
        {"12c 12c", "12c ", "[12c] "},
        {"5c 6c 6c 5c ! !", "5c 6c ", ""},
        {"5c 6c 5p 5p ! ! !", "5c 6c 5p ", ""},
        // once answered, the same press is a new change
        {"12c ! 12c !", "12c 12c ", ""},
        // three or more wait in the order asked; each answer sends the next, none twice
        {"1c 2c 3c 4d ! ! ! !", "1c 2c 3c 4d ", ""},
        {"1c 2c ! 3c ! 2p ! !", "1c 2c 3c 2p ", ""},
        {"1c 1d 1c ! ! !", "1c 1d 1c ", ""},
        {"1c 2c 3c !", "1c 2c ", "[2c] 3c "},
    };
    for (const auto& c : cases) {
        const TPlayed played = Play(c.Script);
        EXPECT_EQ(played.Sent, c.Sent) << c.Script;
        EXPECT_EQ(played.Left, c.Left) << c.Script;
    }
}

TEST(ChangeQueue, WhatIsLeftIsNamedOneChangeALine) {
    TChangeQueue queue;
    EXPECT_EQ(queue.DescribeLeft(), QString());
    queue.Press({7, QStringLiteral("completed"), QStringLiteral("سارة")});
    queue.Press({8, TAskedChange::DeleteWord, QStringLiteral("علي")});
    queue.TakeNext();
    const QStringList lines = queue.DescribeLeft().split(u'\n');
    ASSERT_EQ(lines.size(), 2);
    EXPECT_TRUE(lines[0].contains(QStringLiteral("ربما")) && lines[0].contains(u"«سارة»"));
    EXPECT_TRUE(lines[1].contains(QStringLiteral("لم يُرسل")) && lines[1].contains(u"حذف"));
    EXPECT_THROW(TChangeQueue().Answered(), std::logic_error);
}

}  // namespace
