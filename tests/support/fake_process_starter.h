#pragma once
// Records the command lines it is asked to start; can refuse chosen ones.
#include <functional>
#include <string>
#include <vector>

#include "platform/process_start.h"

namespace brisko::test {

class FakeProcessStarter final : public ProcessStarter {
public:
    struct Started {
        std::string commandLine;
        WindowState state;
        std::string workingFolder;
    };
    Status Start(const std::string& commandLine, WindowState state, const std::string& workingFolder = {}) override {
        if (onStart) onStart(commandLine);
        if (failOn && failOn(commandLine)) return Status::Fail(2, "The system cannot find the file specified.");
        started.push_back({commandLine, state, workingFolder});
        return Status::Ok();
    }
    std::vector<std::string> CommandLines() const {
        std::vector<std::string> lines;
        for (const auto& s : started) lines.push_back(s.commandLine);
        return lines;
    }

    std::vector<Started> started;
    std::function<bool(const std::string&)> failOn;        // true: refuse this one
    std::function<void(const std::string&)> onStart;       // runs before each start
};

}  // namespace brisko::test
