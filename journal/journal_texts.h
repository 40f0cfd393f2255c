#pragma once
// The numbers of the texts that label the lines of a decoded journal (and
// name a department, PLU or VAT group that has no name of its own).
namespace JournalText {
constexpr int TerminalOn = 283;
constexpr int TerminalOff = 284;
constexpr int Sale = 285;
constexpr int Receipt = 286;
constexpr int Report = 287;
constexpr int XReport = 288;
constexpr int ZReport = 289;
constexpr int Copy = 290;
constexpr int CashIn = 291;
constexpr int CashOut = 292;
constexpr int Correction = 294;
constexpr int Void = 295;
constexpr int Refund = 296;
constexpr int Department = 297;
constexpr int ReceiptVoid = 298;
constexpr int Subtotal = 299;
constexpr int AmountDiscount = 300;
constexpr int Plu = 301;
constexpr int LinkPlu = 302;
constexpr int PercentDiscount = 303;
constexpr int Vat = 304;
constexpr int Payment = 305;
constexpr int Change = 306;
constexpr int Currency = 307;
constexpr int Total = 308;
constexpr int Document = 525;
constexpr int LogIn = 526;
constexpr int LogOut = 527;
constexpr int Card1 = 624;
constexpr int Card2 = 625;
constexpr int WarmReset = 630;
constexpr int WarmResetCheck = 631;
constexpr int PowerFail = 632;
constexpr int NoSale = 634;
constexpr int RamError = 639;
constexpr int Turnover = 649;
constexpr int Points = 650;
constexpr int RewritePlu = 865;
constexpr int FileFromPc = 870;
constexpr int ReportTotal = 887;
constexpr int For = 1033;
constexpr int Insurer = 1039;
constexpr int PersonalNumber = 1040;
}  // namespace JournalText
