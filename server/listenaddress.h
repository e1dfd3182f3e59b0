#pragma once
#include <QHostAddress>
#include <QString>

namespace server {

// The TCP address a host setting names: "*" every interface, empty or
// "localhost" the loopback, else a literal IPv4 or IPv6 address. Without a
// token only a loopback address is let through: anyone who reaches the port
// could otherwise read every company's books. False with the reason in error.
bool listenAddress(const QString& host, bool hasToken, QHostAddress& address, QString& error);

} // namespace server
