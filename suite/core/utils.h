#pragma once
#include "datapacket.h"
#include "remote.h"
#include <QDate>
#include <QDateTime>
#include <QString>

namespace suite {

// True when the text holds nothing but blanks.
bool EmptyString(const QString& s);
// The text without leading and trailing blanks.
QString AllTrim(const QString& s);
// The code fitted to width characters: leading zeros for a shorter code,
// unchanged when it already fills the width or more; empty stays empty.
QString Ajusta(const QString& code, int width);
// True for eleven digits with valid check digits, not all equal. Separators
// ("." and "-") and blanks around are ignored.
bool CPFOk(const QString& cpf);
// True for fourteen digits with valid check digits.
bool CNPJOk(const QString& cnpj);
// First and last day of the date's month.
QDate PriDiaMes(const QDate& d);
QDate UltimoDiaMes(const QDate& d);
// Day numbers counted from 30 December 1899, with the time of day as fraction.
double DateToDayNumber(const QDate& d);
QDate DayNumberToDate(double n);
// Checks a remote result: the data packet when it succeeded; otherwise shows
// the server's error through MensErro (reason Server) and never returns.
DataPacket CheckResultServ(const RemoteResult& result, bool raise = true, int flags = 0);

} // namespace suite
