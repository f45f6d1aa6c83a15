// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The rules that turn engine status texts and page contents into progress, and a load
// time into its message.
#include <string>

#include "platform/error.h"

namespace brisko {

// The progress bar as the windows use it: Min 0 and Max 100 until Max is first set.
// Values outside the range are clamped instead of failing.
struct ProgressBarModel {
    int min = 0;
    int max = 100;
    int value = 0;
    void SetMax(long long newMax);  // a maximum not above min is ignored
    void SetValue(long long newValue);
};

// The leading number of text as the classic Val reads it: blanks, tabs and line feeds
// are skipped anywhere, then an optional sign, digits, a '.' fraction and an exponent
// (E or D). No digits give 0.
double LeadingNumber(const std::string& text);

// The nearest 32-bit integer, halves to even, clamped to the 32-bit range.
int RoundToInt(double value);

// frmbrowser: "(N items remaining)" texts. The first count of a load fixes Max.
class ItemsRemainingRule {
public:
    void Reset() { m_itemsRemaining = 0; }
    int ItemsRemaining() const { return m_itemsRemaining; }
    // Returns true when the text was a count (and the bar was updated).
    bool Apply(const std::string& statusText, ProgressBarModel& bar);

private:
    int m_itemsRemaining = 0;
};

// firebrowser: one step per "Transferring" text, up to one short of Max.
class TransferRule {
public:
    void Reset() { m_transferCount = 0; }
    int TransferCount() const { return m_transferCount; }
    bool Apply(const std::string& statusText, ProgressBarModel& bar);

private:
    int m_transferCount = 0;
};

// Occurrences of "<img" in any letter case.
int CountImageTags(const std::string& html);
// Max follows a positive count; Value goes back to 0.
void ApplyImageCount(int imageCount, ProgressBarModel& bar);
// A completed navigation puts the bar back to its start.
void ApplyNavigateComplete(ProgressBarModel& bar);

// A 32-bit float as the classic conversion to text writes it: up to 7 significant
// digits, no thousands separator, decimalPoint as the user's separator.
std::string FormatSingle(float value, const std::string& decimalPoint);

// "This page took 2.5 seconds to load." (the refresh variant ends without the period).
std::string LoadTimeMessage(float seconds, bool finalPeriod, const std::string& decimalPoint);
// "Error. Your Internet connection may be down. " + number + " " + description.
std::string ConnectionErrorMessage(const Status& error);

}  // namespace brisko
