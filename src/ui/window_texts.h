// The window's own texts, the same in both front ends.
#pragma once

namespace qz::ui {

inline constexpr const char* kWindowTitle = "Quazel GSM/SMS/MMS";
inline constexpr const char* kAboutTitle = "About Quazel GSM/SMS/MMS v2.0";
inline constexpr const char* kAboutName = "Quazel GSM/SMS v2.0";
inline constexpr const char* kAboutText =
    "Alarm gateway for GSM modems:\nSMS, MMS and voice calls.\n\nThe qzgsms developers\nMIT licence";
inline constexpr const char* kAboutMenuItem = "&About qzgsms...";
inline constexpr const char* kSettingsCaption = "Settings";

// The main window's buttons, left to right.
inline constexpr const char* kButtonTexts[6] = {"&About",    "&Settings...",    "&Send SMS...",
                                                "Send &MMS", "&Change SMSC...", "E&xit"};

// The question asked at the start while the alarm application does not hand its SMS here.
inline constexpr const char* kQuestionTitle = "Please confirm..";
inline constexpr const char* kQuestionText =
    "Activate function to send SMS with this program for an alarm ?\n"
    "(The flag SendWithQzgsms in Qzalarm.ini under [qzasms] is set to 1)";

inline constexpr const char* kLowSignalText =
    "WARNING : Low signal quality, SMS submissions are impaired or even not operational.";

inline constexpr const char* kRestartTitle = "WARNING";
inline constexpr const char* kRestartText = "You need to restart the application for taking in account new parameters";

inline constexpr const char* kIncomingSyntax = "incoming batch file synthax: \"incoming.bat  [PhoneNum] [Msg] \"";

}  // namespace qz::ui
