// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The web test windows' own texts.
namespace brisko::webtext {

inline constexpr const char* kCommand1Message =
    "Click the red 'Web Speed Test' button in the next window to see your current Web speed. This test "
    "will also enable Brisko to calculate your best settings.";
inline constexpr const char* kBtnfireMessage =
    "When the next window appears click the 'Web Speed Test' button to see your current Web speed. This "
    "test will also enable Brisko to determine your optimal settings.";

inline constexpr const char* kReadyPage =
    "about:<h4>Ready to test your Web Browsing speed and calculate optimal settings for your system.<br><br> "
    "Please hit the 'Return' key or click the 'Web Speed Test' button to run the test. </h4>";
inline constexpr const char* kBlankPage = "about:blank";

inline constexpr const char* kApplyBoostMessage =
    "Now you can apply the Brisko Boost by clicking either the Normal or Pro boost button on the Main "
    "screen.";
inline constexpr const char* kConnectionErrorPrefix = "Error. Your Internet connection may be down. ";
inline constexpr const char* kExternalErrorPrefix = "Error ";

inline constexpr const char* kFirefoxNotRegisteredMessage =
    "Firefox could not be started: no Firefox start command is registered on this computer.";
inline constexpr const char* kFirefoxStartFailedPrefix = "Firefox could not be started: ";

inline constexpr const char* kFirefoxCommandKey = "SOFTWARE\\Clients\\StartMenuInternet\\FIREFOX.EXE\\shell\\open\\command\\";

}  // namespace brisko::webtext
