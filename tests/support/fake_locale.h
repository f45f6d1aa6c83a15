#pragma once
#include "platform/locale.h"

namespace brisko::test {

class FakeLocale final : public LocaleService {
public:
    std::string DecimalSeparator() const override { return decimalSeparator; }
    std::string ShortDateToday() const override { return date; }
    std::string LongTimeNow() const override { return time; }

    std::string decimalSeparator = ".";
    std::string date = "24/06/2008";
    std::string time = "14:05:09";
};

}  // namespace brisko::test
