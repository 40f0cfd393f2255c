#pragma once
// The error numbers the caller of the program reads from "error.dat". Each
// failure meant for the caller is raised with one of these names; the texts
// belong to the numbers: base/error_table.cpp holds a row for each, and a
// test keeps the two lists the same.

enum class ErrorNumber : int {
  NoActivity = 1,
  NoComPort = 2,
  NoBaudRate = 3,
  NoAnswer = 4,
  LineFailure = 5,
  InputFileFailure = 6,
  OutputFileFailure = 7,
  UnsortedInput = 8,
  ConnectFailure = 9,
  /// Every failure whose message carries no number.
  Unnumbered = 10,
  BadEnqReply = 11,
  BadDtxReply = 12,
  BadDrqReply = 13,
  NoDataAck = 14,
  BadCheckBytes = 16,
  RegisterNotReady = 17,
  BadTimeout = 18,
  BadNetId = 19,
  ModelMismatch = 21,
  BadTableFile = 22,
  BadModelCode = 23,
  BadCodePage = 25,
  RegisterFull = 26,
  ResetBusy = 27,
  ServiceInfoError = 28,
  NetworkRegisterBusy = 29,
  NetworkNotStarted = 30,
  NetworkSilent = 31,
  BadFileFormat = 32,
  ModemSilent = 33,
  LineBusy = 34,
  NoConnection = 35,
  OtherModemError = 36,
  BadJournalRow = 38,
  BadCardReply = 39,
  CardLineFailure = 40,
  BadCardImageSize = 41,
  NoCard = 42,
  CardVerifyMismatch = 43,
  CardStatusLineFailure = 44,
  CardStatusCommandError = 45,
  CardRemovedBadly = 46,
  NoIpAddress = 47,
  NoIpPort = 48,
  RefusedReset = 49,
  JournalFileUnnamed = 50,
  JournalFileExists = 51,
  JournalSaveFailed = 52,
  JournalFileMissing = 53,
  JournalFileDamaged = 54,
  PrintPreparationFailed = 55,
  SortRefused = 56,
  CardInsertedBadly = 57,
  KeyNotOff = 58,
  /// A compared or verified table differs from its file (only where the
  /// command asks for it: /STRICT, /VERIFY).
  RegisterDiffers = 60,
};

constexpr int NumberOf(ErrorNumber number) { return static_cast<int>(number); }
