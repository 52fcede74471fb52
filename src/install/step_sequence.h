// A sequence of installation steps, run with the continue-on-error policy:
// each step is its own unit of recovery; a failing step is reported once
// (its description) and the sequence goes on with the next step. A condition
// guards the steps up to a named place; one that cannot be worked out
// counts as held. Pure: tested natively.
#pragma once

#include <functional>
#include <string>
#include <vector>

struct Step {
    std::function<void()> action;     // set for an action step
    std::function<bool()> condition;  // set for a condition step
    std::string skip_to;              // condition not held: go on at the step named so
    std::string name;                 // a place that conditions can skip to
};

Step action_step(std::function<void()> action);
// Guards the steps that follow it up to (not including) the step named `block_end`.
Step condition_step(std::function<bool()> condition, std::string block_end);
// Goes on at the step named `target` (the end of an if-branch).
Step jump_to(std::string target);
// Names the next step as a place to skip to.
Step place(std::string name, Step step);

// Runs the steps in order; `report_failure` receives the description of
// each failure. Never throws what a step throws.
void run_sequence(const std::vector<Step>& steps, const std::function<void(const std::wstring&)>& report_failure);
// The same, telling also which row of the table failed (1 for the first).
void run_sequence(const std::vector<Step>& steps,
                  const std::function<void(std::size_t, const std::wstring&)>& report_failure);
