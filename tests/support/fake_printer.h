#pragma once
#include <vector>

#include "platform/printer.h"

namespace brisko::test {

class FakePrinter final : public Printer {
public:
    Status PrintImage(const WindowImage& image, const PrintSettings& settings) override {
        printed.push_back({image.width, image.height, settings});
        return result;
    }

    struct Job {
        int width, height;
        PrintSettings settings;
    };
    std::vector<Job> printed;
    Status result;
};

}  // namespace brisko::test
