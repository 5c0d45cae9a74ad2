#pragma once

namespace kalo {

// The status manager's texts that the window and kaloctl both print, word
// for word. A text that names the window or what it does (closing KALO, a
// button to press) is the window's alone; kaloctl says the same in its own
// words next to where it prints them.
inline constexpr char kGetStatusSucceeded[] = "Success to get status of printer.";
inline constexpr char kSetStatusSucceeded[] = "Success to set status of printer";
inline constexpr char kWrongStatusFormat[] = "Wrong format files loaded.";
// The start of what a Set Status that goes on into a font download says;
// each program ends it with what happens when the download is finished.
inline constexpr char kFontChangeStarted[] = "Success to Change the Firmware,\n And Now Start Font Download!";

} // namespace kalo
