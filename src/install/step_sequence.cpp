#include "install/step_sequence.h"

#include <new>
#include <stdexcept>

#include "services/operation_error.h"

Step action_step(std::function<void()> action) {
    Step step;
    step.action = std::move(action);
    return step;
}

Step condition_step(std::function<bool()> condition, std::string block_end) {
    Step step;
    step.condition = std::move(condition);
    step.skip_to = std::move(block_end);
    return step;
}

Step jump_to(std::string target) { return condition_step([] { return false; }, std::move(target)); }

Step place(std::string name, Step step) {
    step.name = std::move(name);
    return step;
}

namespace {
std::size_t index_of(const std::vector<Step>& steps, const std::string& name) {
    for (std::size_t i = 0; i < steps.size(); ++i) {
        if (steps[i].name == name) {
            return i;
        }
    }
    throw std::logic_error("step sequence names an unknown place: " + name);
}

// Runs one step; the index of the step to run next.
std::size_t run_one(const std::vector<Step>& steps, std::size_t index) {
    const Step& step = steps[index];
    if (step.condition) {
        return step.condition() ? index + 1 : index_of(steps, step.skip_to);
    }
    step.action();
    return index + 1;
}
}  // namespace

void run_sequence(const std::vector<Step>& steps, const std::function<void(const std::wstring&)>& report_failure) {
    run_sequence(steps, [&report_failure](std::size_t, const std::wstring& description) { report_failure(description); });
}

void run_sequence(const std::vector<Step>& steps,
                  const std::function<void(std::size_t, const std::wstring&)>& report_failure) {
    // A table that names an unknown place is a fault of the program, found
    // before any step runs.
    for (const Step& step : steps) {
        if (step.condition) {
            index_of(steps, step.skip_to);
        }
    }
    std::size_t index = 0;
    while (index < steps.size()) {
        try {
            index = run_one(steps, index);
            continue;
        } catch (const OperationError& error) {
            report_failure(index + 1, error.description());
        } catch (const std::bad_alloc&) {
            report_failure(index + 1, L"Memória insuficiente");
        } catch (const std::exception&) {
            report_failure(index + 1, L"Erro interno do programa");
        }
        // A failed step, or a condition that could not be worked out (which
        // counts as held): go on with the step that follows it.
        ++index;
    }
}
