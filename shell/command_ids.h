#pragma once

namespace nereid::shell {

// Command numbers of the menus and the toolbar. The program's own numbers are those the
// recorder's help topics and the other windows refer to; the rest are the usual framework ones.
enum CommandId : int {
    kCmdTranslate = 113,
    kCmdDaDiSPRecording = 134,
    kCmdStopRecording = 135,
    kCmdOffsetAdjust = 154,
    kCmdConnect = 156, // F2
    kCmdDataAnalysis = 157,
    kCmdChannelBar = 32500,
    kCmdStatus = 32501,
    kCmdCommands = 32502,
    kCmdConfiguration = 32503,
    kCmdCalibration = 32504,
    kCmdMaintenance = 32505,
    kCmdDebugWindow = 32512,
    kCmdConnectComPort = 32513,
    kCmdDataFileDisplay = 32515,
    kCmdInternalRecording = 32532,
    kCmdFileUpload = 32533,
    kCmdCopyToClipboard = 32536,
    kCmdCssRecording = 32547,
    kCmdSeisanRecording = 32591,
    kCmdMseedRecording = 32592,
    kCmdServeSeedLink = 32600,
    kCmdFileClose = 57602,
    kCmdPrint = 57607,
    kCmdPrintSetup = 57606,
    kCmdWindowArrange = 57649,
    kCmdWindowCascade = 57650,
    kCmdWindowTile = 57651,
    kCmdAbout = 57664,
    kCmdExit = 57665,
    kCmdHelpTopics = 57667,
    kCmdContextHelp = 57670,
    kCmdViewToolbar = 59392,
    kCmdViewStatusBar = 59393,
};

} // namespace nereid::shell
