#include "install/step_sequence.h"

#include <gtest/gtest.h>

#include "services/operation_error.h"

namespace {
struct Recorder {
    std::vector<std::wstring> lines;
    std::function<void()> log(const std::wstring& line) {
        return [this, line] { lines.push_back(line); };
    }
    std::function<void(const std::wstring&)> on_failure() {
        return [this](const std::wstring& description) { lines.push_back(L"erro: " + description); };
    }
};

std::function<void()> failing(const std::wstring& description) {
    return [description] { throw OperationError(2, description); };
}
}  // namespace

TEST(StepSequence, AFailingStepIsReportedOnceAndTheNextStepRuns) {
    Recorder r;
    run_sequence({action_step(r.log(L"a")), action_step(failing(L"x")), action_step(failing(L"y")),
                  action_step(r.log(L"b"))},
                 r.on_failure());
    EXPECT_EQ(r.lines, (std::vector<std::wstring>{L"a", L"erro: x", L"erro: y", L"b"}));
}

TEST(StepSequence, ConditionsGuardTheirBlock) {
    for (const bool holds : {true, false}) {
        Recorder r;
        run_sequence({condition_step([holds] { return holds; }, "after"), action_step(r.log(L"inside")),
                      action_step(r.log(L"inside too")), place("after", action_step(r.log(L"after")))},
                     r.on_failure());
        const std::vector<std::wstring> expected = holds
                                                       ? std::vector<std::wstring>{L"inside", L"inside too", L"after"}
                                                       : std::vector<std::wstring>{L"after"};
        EXPECT_EQ(r.lines, expected);
    }
}

TEST(StepSequence, AConditionThatCannotBeWorkedOutCountsAsHeld) {
    Recorder r;
    run_sequence({condition_step([]() -> bool { throw OperationError(53, L"não achou"); }, "after"),
                  action_step(r.log(L"inside")), place("after", action_step(r.log(L"after")))},
                 r.on_failure());
    EXPECT_EQ(r.lines, (std::vector<std::wstring>{L"erro: não achou", L"inside", L"after"}));
}

TEST(StepSequence, WhatAFailedStepDidBeforeFailingStaysDone) {
    Recorder r;
    run_sequence({action_step([&] {
                      r.lines.push_back(L"half");
                      throw OperationError(5, L"quebrou");
                  }),
                  action_step(r.log(L"next"))},
                 r.on_failure());
    EXPECT_EQ(r.lines, (std::vector<std::wstring>{L"half", L"erro: quebrou", L"next"}));
}

TEST(StepSequence, ATableNamingAnUnknownPlaceIsRejectedBeforeAnyStepRuns) {
    Recorder r;
    EXPECT_THROW(run_sequence({action_step(r.log(L"a")), condition_step([] { return false; }, "nowhere")},
                              r.on_failure()),
                 std::logic_error);
    EXPECT_TRUE(r.lines.empty());
}

TEST(StepSequence, AnIfElseMadeOfAConditionAndAJump) {
    for (const bool missing : {true, false}) {
        Recorder r;
        run_sequence({condition_step([missing] { return missing; }, "exists"), action_step(r.log(L"create")),
                      jump_to("close"), place("exists", action_step(r.log(L"read"))),
                      place("close", action_step(r.log(L"close")))},
                     r.on_failure());
        EXPECT_EQ(r.lines, missing ? (std::vector<std::wstring>{L"create", L"close"})
                                   : (std::vector<std::wstring>{L"read", L"close"}));
    }
}

TEST(StepSequence, FailuresCanBeToldByTheirRowInTheTable) {
    std::vector<std::pair<std::size_t, std::wstring>> failures;
    run_sequence({condition_step([]() -> bool { throw OperationError(5, L"c"); }, "end"), action_step(failing(L"x")),
                  place("end", action_step(failing(L"y")))},
                 [&](std::size_t row, const std::wstring& description) { failures.emplace_back(row, description); });
    EXPECT_EQ(failures, (std::vector<std::pair<std::size_t, std::wstring>>{{1, L"c"}, {2, L"x"}, {3, L"y"}}));
}
