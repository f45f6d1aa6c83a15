// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include "platform/locale.h"

namespace brisko {

// The user's settings through QLocale::system().
class LocaleQt final : public LocaleService {
public:
    std::string DecimalSeparator() const override;
    std::string ShortDateToday() const override;
    std::string LongTimeNow() const override;
};

}  // namespace brisko
