// Command IDs of the main menu.
#pragma once

inline constexpr int kCmdAbout = 57664;
inline constexpr int kCmdExit = 57665;
inline constexpr int kCmdStatusBar = 59393;
inline constexpr int kCmdClearLogBuffer = 32781;
inline constexpr int kCmdLogin = 32771;
inline constexpr int kCmdLogout = 32772;
inline constexpr int kCmdTarget = 32774;
inline constexpr int kCmdOfflineFileMode = 32783;
inline constexpr int kCmdLogLevelNone = 32789;
inline constexpr int kCmdLogLevelErrors = 32786;
inline constexpr int kCmdLogLevelWarnings = 32787;
inline constexpr int kCmdLogLevelActivity = 32788;
inline constexpr int kCmdLatchEnable = 32795;
inline constexpr int kCmdLatchDisable = 32796;
inline constexpr int kCmdRefFlagSet = 32797;
inline constexpr int kCmdRefFlagReset = 32798;
inline constexpr int kCmdGerman = 32777;
inline constexpr int kCmdEnglish = 32778;
inline constexpr int kCmdChinese = 32779;
inline constexpr int kCmdJournal = 32920;
inline constexpr int kCmdTrendRecorder = 32900;
inline constexpr int kCmdTuneAxis = 32940;
inline constexpr int kCmdUserGuide = 32930;

// Status bar panes.
inline constexpr int kPaneConnection = 101;
inline constexpr int kPaneTarget = 102;
inline constexpr int kPaneVersion = 103;
inline constexpr int kPaneFileState = 104;
