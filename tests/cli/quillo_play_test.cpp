#include <gtest/gtest.h>

#include <cstdlib>
#include <map>
#include <sstream>
#include <string>

#include "child_program.h"
#include "fixtures/fixture_path.h"

namespace {

using quillo::testing::FixturePath;
using quillo::testing::Outcome;
using quillo::testing::Program;

class QuilloPlayTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { setenv("SDL_AUDIODRIVER", "dummy", 1); }

    static Outcome Run(const std::vector<std::string>& arguments) {
        return Program(arguments, QUILLO_PLAY).Wait();
    }

    // "name value" lines by name.
    static std::map<std::string, std::string> Figures(const std::string& output) {
        std::map<std::string, std::string> figures;
        std::istringstream lines(output);
        std::string line;
        while (std::getline(lines, line)) {
            const std::size_t space = line.rfind(' ');
            if (space != std::string::npos) {
                figures[line.substr(0, space)] = line.substr(space + 1);
            }
        }
        return figures;
    }
};

// Played to its end from 2.5 s: the last position is the end and the last state psEnd.
TEST_F(QuilloPlayTest, PlaysToTheEndAndPrintsItsFigures) {
    const Outcome outcome = Run({"--seek", "2.5", FixturePath("clip.mp4").string()});
    ASSERT_TRUE(outcome.exited);
    ASSERT_EQ(outcome.exitStatus, 0) << outcome.errors;
    const auto figures = Figures(outcome.output);
    EXPECT_GT(std::stoi(figures.at("frames shown")), 5);
    EXPECT_GE(std::stoi(figures.at("frames dropped")), 0);
    EXPECT_EQ(figures.at("position"), "3.000");
    EXPECT_EQ(figures.at("state"), "psEnd");
    EXPECT_GT(std::stod(figures.at("wall")), 0.0);
}

// Paused at 1 s, it stays there until the time is up.
TEST_F(QuilloPlayTest, PausesAtTheGivenPosition) {
    const Outcome outcome =
        Run({"--pause-at", "1", "--seconds", "2", FixturePath("clip.mp4").string()});
    ASSERT_EQ(outcome.exitStatus, 0) << outcome.errors;
    const auto figures = Figures(outcome.output);
    EXPECT_EQ(figures.at("state"), "psPause");
    const double position = std::stod(figures.at("position"));
    EXPECT_GE(position, 1.0);
    EXPECT_LT(position, 2.0);
}

TEST_F(QuilloPlayTest, RefusesWhatItCannotPlayWithThePlayersMessage) {
    const std::string notMedia = FixturePath("not_media.txt").string();
    struct Case {
        std::vector<std::string> arguments;
        int status;
        std::string message;
    } const cases[] = {
        {{notMedia},
         1,
         "quillo-play: " + notMedia + ": Invalid data found when processing input\n"},
        {{"--seconds", "soon", notMedia}, 2, "quillo-play: --seconds needs a number of seconds\n"},
        {{"--loud", notMedia}, 2, "quillo-play: unknown option --loud\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.arguments.front());
        const Outcome outcome = Run(c.arguments);
        ASSERT_TRUE(outcome.exited);
        EXPECT_EQ(outcome.exitStatus, c.status);
        EXPECT_EQ(outcome.errors, c.message);
        EXPECT_TRUE(outcome.output.empty());
    }
}

}  // namespace
